// The dialogs laid out in character cells: dialog units mapped to cells with
// every control whole and apart, the clock lines wide enough, text wrapped.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "kernel/resources.h"
#include "ui_fixture.h"
#include "user/dlgtemplate.h"
#include "user/layout.h"

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

}  // namespace
