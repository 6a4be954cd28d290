// The terminal's picture of the dialogs: dialog units mapped to cells with
// every control whole and apart, the clock lines wide enough, the look of
// disabled, focused and default buttons, and the too-small message.
#include <gtest/gtest.h>

#include <optional>

#include "kernel/resources.h"
#include "terminal/cells.h"
#include "terminal/keymap.h"
#include "terminal/render.h"
#include "ui_fixture.h"
#include "user/dlgtemplate.h"
#include "user/layout.h"
#include "user/window.h"

namespace {

using namespace uitest;
using user::CellRect;
using user::ControlKind;

struct Laid {
    user::DialogTemplate dlg;
    std::vector<user::LayoutItem> items;
    user::DialogLayout layout;
};

Laid LayOut(int templateId)
{
    Laid out;
    const kernel::Resource *r =
        kernel::ModuleResources().Find(kernel::ResourceName::From(RT_DIALOG),
                                       kernel::ResourceName::From(MAKEINTRESOURCEA(templateId)));
    out.dlg = user::ParseDialogTemplate(r->data).value();
    for (const auto &item : out.dlg.items) {
        user::LayoutItem li;
        const char *cls = item.windowClass.isOrdinal
                              ? user::PredefinedClassName(item.windowClass.ordinal)
                              : item.windowClass.text.c_str();
        li.kind = user::KindOf(cls, item.style);
        li.style = item.style;
        li.x = item.x;
        li.y = item.y;
        li.cx = item.cx;
        li.cy = item.cy;
        li.text = item.text.text;
        out.items.push_back(li);
    }
    out.layout = user::LayoutDialog(out.dlg.cx, out.dlg.cy, out.items);
    return out;
}

bool Holds(const CellRect &outer, const CellRect &inner)
{
    return inner.x > outer.x && inner.y > outer.y && inner.Right() < outer.Right() &&
           inner.Bottom() < outer.Bottom();
}

void ExpectWholeAndApart(const Laid &l)
{
    const auto &cells = l.layout.items;
    for (size_t i = 0; i < cells.size(); ++i) {
        const CellRect &r = cells[i];
        SCOPED_TRACE("control " + std::to_string(l.dlg.items[i].id));
        EXPECT_GE(r.x, 0);
        EXPECT_GE(r.y, 0);
        EXPECT_LE(r.Right(), l.layout.clientCols);
        EXPECT_LE(r.Bottom(), l.layout.clientRows);
        const auto &item = l.items[i];
        if (item.kind == ControlKind::kText) {
            EXPECT_GE(r.w, static_cast<int>(item.text.size()));
        }
        if (item.kind == ControlKind::kPushButton) {
            EXPECT_GE(r.w, static_cast<int>(item.text.size()) + 2);
        }
        if (item.kind == ControlKind::kCheckBox) {
            EXPECT_GE(r.w, static_cast<int>(item.text.size()) + 4);
        }
        for (size_t j = i + 1; j < cells.size(); ++j) {
            bool container = l.items[j].kind == ControlKind::kGroupBox ||
                             l.items[j].kind == ControlKind::kFrame ||
                             l.items[i].kind == ControlKind::kGroupBox ||
                             l.items[i].kind == ControlKind::kFrame;
            if (!cells[i].Intersects(cells[j]))
                continue;
            // A group box or frame may only meet what it holds, wholly inside its border.
            EXPECT_TRUE(container && (Holds(cells[i], cells[j]) || Holds(cells[j], cells[i])))
                << "controls " << l.dlg.items[i].id << " and " << l.dlg.items[j].id << " overlap";
        }
    }
}

const CellRect &CellsOf(const Laid &l, int id)
{
    for (size_t i = 0; i < l.dlg.items.size(); ++i)
        if (static_cast<int>(l.dlg.items[i].id) == id)
            return l.layout.items[i];
    throw std::runtime_error("no control " + std::to_string(id));
}

TEST(ScreenLayout, EveryControlOfTheThreeDialogsIsWholeAndApart)
{
    for (int id : {IDD_MAIN, IDD_WARNING, IDD_ABOUT}) {
        SCOPED_TRACE("dialog " + std::to_string(id));
        ExpectWholeAndApart(LayOut(id));
    }
}

TEST(ScreenLayout, ClockLinesFitTheirListBoxesAndSitBesideTheirLabels)
{
    Laid l = LayOut(IDD_MAIN);
    const std::pair<int, int> rows[] = {{IDC_CMOS_LINE, 110},
                                        {IDC_BIOS_LINE, 112},
                                        {IDC_LOCAL_LINE, 119},
                                        {IDC_UTC_LINE, 118}};
    for (auto [box, label] : rows) {
        SCOPED_TRACE("list box " + std::to_string(box));
        EXPECT_GE(CellsOf(l, box).w - 2, 22);  // inside the border
        EXPECT_EQ(CellsOf(l, box).y, CellsOf(l, label).y);
        EXPECT_TRUE(Holds(CellsOf(l, IDC_CLOCKS_GROUP), CellsOf(l, box)));
    }
    // The whole dialog fits an 80 x 24 terminal with its frame.
    EXPECT_LE(l.layout.clientCols + user::kFrameCols, 80);
    EXPECT_LE(l.layout.clientRows + user::kFrameRows, 24);
}

TEST(ScreenLayout, CheckBoxSitsInsideItsFrame)
{
    Laid l = LayOut(IDD_WARNING);
    EXPECT_TRUE(Holds(CellsOf(l, 301), CellsOf(l, IDC_DONT_WARN)));
}

TEST(ScreenLayout, TextWrapsBetweenWordsAndKeepsItsLineBreaks)
{
    std::vector<std::string> lines;
    int n = user::WrapText("one two three\n\nfour", 8,
                           [&](std::string_view s) { lines.emplace_back(s); });
    EXPECT_EQ(n, 4);
    EXPECT_EQ(lines, (std::vector<std::string>{"one two", "three", "", "four"}));
    lines.clear();
    user::WrapText("abcdefghij", 4, [&](std::string_view s) { lines.emplace_back(s); });
    EXPECT_EQ(lines, (std::vector<std::string>{"abcd", "efgh", "ij"}));
}

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
