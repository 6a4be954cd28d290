// A date a test still owes: the note beside the date file while the clock is
// the test's, the offer at the next start whatever the files were left
// holding, and TEST refusing to save over it. The real program killed with
// the clock set is in tests/owed_date_e2e_test.cpp.
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

const char *const kOwedCaption = "Tolvane -  Date Not Restored";
const char *const kOfferAtStart =
    "Tolvane ended during a test before it could set the date back !\n\n"
    "The date and time saved before the test:\n      06-15-2026   10:20:07\n"
    "The clock now reads:\n      01-01-2000   00:00:10\n\n"
    "Set the saved date and time again ?\n\n(No forgets the saved date.)";
const char *const kOfferAtTest =
    "A new test would save over the date an earlier test has not set back !\n\n"
    "The date and time saved before the test:\n      06-15-2026   10:20:07\n"
    "The clock now reads:\n      01-01-2000   00:00:10\n\n"
    "Set the saved date and time again ?\n\n(No forgets the saved date.)";
const char *const kUnreadable =
    "The date saved before a test has not been set back, and it cannot be read from "
    "datesave.tmp !\n\nDouble click on System tray clock to reset by 'hand'.\n\nTry to read the "
    "saved date again ?\n\n(No forgets it.)";
const char *const kCouldntReset =
    "Couldnt reset the date !!!\n\nDouble click on System tray clockto reset by 'hand'";
const unsigned kOfferType = MB_YESNO | MB_ICONQUESTION | MB_TOPMOST;

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
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const char *name)
{
    return std::filesystem::exists(std::filesystem::symlink_status(name));
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

std::string TopText(const automation::Session &s)
{
    auto box = s.TopMessageBox();
    return box ? box->text : "(no message box)";
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
        bool noteAfter;
    } cases[] = {
        {"no note: an earlier test ended well", kSaved, std::nullopt, nullptr, 0,
         "2000-01-01 00:00:10.000", false},
        {"note and date file agree, Yes", kSaved, kSaved, kOfferAtStart, IDYES,
         "2026-06-15 10:20:07.250", false},
        {"note and date file agree, No", kSaved, kSaved, kOfferAtStart, IDNO,
         "2000-01-01 00:00:10.000", false},
        {"note torn by a power cut: empty", kSaved, Bytes{}, kOfferAtStart, IDYES,
         "2026-06-15 10:20:07.250", false},
        {"note torn by a power cut: zeros", kSaved, zeros, kOfferAtStart, IDYES,
         "2026-06-15 10:20:07.250", false},
        {"date file damaged, the note's copy", Bytes(15, 0), kSaved, kOfferAtStart, IDYES,
         "2026-06-15 10:20:07.250", false},
        {"date file gone, the note's copy", std::nullopt, kSaved, kOfferAtStart, IDYES,
         "2026-06-15 10:20:07.250", false},
        {"neither readable, No", Bytes{}, zeros, kUnreadable, IDNO, "2000-01-01 00:00:10.000",
         false},
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
            ASSERT_EQ(TopText(s), c.box);
            EXPECT_EQ(s.TopMessageBox()->caption, kOwedCaption);
            EXPECT_EQ(s.TopMessageBox()->type,
                      c.box == kUnreadable
                          ? static_cast<unsigned>(MB_YESNO | MB_ICONERROR | MB_TOPMOST)
                          : kOfferType);
            EXPECT_EQ(s.Captions(), std::vector<std::string>{kOwedCaption})
                << "the main dialog is up under the offer";
            s.Answer(c.answer);
        }
        EXPECT_EQ(s.Captions(), std::vector<std::string>{kMainCaption});
        EXPECT_EQ(LocalNow(), c.clockAfter);
        EXPECT_EQ(Exists("dateowed.tmp"), c.noteAfter);
        EXPECT_EQ(Exists("datesave.tmp"), c.dateFile.has_value()) << "the date file was made";
        if (c.dateFile)
            EXPECT_EQ(FileBytes("datesave.tmp"), *c.dateFile) << "the date file was changed";
    }
}

// A file held open by another program reads again once it lets go.
TEST_F(OwedDate, UnreadableDateIsReadAgainOnYes)
{
    automation::Session s(Pc("y2k-ready", kTestClock));
    PlaceFile("datesave.tmp", kSaved);
    PlaceFile("dateowed.tmp", Bytes{});
    HANDLE other = CreateFileA("datesave.tmp", GENERIC_READ, 0, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    StartToMainDialog(s);
    ASSERT_EQ(TopText(s), kUnreadable);
    s.Answer(IDYES);
    EXPECT_EQ(TopText(s), kUnreadable) << "still held: asked again";
    CloseHandle(other);
    s.Answer(IDYES);
    ASSERT_EQ(TopText(s), kOfferAtStart);
    s.Answer(IDYES);
    EXPECT_EQ(LocalNow(), "2026-06-15 10:20:07.250");
    EXPECT_FALSE(Exists("dateowed.tmp"));
}

// The offer belongs to the copy that may change the clock, on the platform
// it runs on, and comes before the network warning.
TEST_F(OwedDate, OfferedOnlyByTheCopyThatRunsAndBeforeTheNetworkWarning)
{
    {
        SCOPED_TRACE("network software present");
        automation::Session s(Pc("networked", kTestClock));
        PlaceFile("datesave.tmp", kSaved);
        PlaceFile("dateowed.tmp", kSaved);
        StartToMainDialog(s);
        ASSERT_EQ(TopText(s), kOfferAtStart);
        s.Answer(IDYES);
        EXPECT_EQ(s.TopMessageBox()->caption, "Tolvane -  Network Warning");
    }
    {
        SCOPED_TRACE("Windows NT");
        automation::Session s(Pc("nt", kTestClock));
        PlaceFile("datesave.tmp", kSaved);
        PlaceFile("dateowed.tmp", kSaved);
        StartToMainDialog(s);
        EXPECT_EQ(s.TopMessageBox()->caption, "Tolvane -  Not windows 95/98");
        s.Answer(IDOK);
        EXPECT_FALSE(s.Running());
        EXPECT_TRUE(Exists("dateowed.tmp"));
    }
    {
        SCOPED_TRACE("another copy running");
        automation::Session s(Pc("y2k-ready", kTestClock));
        PlaceFile("datesave.tmp", kSaved);
        PlaceFile("dateowed.tmp", kSaved);
        HANDLE first = CreateMutexA(NULL, FALSE, "Tolvane_Clock_Test_Running");
        StartToMainDialog(s);
        EXPECT_EQ(s.TopMessageBox()->caption, "Tolvane -  Already Running");
        s.Answer(IDOK);
        EXPECT_FALSE(s.Running());
        EXPECT_EQ(LocalNow(), "2000-01-01 00:00:10.000");
        EXPECT_TRUE(Exists("dateowed.tmp"));
        CloseHandle(first);
    }
}

// The note is there from before the clock moves until the date is back: a
// copy of the date file's record, gone after every way the date comes back.
TEST_F(OwedDate, NoteLivesFromTheSaveUntilTheDateIsBack)
{
    enum class Back { kResetDate, kClose, kEndSession };
    for (Back back : {Back::kResetDate, Back::kClose, Back::kEndSession}) {
        SCOPED_TRACE(static_cast<int>(back));
        automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.250"));
        StartToMainDialog(s);
        s.Press(IDC_TEST);
        s.PressIn(kWarningCaption, IDOK);
        EXPECT_EQ(FileBytes("datesave.tmp"), kSaved);
        EXPECT_EQ(FileBytes("dateowed.tmp"), kSaved);
        s.Advance(7000);
        switch (back) {
        case Back::kResetDate:
            s.Press(IDC_STOPCLOCKS);
            s.Answer(IDOK);
            EXPECT_TRUE(Exists("dateowed.tmp")) << "gone before the date is back";
            s.Press(IDC_RESET_DATE);
            break;
        case Back::kClose:
            s.PressIn(kMainCaption, IDC_CLOSE);
            break;
        case Back::kEndSession:
            s.EndSession(true);
            s.Answer(IDOK);  // Date Restored
            break;
        }
        EXPECT_EQ(LocalNow().substr(0, 19), "2026-06-15 10:20:07");
        EXPECT_FALSE(Exists("dateowed.tmp"));
        EXPECT_EQ(FileBytes("datesave.tmp"), kSaved);
    }
}

// A test that never moved the clock owes nothing.
TEST_F(OwedDate, TestWhoseClockIsRefusedLeavesNoNote)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.250"));
    StartToMainDialog(s);
    pc::ChangeSetting("set-time", "denied");
    s.Press(IDC_TEST);
    s.PressIn(kWarningCaption, IDOK);
    EXPECT_EQ(TopText(s), "Couldnt set clocks for test");
    EXPECT_FALSE(Exists("dateowed.tmp")) << "still there while the box is up";
    s.Answer(IDOK);
}

// The note is made only from a whole record in the date file, and a failed
// note leaves nothing behind that could name another record.
TEST_F(OwedDate, NoteIsACopyOfTheDateFileOrNothing)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.250"));
    struct Case {
        const char *what;
        std::optional<Bytes> dateFile;
        int marked;
        std::optional<Bytes> note;
    } cases[] = {
        {"a whole record", kSaved, 1, kSaved},
        {"a 20-byte file: its first 16",
         Bytes{0xEA, 0x07, 6, 0, 1, 0, 15, 0, 10, 0, 20, 0, 7, 0, 0xFA, 0, 0xDE, 0xAD, 0xBE, 0xEF},
         1, kSaved},
        {"no date file", std::nullopt, 0, std::nullopt},
        {"a short record", Bytes(15, 1), 0, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove("datesave.tmp");
        std::filesystem::remove("dateowed.tmp");
        if (c.dateFile)
            PlaceFile("datesave.tmp", *c.dateFile);
        EXPECT_EQ(MarkDateOwed(), c.marked);
        EXPECT_EQ(IsDateOwed(), c.marked);
        ASSERT_EQ(Exists("dateowed.tmp"), c.note.has_value());
        if (c.note)
            EXPECT_EQ(FileBytes("dateowed.tmp"), *c.note);
    }
}

// A note that cannot be removed says so rather than coming back unexplained.
TEST_F(OwedDate, NoteThatCannotBeRemovedIsToldOf)
{
    automation::Session s(Pc("y2k-ready", kTestClock));
    PlaceFile("datesave.tmp", kSaved);
    std::filesystem::create_directory("dateowed.tmp");
    StartToMainDialog(s);
    ASSERT_EQ(TopText(s), kOfferAtStart) << "a note that is no file still owes";
    s.Answer(IDNO);
    EXPECT_EQ(TopText(s), "Couldnt remove dateowed.tmp\n\nDelete it by hand to test again");
    EXPECT_EQ(s.TopMessageBox()->caption, "Tolvane - Error");
    s.Answer(IDOK);
    s.Press(IDC_TEST);
    EXPECT_EQ(TopText(s), kOfferAtTest) << "TEST saved over the date";
    EXPECT_EQ(FileBytes("datesave.tmp"), kSaved);
}

// A date not set back, by Reset Date or at the start, stays owed: TEST
// offers it instead of saving the test's own clock over it.
TEST_F(OwedDate, TestAfterAFailedRestoreNeverSavesOverTheOwedDate)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.250"));
    StartToMainDialog(s);
    s.Press(IDC_TEST);
    s.PressIn(kWarningCaption, IDOK);
    s.Advance(15000);  // 2000-01-01 00:00:10
    s.Press(IDC_STOPCLOCKS);
    s.Answer(IDOK);
    pc::ChangeSetting("set-time", "denied");
    s.Press(IDC_RESET_DATE);
    EXPECT_EQ(TopText(s), kCouldntReset);
    s.Answer(IDOK);

    for (int answer : {IDYES, IDNO}) {
        SCOPED_TRACE(answer == IDYES ? "Yes, refused again" : "No");
        s.Press(IDC_TEST);
        ASSERT_EQ(TopText(s), kOfferAtTest);
        EXPECT_EQ(s.TopMessageBox()->caption, kOwedCaption);
        s.Answer(answer);
        if (answer == IDYES) {
            EXPECT_EQ(TopText(s), kCouldntReset);
            s.Answer(IDOK);
        }
        EXPECT_EQ(s.Captions(), std::vector<std::string>{kMainCaption}) << "a test started";
        EXPECT_EQ(FileBytes("datesave.tmp"), kSaved);
        EXPECT_EQ(Exists("dateowed.tmp"), answer == IDYES);
        EXPECT_EQ(LocalNow(), "2000-01-01 00:00:10.000");
    }
    // Forgotten: the next TEST is a test.
    s.Press(IDC_TEST);
    EXPECT_EQ(s.TopCaption(), kWarningCaption);
}

}  // namespace
