// The terminal's picture of the dialogs: the look of disabled, focused and
// default buttons, the too-small message, what the mouse finds under a cell,
// and the keys' actions.
#include <gtest/gtest.h>

#include <optional>

#include "terminal/cells.h"
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
    void Render(int cols = 80, int rows = 24)
    {
        user::UserLock lock = user::LockUser();
        frame.Resize(cols, rows);
        terminal::RenderScreen(frame);
    }
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
    automation::Session session;
    terminal::CellBuffer frame;
};

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
