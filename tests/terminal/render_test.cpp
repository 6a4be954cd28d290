// The terminal's picture of the dialogs: the monochrome frame, the roles of
// Windows 98's colours in the colour one (captions, faces, buttons, list
// boxes, icons, shadows), the too-small message, what the mouse finds under a
// cell and does there, and the keys' actions.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "terminal/cells.h"
#include "terminal/glyphs.h"
#include "terminal/keymap.h"
#include "terminal/render.h"
#include "ui_fixture.h"
#include "user/window.h"

namespace {

using namespace uitest;

// The screen as the program's thread left it, rendered by the test.
class ScreenRender : public ::testing::Test {
protected:
    void SetUp() override
    {
        Reset(IDD_MAIN);
        gInit = [](HWND hwnd) {
            EnableWindow(GetDlgItem(hwnd, IDC_STOPCLOCKS), FALSE);
            SendMessageA(GetDlgItem(hwnd, IDC_CMOS_LINE), LB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(" 12-31-1999   23:59:55"));
        };
        session.Start(TestProgram);
    }
    void Render(int cols = 80, int rows = 24, terminal::Look look = terminal::Look::kMonochrome)
    {
        user::UserLock lock = user::LockUser();
        frame.Resize(cols, rows);
        terminal::RenderScreen(frame, look);
    }
    void RenderColour() { Render(80, 24, terminal::Look::kColour); }
    // Where `text` starts on the frame.
    std::optional<std::pair<int, int>> Locate(const std::string &text)
    {
        for (int y = 0; y < frame.Rows(); ++y) {
            std::string line = frame.Line(y);
            // Box-drawing characters take three bytes: count cells instead.
            size_t at = line.find(text);
            if (at == std::string::npos)
                continue;
            int x = 0;
            for (size_t i = 0; i < at; ++i)
                if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80)
                    ++x;
            return std::make_pair(x, y);
        }
        return std::nullopt;
    }
    const terminal::Cell &At(std::pair<int, int> cell, int dx = 0, int dy = 0) const
    {
        return frame.At(cell.first + dx, cell.second + dy);
    }
    user::CellRect Cells(HWND hwnd)
    {
        user::UserLock lock = user::LockUser();
        return user::Find(hwnd)->cells;
    }
    automation::Session session;
    terminal::CellBuffer frame;
};

using terminal::Role;

// Every character beyond ASCII in the frame has something to stand in for it
// on a terminal that cannot show it, rather than a question mark.
void ExpectStandInsFor(const terminal::CellBuffer &frame)
{
    for (int y = 0; y < frame.Rows(); ++y)
        for (int x = 0; x < frame.Cols(); ++x) {
            const char32_t ch = frame.At(x, y).ch;
            if (ch < 0x80)
                continue;
            const terminal::StandIn standIn = terminal::StandInFor(ch);
            EXPECT_TRUE(standIn.solid || standIn.lineDrawing || standIn.ascii != '?')
                << "U+" << std::hex << static_cast<std::uint32_t>(ch) << " at " << std::dec << x
                << "," << y;
        }
}

TEST_F(ScreenRender, ShowsTheClockLineWholeAndTheButtonsLooks)
{
    Render();
    std::string text = frame.ToText();
    EXPECT_NE(text.find("│ 12-31-1999   23:59:55│"), std::string::npos) << text;
    EXPECT_NE(text.find(" Tolvane "), std::string::npos);

    auto stop = Locate("StopClocks");
    ASSERT_TRUE(stop);
    EXPECT_TRUE(frame.At(stop->first, stop->second).attr & terminal::kDim) << "disabled looks dim";
    auto close = Locate("Close");
    ASSERT_TRUE(close);
    EXPECT_FALSE(frame.At(close->first, close->second).attr & terminal::kDim);

    // TEST is the default button and has the focus.
    auto test = Locate("TEST");
    ASSERT_TRUE(test);
    EXPECT_TRUE(frame.At(test->first, test->second).attr & terminal::kReverse);
    EXPECT_NE(text.find("<                  TEST                  >"), std::string::npos) << text;
}

TEST_F(ScreenRender, MonochromeFrameIsTheFrameWithoutColours)
{
    // Characters and attributes only (0 normal, 1 bold, 2 dim, 4 reverse,
    // 5 bold and reverse), every cell in the terminal's own colours.
    Render();
    EXPECT_EQ(frame.ToText(),
              "\n"
              "    ┌─ Tolvane ────────────────────────────────────────────────────────[X]┐\n"
              "    │                                                                     │\n"
              "    │    <                  TEST                  >      [ StopClocks  ]  │\n"
              "    │                                                                     │\n"
              "    │                                                                     │\n"
              "    │    ┌ clocks ────────────────────────────────┐                       │\n"
              "    │    │                                        │      [ Reset Date  ]  │\n"
              "    │    │                                        │                       │\n"
              "    │    │  Cmos:     │ 12-31-1999   23:59:55│    │                       │\n"
              "    │    │            │                      │    │      [ Install Fix ]  │\n"
              "    │    │  Bios:     │                      │    │                       │\n"
              "    │    │            │                      │    │                       │\n"
              "    │    │  System:                               │                       │\n"
              "    │    │                                        │      [    Help     ]  │\n"
              "    │    │   Local:   │                      │    │                       │\n"
              "    │    │    UTC:    │                      │    │                       │\n"
              "    │    │            │                      │    │                       │\n"
              "    │    │                                        │      [    Close    ]  │\n"
              "    │    └────────────────────────────────────────┘                       │\n"
              "    │                                                                     │\n"
              "    │                                                                     │\n"
              "    └─────────────────────────────────────────────────────────────────────┘\n"
              "\n");
    std::string attrs;
    bool plain = true;
    for (int y = 0; y < frame.Rows(); ++y) {
        for (int x = 0; x < frame.Cols(); ++x) {
            attrs += static_cast<char>('0' + frame.At(x, y).attr);
            plain = plain && frame.At(x, y).role == Role::kPlain;
        }
        attrs += '\n';
    }
    EXPECT_EQ(attrs,
              "00000000000000000000000000000000000000000000000000000000000000000000000000000000\n"
              "00001144444444011111111111111111111111111111111111111111111111111111111111100000\n"
              "00001000000000000000000000000000000000000000000000000000000000000000000000100000\n"
              "00001000055555555555555555555555555555555555555555500000022222222222222200100000\n"
              "00001000000000000000000000000000000000000000000000000000000000000000000000100000\n"
              "00001000000000000000000000000000000000000000000000000000000000000000000000100000\n"
              "00001000000000000000000000000000000000000000000000000000000000000000000000100000\n"
              "00001000000000000000000000000000000000000000000000000000000000000000000000100000\n"
              "00001000000000000000000000000000000000000000000000000000000000000000000000100000\n"
              "00001000000000000000000000000000000000000000000000000000000000000000000000100000\n"
              "00001000000000000000000000000000000000000000000000000000000000000000000000100000\n"
              "00001000000000000000000000000000000000000000000000000000000000000000000000100000\n"
              "00001000000000000000000000000000000000000000000000000000000000000000000000100000\n"
              "00001000000000000000000000000000000000000000000000000000000000000000000000100000\n"
              "00001000000000000000000000000000000000000000000000000000000000000000000000100000\n"
              "00001000000000000000000000000000000000000000000000000000000000000000000000100000\n"
              "00001000000000000000000000000000000000000000000000000000000000000000000000100000\n"
              "00001000000000000000000000000000000000000000000000000000000000000000000000100000\n"
              "00001000000000000000000000000000000000000000000000000000000000000000000000100000\n"
              "00001000000000000000000000000000000000000000000000000000000000000000000000100000\n"
              "00001000000000000000000000000000000000000000000000000000000000000000000000100000\n"
              "00001000000000000000000000000000000000000000000000000000000000000000000000100000\n"
              "00001111111111111111111111111111111111111111111111111111111111111111111111100000\n"
              "00000000000000000000000000000000000000000000000000000000000000000000000000000000\n");
    EXPECT_TRUE(plain);
}

TEST_F(ScreenRender, TooSmallTerminalSaysSoAndRecovers)
{
    Render(60, 20);
    EXPECT_EQ(frame.Line(0), "Terminal too small: need 71x22, have 60x20");
    EXPECT_EQ(frame.ToText().find("TEST"), std::string::npos);
    session.Resize(100, 30);
    EXPECT_NE(session.Screen().find("StopClocks"), std::string::npos);
}

TEST_F(ScreenRender, MouseRegionsMapToTheControlsDrawnThere)
{
    Render();
    auto close = Locate("Close");
    auto closeBox = Locate("[X]");
    ASSERT_TRUE(close && closeBox);
    user::UserLock lock = user::LockUser();
    terminal::Hit onButton = terminal::HitTest(close->first, close->second);
    EXPECT_EQ(onButton.region, terminal::Region::kControl);
    EXPECT_EQ(onButton.hwnd, user::FindChild(user::Find(gSeen.dialog), IDC_CLOSE)->handle);
    EXPECT_EQ(terminal::HitTest(closeBox->first + 1, closeBox->second).region,
              terminal::Region::kCloseBox);
    EXPECT_EQ(terminal::HitTest(0, 0).region, terminal::Region::kNothing);
    EXPECT_EQ(terminal::ActionForRegion(terminal::Region::kCloseBox), terminal::Action::kClose);
    EXPECT_EQ(terminal::ActionForRegion(terminal::Region::kControl), terminal::Action::kClick);
}

TEST_F(ScreenRender, ColourShowsTheDialogInWindows98Roles)
{
    RenderColour();
    const user::CellRect w = Cells(gSeen.dialog);
    struct Case {
        const char *what;
        int x, y;
        char32_t ch;  // 0: any
        Role role;
        std::uint8_t attr;
    } cases[] = {
        {"desktop", 0, 0, U' ', Role::kDesktop, terminal::kNormal},
        {"title bar", w.x, w.y, U' ', Role::kCaptionActive, terminal::kNormal},
        {"caption", w.x + 2, w.y, U'T', Role::kCaptionActive, terminal::kBold},
        {"close box", w.Right() - 3, w.y, U'×', Role::kFace, terminal::kNormal},
        {"close box edge", w.Right() - 4, w.y, U'▐', Role::kCloseBoxActive, terminal::kNormal},
        {"face", w.x + 2, w.y + 2, U' ', Role::kFace, terminal::kNormal},
        {"shadow right", w.Right(), w.y + 1, 0, Role::kShadow, terminal::kNormal},
        {"shadow below", w.x + 2, w.Bottom(), 0, Role::kShadow, terminal::kNormal},
        {"desktop beside the shadow", w.x + 1, w.Bottom(), U' ', Role::kDesktop, terminal::kNormal},
    };
    for (const Case &c : cases) {
        const terminal::Cell &cell = frame.At(c.x, c.y);
        if (c.ch) {
            EXPECT_EQ(cell.ch, c.ch) << c.what;
        }
        EXPECT_EQ(cell.role, c.role) << c.what;
        EXPECT_EQ(cell.attr, c.attr) << c.what;
    }

    struct Control {
        const char *text;
        int dx, dy;  // from the text's first cell
        char32_t ch;
        Role role;
        std::uint8_t attr;
    } controls[] = {
        // TEST has the focus (its caption underlined) and is the default
        // button, dark all round.
        {"TEST", 0, 0, U'T', Role::kFace, terminal::kUnderline},
        {"TEST", 0, -1, U'▁', Role::kFace, terminal::kNormal},
        {"TEST", 0, 1, U'▔', Role::kFace, terminal::kNormal},
        // Close is raised: light above, dark below.
        {"Close", 0, 0, U'C', Role::kFace, terminal::kNormal},
        {"Close", 0, -1, U'▁', Role::kFaceLight, terminal::kNormal},
        {"Close", 0, 1, U'▔', Role::kFace, terminal::kNormal},
        {"StopClocks", 0, 0, U'S', Role::kFaceGreyText, terminal::kNormal},
        // The white list box, sunken under a dark edge.
        {"12-31-1999", 0, 0, U'1', Role::kWindow, terminal::kNormal},
        {"12-31-1999", -1, 0, U' ', Role::kWindow, terminal::kNormal},
        {"12-31-1999", 0, -1, U'▁', Role::kFaceShadow, terminal::kNormal},
        {"12-31-1999", -2, 0, U'▕', Role::kFaceShadow, terminal::kNormal},
        {"clocks", 0, 0, U'c', Role::kFace, terminal::kNormal},
        {"clocks", -2, 0, U'┌', Role::kFaceShadow, terminal::kNormal},
        {"Cmos:", 0, 0, U'C', Role::kFace, terminal::kNormal},
    };
    for (const Control &c : controls) {
        auto at = Locate(c.text);
        ASSERT_TRUE(at) << c.text << "\n" << frame.ToText();
        const terminal::Cell &cell = At(*at, c.dx, c.dy);
        EXPECT_EQ(cell.ch, c.ch) << c.text << " " << c.dx << "," << c.dy;
        EXPECT_EQ(cell.role, c.role) << c.text << " " << c.dx << "," << c.dy;
        EXPECT_EQ(cell.attr, c.attr) << c.text << " " << c.dx << "," << c.dy;
    }
}

TEST(ScreenStandIns, EveryCharacterOfBothLooksHasAStandIn)
{
    automation::Session session;
    Reset(IDD_WARNING);
    session.Start(TestProgram);
    session.Press(IDC_DONT_WARN);
    ASSERT_TRUE(session.Checked(IDC_DONT_WARN));
    terminal::CellBuffer frame;
    frame.Resize(80, 24);
    user::UserLock lock = user::LockUser();
    for (terminal::Look look : {terminal::Look::kMonochrome, terminal::Look::kColour}) {
        terminal::RenderScreen(frame, look, gSeen.dialog);
        ExpectStandInsFor(frame);
    }
}

TEST_F(ScreenRender, BothLooksPutEveryControlInTheSameCells)
{
    Render();
    const std::string mono = frame.ToText();
    ExpectStandInsFor(frame);
    RenderColour();
    ExpectStandInsFor(frame);
    for (const char *text : {"TEST", "StopClocks", "Reset Date", "Install Fix", "Help", "Close",
                             "clocks", "Cmos:", "System:", "12-31-1999   23:59:55"}) {
        Render();
        auto inMono = Locate(text);
        RenderColour();
        EXPECT_EQ(inMono, Locate(text)) << text;
    }
    EXPECT_NE(mono, frame.ToText());
}

TEST(ScreenMessageBox, IconsAreDrawnAsWindowsDrawsThemAndTheBoxIsOnTop)
{
    struct Case {
        UINT type;
        const char *marker;  // monochrome
        char32_t mark;
        Role markRole, shape;
    } cases[] = {
        {MB_ICONHAND, "(X)", U'X', Role::kIconRedMark, Role::kIconRed},
        {MB_ICONEXCLAMATION, "(!)", U'!', Role::kIconYellowMark, Role::kIconYellow},
        {MB_ICONASTERISK, "(i)", U'i', Role::kIconBlueMark, Role::kFaceLight},
        {MB_ICONQUESTION, "(?)", U'?', Role::kIconBlueMark, Role::kFaceLight},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.marker);
        automation::Session session;
        Reset(IDD_MAIN);
        gHook = [&c](HWND hwnd, UINT message, WPARAM wParam, LPARAM, INT_PTR &) {
            if (message == WM_COMMAND && LOWORD(wParam) == IDC_HELP)
                MessageBoxA(hwnd, "Something to say", "Box", MB_OK | c.type);
            return false;
        };
        session.Start(TestProgram);
        session.Press(IDC_HELP);
        EXPECT_NE(session.Screen().find(std::string(c.marker) + "  Something to say"),
                  std::string::npos)
            << session.Screen();

        const HWND boxWindow = session.Window("Box");
        terminal::CellBuffer frame;
        frame.Resize(80, 24);
        user::UserLock lock = user::LockUser();
        terminal::RenderScreen(frame, terminal::Look::kColour);
        ExpectStandInsFor(frame);
        const user::CellRect box = user::Find(boxWindow)->cells;
        const user::CellRect main = user::Find(gSeen.dialog)->cells;
        // The icon's five cells by two start in the client area's second
        // column; the X, ! or letter is in the middle.
        int markCells = 0, shapeCells = 0;
        for (int y = box.y + 2; y < box.y + 4; ++y)
            for (int x = box.x + 2; x < box.x + 7; ++x) {
                const terminal::Cell &cell = frame.At(x, y);
                if (cell.role == c.markRole) {
                    EXPECT_EQ(cell.ch, c.mark);
                    EXPECT_EQ(x, box.x + 4);
                    ++markCells;
                }
                shapeCells += cell.role == c.shape;
            }
        EXPECT_EQ(markCells, 1);
        EXPECT_GE(shapeCells, 7);
        EXPECT_EQ(frame.At(box.x + 8, box.y + 2).ch, U'S') << "the text a column after the icon";
        EXPECT_EQ(frame.At(box.x, box.y).role, Role::kCaptionActive);
        EXPECT_EQ(frame.At(main.x, main.y).role, Role::kCaptionInactive);
        EXPECT_EQ(frame.At(main.x + 3, main.y).attr, terminal::kBold);
        // The box's shadow falls on the dialog under it.
        ASSERT_TRUE(main.Contains(box.Right(), box.y + 1));
        EXPECT_EQ(frame.At(box.Right(), box.y + 1).role, Role::kShadow);
        EXPECT_EQ(frame.At(box.x + 2, box.Bottom()).role, Role::kShadow);
    }
}

TEST(ScreenButtons, DisabledDefaultButtonLosesItsDefaultFrame)
{
    automation::Session session;
    Reset(IDD_MAIN);
    gInit = [](HWND hwnd) { EnableWindow(GetDlgItem(hwnd, IDC_TEST), FALSE); };
    session.Start(TestProgram);
    EXPECT_NE(session.Screen().find("[                  TEST                  ]"),
              std::string::npos)
        << session.Screen();

    terminal::CellBuffer frame;
    frame.Resize(80, 24);
    user::UserLock lock = user::LockUser();
    for (terminal::Look look : {terminal::Look::kMonochrome, terminal::Look::kColour}) {
        terminal::RenderScreen(frame, look);
        const size_t at = frame.ToText().find("TEST");
        ASSERT_NE(at, std::string::npos);
        int x = -1, y = -1;
        for (int row = 0; row < frame.Rows() && y < 0; ++row)
            for (int col = 0; col + 3 < frame.Cols(); ++col)
                if (frame.At(col, row).ch == U'T' && frame.At(col + 1, row).ch == U'E' &&
                    frame.At(col + 2, row).ch == U'S') {
                    x = col, y = row;
                    break;
                }
        ASSERT_GE(y, 0);
        if (look == terminal::Look::kMonochrome) {
            EXPECT_EQ(frame.At(x, y).attr, terminal::kDim);
        } else {
            EXPECT_EQ(frame.At(x, y).role, Role::kFaceGreyText);
            EXPECT_EQ(frame.At(x, y - 1).role, Role::kFaceLight)
                << "raised, without the dark frame";
        }
    }
}

// The mouse through the automation, at the cells the terminal draws: a click
// presses a button, ticks the check box, and the close box closes the dialog;
// a press let go elsewhere does neither.
TEST(ScreenMouse, ClicksPressButtonsTickTheCheckBoxAndCloseTheDialog)
{
    automation::Session session;
    Reset(IDD_WARNING);
    session.Start(TestProgram);
    auto cellOf = [&](const std::string &text) {
        const std::string screen = session.Screen();
        std::istringstream lines(screen);
        std::string line;
        for (int row = 0; std::getline(lines, line); ++row)
            if (size_t at = line.find(text); at != std::string::npos) {
                int column = 0;
                for (size_t i = 0; i < at; ++i)
                    column += (static_cast<unsigned char>(line[i]) & 0xC0) != 0x80;
                return std::make_pair(column, row);
            }
        throw automation::DriveError("no '" + text + "' on the screen\n" + screen);
    };

    auto [boxX, boxY] = cellOf("dont warn me");
    session.MouseDown(boxX, boxY);
    session.MouseUp(boxX, boxY - 1);
    EXPECT_FALSE(session.Checked(IDC_DONT_WARN));
    session.Click(boxX, boxY);  // the check box's text
    EXPECT_TRUE(session.Checked(IDC_DONT_WARN));
    session.Click(boxX - 3, boxY);  // its box
    EXPECT_FALSE(session.Checked(IDC_DONT_WARN));
    auto [cancelX, cancelY] = cellOf("Cancel");
    session.Click(cancelX, cancelY);
    EXPECT_EQ(gSeen.commands, (std::vector<int>{IDC_DONT_WARN, IDC_DONT_WARN, IDCANCEL}));

    auto [closeX, closeY] = cellOf("[X]");
    session.MouseDown(closeX + 1, closeY);
    EXPECT_TRUE(session.Running()) << "the close box acted on the press";
    session.MouseMove(closeX - 4, closeY);
    session.MouseUp(closeX - 4, closeY);
    EXPECT_TRUE(session.Running()) << "a release beside the close box closed the dialog";
    session.Click(closeX + 1, closeY);
    EXPECT_FALSE(session.Running()) << "the close box ends the dialog through WM_CLOSE";
}

TEST_F(ScreenRender, ClickOnADisabledButtonDoesNothing)
{
    Render();
    auto stop = Locate("StopClocks");
    ASSERT_TRUE(stop);
    session.Click(stop->first, stop->second);
    EXPECT_TRUE(gSeen.commands.empty());
    auto help = Locate("Help");
    ASSERT_TRUE(help);
    session.Click(help->first, help->second);
    EXPECT_EQ(gSeen.commands, std::vector<int>{IDC_HELP});
}

// As on Windows: the press takes hold and looks pushed while the pointer is
// on the button; only the release over it acts. A release elsewhere does
// nothing, whether or not the terminal reported the pointer leaving.
TEST_F(ScreenRender, AButtonActsOnTheReleaseOverItNotOnThePress)
{
    Render();
    const auto help = Locate("Help");
    const auto close = Locate("Close");
    ASSERT_TRUE(help && close);
    const HWND helpButton = GetDlgItem(gSeen.dialog, IDC_HELP);
    auto pushed = [&] { return (session.Send(helpButton, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; };

    session.MouseDown(help->first, help->second);
    EXPECT_TRUE(gSeen.commands.empty()) << "acted on the press";
    EXPECT_TRUE(pushed());
    // Pushed, the caption moves a cell to the right, as Windows moves it.
    EXPECT_NE(session.Screen().find("     Help    >"), std::string::npos) << session.Screen();
    session.MouseMove(help->first, help->second - 2);
    EXPECT_FALSE(pushed()) << "still pushed with the pointer off it";
    session.MouseMove(help->first + 1, help->second);
    EXPECT_TRUE(pushed()) << "not pushed again with the pointer back on it";
    session.MouseMove(close->first, close->second);
    session.MouseUp(close->first, close->second);
    EXPECT_TRUE(gSeen.commands.empty()) << "a release on another button acted";
    EXPECT_FALSE(pushed());

    // No report of the pointer leaving: the release alone says where it is.
    session.MouseDown(help->first, help->second);
    session.MouseUp(0, 0);
    EXPECT_TRUE(gSeen.commands.empty());
    EXPECT_FALSE(pushed());

    session.MouseDown(help->first, help->second);
    session.MouseUp(help->first + 2, help->second);
    EXPECT_EQ(gSeen.commands, std::vector<int>{IDC_HELP});
}

TEST(ScreenKeys, KeysMapToActionsAndActionsToVirtualKeys)
{
    auto key = [](terminal::Key k) {
        terminal::RawInput in;
        in.kind = terminal::RawInput::kKey;
        in.key = k;
        return terminal::ActionForInput(in);
    };
    EXPECT_EQ(key(terminal::Key::kCtrlC), terminal::Action::kClose);
    EXPECT_EQ(key(terminal::Key::kResize), terminal::Action::kResize);
    EXPECT_EQ(key(terminal::Key::kOther), terminal::Action::kNone);
    int vk = 0;
    bool shift = false;
    ASSERT_TRUE(terminal::KeyForAction(key(terminal::Key::kBackTab), vk, shift));
    EXPECT_EQ(vk, VK_TAB);
    EXPECT_TRUE(shift);
    ASSERT_TRUE(terminal::KeyForAction(key(terminal::Key::kEnter), vk, shift));
    EXPECT_EQ(vk, VK_RETURN);
    EXPECT_FALSE(shift);
    EXPECT_FALSE(terminal::KeyForAction(terminal::Action::kClose, vk, shift));
}

}  // namespace
