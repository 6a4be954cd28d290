// Dialog layout in character cells. A terminal column is wider than a dialog
// font's average character, so the horizontal scale is 3 columns per 10 units
// (4 units a column would leave a 22-character clock line 2 columns short in
// its 80-unit list box); rows are 8 units. Each control gets the cells its
// text needs, then overlaps are removed by shrinking list boxes to whole lines
// and moving lower controls down, and group boxes and frames grow round what
// they hold.
#include "user/layout.h"

#include <algorithm>

namespace user {

namespace {

bool IsContainer(ControlKind kind)
{
    return kind == ControlKind::kGroupBox || kind == ControlKind::kFrame;
}

bool InsideUnits(const LayoutItem &inner, const LayoutItem &outer)
{
    return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.cx <= outer.x + outer.cx &&
           inner.y + inner.cy <= outer.y + outer.cy;
}

int TextWidth(const std::string &text)
{
    int widest = 0;
    WrapText(text, 1 << 20, [&](std::string_view line) {
        widest = std::max(widest, static_cast<int>(line.size()));
    });
    return widest;
}

// The row a control's text sits on: buttons centre a line of 8 units in their
// height, statics start at the top, list boxes one unit below their border.
int TextRow(const LayoutItem &item)
{
    switch (item.kind) {
    case ControlKind::kPushButton:
    case ControlKind::kCheckBox:
    case ControlKind::kRadioButton:
        return RowOf(item.y + std::max(0, (item.cy - 8) / 2));
    case ControlKind::kListBox:
        return RowOf(item.y + 1);
    default:
        return RowOf(item.y);
    }
}

CellRect NaturalCells(const LayoutItem &item, int clientCols)
{
    CellRect r;
    r.x = ColumnOf(item.x);
    r.w = std::max(1, ColumnOf(item.x + item.cx) - r.x);
    r.y = TextRow(item);
    const int room = std::max(1, clientCols - r.x);
    switch (item.kind) {
    case ControlKind::kPushButton:
        r.w = std::max(r.w, std::min(room, TextWidth(item.text) + 2));
        r.h = 1;
        break;
    case ControlKind::kCheckBox:
    case ControlKind::kRadioButton:
        r.w = std::max(r.w, std::min(room, TextWidth(item.text) + 4));
        r.h = 1;
        break;
    case ControlKind::kText: {
        r.w = std::max(r.w, std::min(room, TextWidth(item.text)));
        int lines = WrapText(item.text, r.w, [](std::string_view) {});
        r.h = std::max({1, item.cy / 8, lines});
        break;
    }
    case ControlKind::kListBox:
        r.h = std::max(1, (item.cy - 2) / 8);  // whole lines only, as without LBS_NOINTEGRALHEIGHT
        break;
    case ControlKind::kGroupBox:
    case ControlKind::kFrame:
        r.y = RowOf(item.y);
        r.h = std::max(1, RowOf(item.y + std::max(1, item.cy) - 1) - r.y + 1);
        if (item.kind == ControlKind::kGroupBox)
            r.h = std::max(r.h, 2);
        break;
    default:
        r.h = std::max(1, item.cy / 8);
        break;
    }
    return r;
}

}  // namespace

int ColumnOf(int xUnits)
{
    return (xUnits * 3 + 5) / 10;
}

int RowOf(int yUnits)
{
    return yUnits >= 0 ? yUnits / 8 : -((-yUnits + 7) / 8);
}

DialogLayout LayoutDialog(int cx, int cy, const std::vector<LayoutItem> &items)
{
    DialogLayout out;
    out.clientCols = ColumnOf(cx);
    out.clientRows = (std::max(1, cy) + 7) / 8;
    const size_t n = items.size();
    for (const LayoutItem &item : items)
        out.items.push_back(NaturalCells(item, out.clientCols));

    // container[i]: the innermost group box or frame whose units hold item i.
    std::vector<int> container(n, -1);
    for (size_t i = 0; i < n; ++i)
        for (size_t c = 0; c < n; ++c) {
            if (c == i || !IsContainer(items[c].kind) || !InsideUnits(items[i], items[c]))
                continue;
            if (container[i] < 0 || InsideUnits(items[c], items[container[i]]))
                container[i] = static_cast<int>(c);
        }
    auto nested = [&](size_t a, size_t b) {  // a inside b, however deep
        for (int c = container[a]; c >= 0; c = container[c])
            if (static_cast<size_t>(c) == b)
                return true;
        return false;
    };

    auto &cells = out.items;
    for (int pass = 0; pass < 64; ++pass) {
        bool changed = false;
        // A container's border takes a cell on each side of what it holds.
        for (size_t i = 0; i < n; ++i) {
            if (container[i] < 0)
                continue;
            CellRect &box = cells[container[i]];
            CellRect &r = cells[i];
            if (r.x < box.x + 1)
                r.x = box.x + 1, changed = true;
            if (r.y < box.y + 1)
                r.y = box.y + 1, changed = true;
            if (r.Right() > box.Right() - 1)
                box.w = r.Right() + 1 - box.x, changed = true;
            if (r.Bottom() > box.Bottom() - 1)
                box.h = r.Bottom() + 1 - box.y, changed = true;
        }
        // Controls that neither hold nor are held by each other must not meet.
        for (size_t a = 0; a < n; ++a)
            for (size_t b = a + 1; b < n; ++b) {
                if (nested(a, b) || nested(b, a) || !cells[a].Intersects(cells[b]))
                    continue;
                bool aFirst = cells[a].y < cells[b].y ||
                              (cells[a].y == cells[b].y && items[a].y <= items[b].y);
                size_t upper = aFirst ? a : b, lower = aFirst ? b : a;
                CellRect &u = cells[upper];
                CellRect &l = cells[lower];
                if (items[upper].kind == ControlKind::kListBox && l.y > u.y)
                    u.h = l.y - u.y;
                else
                    l.y = u.Bottom();
                changed = true;
            }
        if (!changed)
            break;
    }
    for (const CellRect &r : cells) {
        out.clientCols = std::max(out.clientCols, r.Right());
        out.clientRows = std::max(out.clientRows, r.Bottom());
    }
    return out;
}

}  // namespace user
