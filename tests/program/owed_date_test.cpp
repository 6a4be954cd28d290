// A date a test still owes: the note beside the date file while the clock is
// the test's, and the offer at the next start whatever the files were left
// holding. The real program killed mid-test is in session_end_e2e_test.cpp.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "pc/settings.h"
#include "program_session.h"

namespace {

class OwedDate : public ProgramTest {};

using Bytes = std::vector<unsigned char>;

const char *const kOfferAtStart =
    "Tolvane ended during a test before it could set the date back !\n\n"
    "The date and time saved before the test:\n      06-15-2026   10:20:07\n"
    "The clock now reads:\n      01-01-2000   00:00:10\n\n"
    "Set the saved date and time again ?\n\n(No forgets the saved date.)";
const char *const kUnreadable =
    "The date saved before a test has not been set back, and it cannot be read from "
    "datesave.tmp !\n\nDouble click on System tray clock to reset by 'hand'.\n\nTry to read the "
    "saved date again ?\n\n(No forgets it.)";
// 2026-06-15 10:20:07.250, a Monday: the date saved before the test.
const Bytes kSaved = {0xEA, 0x07, 6, 0, 1, 0, 15, 0, 10, 0, 20, 0, 7, 0, 0xFA, 0};
// Where a test that was never ended left the clock.
const char *const kTestClock = "2000-01-01 00:00:10.000";

Bytes FileBytes(const char *name)
{
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void PlaceFile(const char *name, const Bytes &bytes)
{
    std::ofstream(name, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char *>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::string LocalNow()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    char text[32];
    wsprintfA(text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.wYear, t.wMonth, t.wDay, t.wHour,
              t.wMinute, t.wSecond, t.wMilliseconds);
    return text;
}

// What a start finds on the disk, and what the user then sees and is left with.
TEST_F(OwedDate, StartOffersWhatTheFilesStillHold)
{
    const Bytes zeros(16, 0);
    struct Case {
        const char *what;
        std::optional<Bytes> dateFile, note;  // nullopt: no such file
        const char *box;                      // nullptr: none before the main dialog
        int answer;
        const char *clockAfter;
    } cases[] = {
        {"no note: the last test ended well", kSaved, std::nullopt, nullptr, 0, kTestClock},
        {"note and date file agree, Yes", kSaved, kSaved, kOfferAtStart, IDYES,
         "2026-06-15 10:20:07.250"},
        {"note and date file agree, No", kSaved, kSaved, kOfferAtStart, IDNO, kTestClock},
        {"note torn by a power cut", kSaved, zeros, kOfferAtStart, IDYES,
         "2026-06-15 10:20:07.250"},
        {"date file damaged: the note's copy", Bytes(15, 0), kSaved, kOfferAtStart, IDYES,
         "2026-06-15 10:20:07.250"},
        {"neither readable, No", Bytes{}, zeros, kUnreadable, IDNO, kTestClock},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        automation::Session s(Pc("y2k-ready", kTestClock));
        if (c.dateFile)
            PlaceFile("datesave.tmp", *c.dateFile);
        if (c.note)
            PlaceFile("dateowed.tmp", *c.note);
        StartToMainDialog(s);
        if (c.box) {
            auto box = s.TopMessageBox();
            ASSERT_TRUE(box);
            EXPECT_EQ(box->text, c.box);
            EXPECT_EQ(box->caption, "Tolvane -  Date Not Restored");
            EXPECT_EQ(s.Captions().size(), 1u) << "the main dialog is up under the offer";
            s.Answer(c.answer);
        }
        EXPECT_EQ(s.Captions(), std::vector<std::string>{kMainCaption});
        EXPECT_EQ(LocalNow(), c.clockAfter);
        EXPECT_FALSE(std::filesystem::exists("dateowed.tmp"));
        EXPECT_EQ(FileBytes("datesave.tmp"), c.dateFile.value_or(Bytes{}));
    }
}

// Only the copy that may change the clock offers, on its platform, before the
// network warning.
TEST_F(OwedDate, OfferedAfterThePlatformAndTheOtherCopyAndBeforeTheNetwork)
{
    struct Case {
        const char *profile;
        bool otherCopy;
        const char *firstCaption;
    } cases[] = {
        {"networked", false, "Tolvane -  Date Not Restored"},
        {"nt", false, "Tolvane -  Not windows 95/98"},
        {"y2k-ready", true, "Tolvane -  Already Running"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.profile);
        automation::Session s(Pc(c.profile, kTestClock));
        PlaceFile("datesave.tmp", kSaved);
        PlaceFile("dateowed.tmp", kSaved);
        HANDLE other = c.otherCopy ? CreateMutexA(NULL, FALSE, "Tolvane_Clock_Test_Running") : NULL;
        StartToMainDialog(s);
        EXPECT_EQ(s.TopMessageBox()->caption, c.firstCaption);
        s.Answer(s.TopMessageBox()->type & MB_YESNO ? IDYES : IDOK);
        if (c.profile == std::string("networked"))
            EXPECT_EQ(s.TopMessageBox()->caption, "Tolvane -  Network Warning");
        else
            EXPECT_EQ(LocalNow(), kTestClock) << "a copy that ends set the clock";
        CloseHandle(other);
    }
}

// From before the clock moves until the date is back: every way it comes
// back takes the note away, and a clock that was never set leaves none.
TEST_F(OwedDate, NoteLivesFromTheSaveUntilTheDateIsBack)
{
    enum class Way { kResetDate, kClose, kEndSession, kClockRefused };
    for (Way way : {Way::kResetDate, Way::kClose, Way::kEndSession, Way::kClockRefused}) {
        SCOPED_TRACE(static_cast<int>(way));
        automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.250"));
        StartToMainDialog(s);
        if (way == Way::kClockRefused)
            pc::ChangeSetting("set-time", "denied");
        s.Press(IDC_TEST);
        s.PressIn(kWarningCaption, IDOK);
        EXPECT_EQ(std::filesystem::exists("dateowed.tmp"), way != Way::kClockRefused)
            << "while the clock is the test's, or the box says it is not";
        if (way == Way::kClockRefused) {
            s.Answer(IDOK);
            continue;
        }
        EXPECT_EQ(FileBytes("dateowed.tmp"), kSaved);
        s.Advance(7000);
        if (way == Way::kResetDate) {
            s.Press(IDC_STOPCLOCKS);
            s.Answer(IDOK);
            s.Press(IDC_RESET_DATE);
        } else if (way == Way::kClose) {
            s.PressIn(kMainCaption, IDC_CLOSE);
        } else {
            s.EndSession(true);
            s.Answer(IDOK);  // Date Restored
        }
        EXPECT_EQ(LocalNow(), "2026-06-15 10:20:07.250");
        EXPECT_FALSE(std::filesystem::exists("dateowed.tmp"));
    }
}

}  // namespace
