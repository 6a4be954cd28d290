// What the terminal writes: only the damaged part of the screen is drawn
// again, and the result must be the screen a whole redraw gives, under boxes,
// the help window and after a resize; and the bytes for the cells that
// changed, in colour, without colours and in a locale without line drawing.
#include <gtest/gtest.h>

#include <string>

#include "terminal/glyphs.h"
#include "terminal/render.h"
#include "terminal/screen.h"
#include "ui_fixture.h"
#include "user/window.h"

namespace {

using namespace uitest;
using terminal::Cell;
using terminal::CellBuffer;
using terminal::Look;
using terminal::Role;

// Follows the damage as the terminal does, in both looks, and checks each
// frame against a whole redraw.
class Damage {
public:
    explicit Damage(automation::Session &session) : session_(session) {}

    void Resize(int cols, int rows)
    {
        session_.Resize(cols, rows);
        whole_ = true;
    }

    // Draws what the damage since the last call names; returns how many
    // cells that area holds.
    int FollowAndCompare()
    {
        user::UserLock lock = user::LockUser();
        const int cols = user::State().screenCols, rows = user::State().screenRows;
        user::CellRect area;
        const bool partial = user::TakeDamage(area) && !whole_;
        whole_ = false;
        int cells = 0;
        for (int look = 0; look < 2; ++look) {
            CellBuffer &frame = frames_[look];
            const Look shown = look ? Look::kColour : Look::kMonochrome;
            if (!partial || frame.Cols() != cols || frame.Rows() != rows) {
                frame.Resize(cols, rows);
                terminal::RenderScreen(frame, shown);
                cells = cols * rows;
            } else {
                terminal::RenderArea(frame, shown, area);
                cells = area.w * area.h;
            }
            CellBuffer whole;
            whole.Resize(cols, rows);
            terminal::RenderScreen(whole, shown);
            for (int y = 0; y < rows; ++y)
                for (int x = 0; x < cols; ++x)
                    if (!(frame.At(x, y) == whole.At(x, y))) {
                        ADD_FAILURE()
                            << "look " << look << ": cell " << x << "," << y << " drawn in area "
                            << area.x << "," << area.y << " " << area.w << "x" << area.h << "\n"
                            << frame.ToText() << "\nwhole:\n"
                            << whole.ToText();
                        return cells;
                    }
        }
        return cells;
    }

private:
    automation::Session &session_;
    CellBuffer frames_[2];
    bool whole_ = true;
};

void ReplaceLine(HWND dialog, int id, int second)
{
    char line[33];
    wsprintfA(line, " %02i-%02i-%04i   %02i:%02i:%02i", 6, 15, 2026, 10, 20, second);
    SendMessageA(GetDlgItem(dialog, id), LB_DELETESTRING, 0, 0);
    SendMessageA(GetDlgItem(dialog, id), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
}

TEST(ScreenDamage, AreaRedrawsMatchWholeRedrawsUnderBoxesTheHelpWindowAndAResize)
{
    automation::Session session;
    Reset(IDD_MAIN);
    int second = 0;
    gInit = [](HWND hwnd) { SetTimer(hwnd, 1, 1000, nullptr); };
    gHook = [&](HWND hwnd, UINT message, WPARAM wParam, LPARAM, INT_PTR &) {
        if (message == WM_TIMER) {
            second = (second + 1) % 60;
            for (int id : {IDC_CMOS_LINE, IDC_BIOS_LINE, IDC_LOCAL_LINE, IDC_UTC_LINE})
                ReplaceLine(hwnd, id, second);
        } else if (message == WM_COMMAND && LOWORD(wParam) == IDC_HELP) {
            MessageBoxA(hwnd, "A box over the clock lines, while they tick on", "Box",
                        MB_OK | MB_ICONEXCLAMATION);
        } else if (message == WM_COMMAND && LOWORD(wParam) == IDC_INSTALL_FIX) {
            WinHelpA(hwnd, "Tolvaneeval.hlp", HELP_CONTENTS, 0);
        }
        return false;
    };
    session.Start(TestProgram);
    Damage damage(session);
    damage.FollowAndCompare();

    // A tick redraws the four lines and little round them.
    session.Advance(1000);
    const int tickCells = damage.FollowAndCompare();
    EXPECT_GT(tickCells, 0);
    EXPECT_LT(tickCells, 80 * 24 / 4) << "a tick drew most of the screen again";

    session.Press(IDC_HELP);
    damage.FollowAndCompare();
    session.Advance(2000);  // the lines change under the box
    damage.FollowAndCompare();
    session.Answer(IDOK);
    damage.FollowAndCompare();

    session.Press(IDC_INSTALL_FIX);  // the help window over everything
    damage.FollowAndCompare();
    session.Advance(2000);
    damage.FollowAndCompare();
    session.Key(VK_ESCAPE);
    damage.FollowAndCompare();

    damage.Resize(100, 36);
    damage.FollowAndCompare();
    session.Advance(1000);
    EXPECT_LT(damage.FollowAndCompare(), 100 * 36 / 4);
    session.Key(VK_TAB);  // the focus moves: buttons change and are redrawn
    damage.FollowAndCompare();
    session.Advance(1000);
    damage.FollowAndCompare();
}

// Whatever a cell held before, drawing any one cell again gives what the
// whole screen has there and touches no other: windows and controls left out
// of the area must be exactly those that draw nothing in it (shadows and
// edges reach past a window's and a control's own cells).
TEST(ScreenDamage, EveryCellDrawnAloneIsWhatTheWholeScreenHasThere)
{
    automation::Session session;
    Reset(IDD_MAIN);
    gHook = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM, INT_PTR &) {
        if (message == WM_COMMAND && LOWORD(wParam) == IDC_HELP)
            MessageBoxA(hwnd, "A box over the dialog", "Box", MB_OK | MB_ICONHAND);
        return false;
    };
    session.Start(TestProgram);
    session.Press(IDC_HELP);
    user::UserLock lock = user::LockUser();
    for (const Look look : {Look::kMonochrome, Look::kColour}) {
        CellBuffer whole, frame;
        whole.Resize(80, 24);
        terminal::RenderScreen(whole, look);
        frame.Resize(80, 24);
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 80; ++x) {
                frame.Fill(0, 0, 80, 24, U'#', terminal::kDim, Role::kIconRed);
                terminal::RenderArea(frame, look, user::CellRect{x, y, 1, 1});
                ASSERT_TRUE(frame.At(x, y) == whole.At(x, y)) << x << "," << y;
                ASSERT_EQ(frame.At(x == 0 ? 1 : 0, y).ch, U'#') << "drew outside " << x << "," << y;
            }
    }
}

// A terminal whose sequences read as what they do.
terminal::Capabilities Readable(bool colour, bool utf8)
{
    terminal::Capabilities caps;
    caps.moveCursor = [](std::string &out, int row, int col) {
        out += "<" + std::to_string(row) + "," + std::to_string(col) + ">";
    };
    caps.plain = "<0>";
    caps.bold = "<b>";
    caps.dim = "<d>";
    caps.reverse = "<r>";
    caps.underline = "<u>";
    caps.lineDrawingOn = "<on>";
    caps.lineDrawingOff = "<off>";
    for (const char *pair = "qqxxllkkmmjjaa"; *pair; pair += 2)
        caps.lineDrawing[static_cast<int>(pair[0])] = pair[1];
    for (int role = 0; colour && role < terminal::kRoleCount; ++role)
        caps.ink[role] = "<ink" + std::to_string(role) + ">";
    caps.utf8 = utf8;
    return caps;
}

std::string Update(terminal::Screen &screen, const CellBuffer &frame, user::CellRect area)
{
    std::string out;
    screen.Update(frame, area, out);
    return out;
}

TEST(ScreenOutput, WritesOnlyTheChangedCellsWithMovesAndPensWhereTheyChange)
{
    terminal::Screen screen;
    screen.Setup(Readable(true, true));
    CellBuffer frame;
    frame.Resize(3, 2);
    frame.Fill(0, 0, 3, 2, U' ', terminal::kNormal, Role::kDesktop);
    frame.Text(0, 1, "ab", terminal::kBold, 2, Role::kWindow);
    const user::CellRect all{0, 0, 3, 2};
    // Desktop is role 1, the white of windows role 6; whether the line-drawing
    // set is on is not known at first.
    EXPECT_EQ(Update(screen, frame, all), "<0,0><0><ink1><off>   <1,0><0><b><ink6>ab<0><ink1> ");

    // Only the cell that changed, with the pen it needs; the next one in the
    // row needs no move.
    frame.Text(0, 1, "xy", terminal::kBold, 2, Role::kWindow);
    EXPECT_EQ(Update(screen, frame, all), "<1,0><0><b><ink6>xy");
    // Nothing changed, nothing written; a change outside the area waits.
    EXPECT_EQ(Update(screen, frame, all), "");
    frame.Put(2, 0, U'z', terminal::kNormal, Role::kDesktop);
    EXPECT_EQ(Update(screen, frame, user::CellRect{0, 1, 3, 1}), "");
    EXPECT_EQ(Update(screen, frame, user::CellRect{2, 0, 1, 1}), "<0,2><0><ink1>z");

    // Once the terminal shows something else, every cell again.
    screen.Forget();
    EXPECT_EQ(Update(screen, frame, user::CellRect{2, 0, 1, 1}),
              "<0,0><0><ink1><off>  z<1,0><0><b><ink6>xy<0><ink1> ");
    std::string out;
    screen.Release(out);
    EXPECT_EQ(out, "<0>");
}

TEST(ScreenOutput, StandInsFollowTheLocaleAndWhatTheTerminalHas)
{
    CellBuffer frame;
    frame.Resize(4, 1);
    frame.Put(0, 0, U'─');
    frame.Put(1, 0, U'│', terminal::kReverse);
    frame.Put(2, 0, U'█');
    frame.Put(3, 0, U'▲');
    const user::CellRect all{0, 0, 4, 1};
    struct Case {
        const char *name;
        bool utf8;
        bool lineDrawing;  // the terminal has a line-drawing set
        std::string expected;
    } cases[] = {
        // UTF-8: every character as it is.
        {"utf-8", true, true, "<0,0><0><off>─<0><r>│<0>█▲"},
        // Not UTF-8 (the tests run in the C locale): lines from the
        // terminal's set, the block as a reversed blank, the arrow, which
        // the set here lacks, as ASCII.
        {"C", false, true, "<0,0><0><on>q<0><r>x<off> <0>^"},
        // And on a terminal without a line-drawing set, ASCII throughout.
        {"C, no set", false, false, "<0,0><0>-<0><r>| <0>^"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        terminal::Capabilities caps = Readable(false, c.utf8);
        if (!c.lineDrawing)
            caps.lineDrawingOn = caps.lineDrawingOff = "";
        terminal::Screen screen;
        screen.Setup(caps);
        EXPECT_EQ(Update(screen, frame, all), c.expected);
    }
}

TEST(ScreenOutput, AttributesTheTerminalCannotColourAndTheLastCellAreLeftOut)
{
    terminal::Capabilities caps = Readable(true, true);
    caps.noColourVideo = 2;  // no underline with colours
    caps.lastCellScrolls = true;
    caps.dimmed[static_cast<int>(Role::kFaceGreyText)] = true;
    terminal::Screen screen;
    screen.Setup(caps);
    CellBuffer frame;
    frame.Resize(3, 1);
    frame.Put(0, 0, U'a', terminal::kUnderline, Role::kFace);
    frame.Put(1, 0, U'b', terminal::kNormal, Role::kFaceGreyText);
    frame.Put(2, 0, U'c');
    EXPECT_EQ(Update(screen, frame, user::CellRect{0, 0, 3, 1}),
              "<0,0><0><ink2><off>a<0><d><ink5>b");
}

}  // namespace
