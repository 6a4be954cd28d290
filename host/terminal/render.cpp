// The look of each control in cells. Push buttons read [ Text ], the default
// one < Text >; the focused control is in reverse video; disabled controls are
// dim. Check boxes read [x] Text, radio buttons (*) Text. Bordered list boxes
// have a bar either side of their lines; icons are markers such as (X); a
// scroll bar has arrows at its ends and its thumb on a shaded track. The
// active window's caption is in reverse video; a window with a system menu
// has a close box [X].
#include "terminal/render.h"

#include <algorithm>

#include "user/class.h"
#include "user/layout.h"
#include "user/window.h"

namespace terminal {

using user::CellRect;
using user::ControlKind;
using user::Find;
using user::Window;

namespace {

constexpr std::string_view kCloseBox = "[X]";

struct IconMarker {
    int id;  // IDI_ number
    const char *marker;
};

constexpr IconMarker kIconMarkers[] = {
    {32513 /* IDI_HAND */, "(X)"},
    {32515 /* IDI_EXCLAMATION */, "(!)"},
    {32516 /* IDI_ASTERISK */, "(i)"},
    {32514 /* IDI_QUESTION */, "(?)"},
};
constexpr int kMarkerCols = 3;

std::uint8_t Look(Window *c, bool focused)
{
    std::uint8_t attr = kNormal;
    if (!c->Enabled())
        attr |= kDim;
    if (focused)
        attr |= kReverse;
    return attr;
}

std::uint8_t AttrOf(std::uint8_t emphasis)
{
    std::uint8_t attr = kNormal;
    if (emphasis & user::kEmphasisBold)
        attr |= kBold;
    if (emphasis & user::kEmphasisDim)
        attr |= kDim;
    if (emphasis & user::kEmphasisReverse)
        attr |= kReverse;
    if (emphasis & user::kEmphasisUnderline)
        attr |= kUnderline;
    return attr;
}

void DrawText(CellBuffer &b, int ox, int oy, Window *c, std::uint8_t attr)
{
    const CellRect &r = c->cells;
    DWORD align = c->style & SS_TYPEMASK;
    int row = 0;
    user::WrapText(c->text, r.w, [&](std::string_view line) {
        if (row >= r.h)
            return;
        int width = static_cast<int>(std::min<size_t>(line.size(), static_cast<size_t>(r.w)));
        int x = r.x;
        if (align == SS_CENTER)
            x += (r.w - width) / 2;
        else if (align == SS_RIGHT)
            x += r.w - width;
        b.Text(ox + x, oy + r.y + row, line, attr, r.w);
        ++row;
    });
    for (const user::TextMark &mark : user::StaticMarksLocked(*c))
        if (mark.line < r.h && mark.column < r.w)
            b.SetAttr(ox + r.x + mark.column, oy + r.y + mark.line,
                      std::min(mark.width, r.w - mark.column), attr | AttrOf(mark.emphasis));
}

void DrawControl(CellBuffer &b, int ox, int oy, Window *c, bool focused)
{
    const CellRect &r = c->cells;
    const int x = ox + r.x, y = oy + r.y;
    const std::uint8_t attr = Look(c, focused);
    switch (c->kind) {
    case ControlKind::kPushButton: {
        bool isDefault = (c->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
        std::uint8_t look = attr | (isDefault ? kBold : kNormal);
        b.Fill(x, y, r.w, 1, U' ', look);
        b.Put(x, y, isDefault ? U'<' : U'[', look);
        b.Put(x + r.w - 1, y, isDefault ? U'>' : U']', look);
        int inner = std::max(0, r.w - 2);
        int len = std::min(static_cast<int>(c->text.size()), inner);
        b.Text(x + 1 + (inner - len) / 2, y, c->text, look, inner);
        break;
    }
    case ControlKind::kCheckBox:
    case ControlKind::kRadioButton: {
        bool radio = c->kind == ControlKind::kRadioButton;
        const UINT check = user::ButtonStateLocked(*c) & (BST_CHECKED | BST_INDETERMINATE);
        char32_t mark = check == BST_CHECKED         ? (radio ? U'*' : U'x')
                        : check == BST_INDETERMINATE ? U'-'
                                                     : U' ';
        std::uint8_t box = attr & ~kReverse;
        b.Put(x, y, radio ? U'(' : U'[', box);
        b.Put(x + 1, y, mark, box);
        b.Put(x + 2, y, radio ? U')' : U']', box);
        b.Text(x + 4, y, c->text, attr, std::max(0, r.w - 4));
        break;
    }
    case ControlKind::kGroupBox:
        b.Box(x, y, r.w, r.h, attr & ~kReverse);
        b.Text(x + 1, y, c->text, attr & ~kReverse, std::max(0, r.w - 2));
        break;
    case ControlKind::kFrame: {
        DWORD type = c->style & SS_TYPEMASK;
        if (type == SS_GRAYRECT || type == SS_BLACKRECT || type == SS_WHITERECT)
            b.Fill(x, y, r.w, r.h, U'░', kDim);
        else
            b.Box(x, y, r.w, r.h, type == SS_GRAYFRAME ? kDim : kNormal);
        break;
    }
    case ControlKind::kText:
        DrawText(b, ox, oy, c, attr & ~kReverse);
        break;
    case ControlKind::kListBox: {
        bool bordered = (c->style & WS_BORDER) || (c->exStyle & 0x200 /* WS_EX_CLIENTEDGE */);
        int inner = bordered ? r.w - 2 : r.w;
        int left = bordered ? x + 1 : x;
        std::uint8_t bar = (attr & ~kReverse) | (focused ? kBold : kNormal);
        const user::ListBoxView list = user::ListBoxViewLocked(*c);
        for (int row = 0; row < r.h; ++row) {
            if (bordered) {
                b.Put(x, y + row, U'│', bar);
                b.Put(x + r.w - 1, y + row, U'│', bar);
            }
            b.Fill(left, y + row, inner, 1, U' ', attr & ~kReverse);
            if (static_cast<size_t>(row) < list.lines.size()) {
                std::uint8_t look =
                    (attr & ~kReverse) | (row == list.selection ? kReverse : kNormal);
                b.Text(left, y + row, list.lines[static_cast<size_t>(row)], look, inner);
            }
        }
        break;
    }
    case ControlKind::kIcon: {
        const int id = user::SystemIconId(user::StaticIconLocked(*c));
        for (const IconMarker &icon : kIconMarkers)
            if (icon.id == id)
                b.Text(x + std::max(0, (r.w - kMarkerCols) / 2), y, icon.marker, kNormal, r.w);
        break;
    }
    case ControlKind::kScrollBar: {
        if (r.h < 2)
            break;
        const user::ScrollBarView view = user::ScrollBarViewLocked(*c);
        const std::uint8_t arrows = view.enabled ? kNormal : kDim;
        b.Put(x, y, U'▲', arrows);
        b.Put(x, y + r.h - 1, U'▼', arrows);
        for (int row = 1; row < r.h - 1; ++row) {
            const bool thumb = row >= view.thumbTop && row < view.thumbTop + view.thumbCells;
            b.Put(x, y + row, thumb ? U'█' : U'░', thumb ? kNormal : kDim);
        }
        break;
    }
    default:
        break;
    }
}

void DrawWindow(CellBuffer &b, Window *w, bool active, HWND focus)
{
    const CellRect &r = w->cells;
    b.Fill(r.x, r.y, r.w, r.h, U' ');
    b.Box(r.x, r.y, r.w, r.h, active ? kBold : kNormal);
    int titleRoom =
        r.w - 4 - ((w->style & WS_SYSMENU) ? static_cast<int>(kCloseBox.size()) + 1 : 0);
    // The caption sits in the top border between blanks.
    int titleX = r.x + 2;
    if (w->text.empty() || w->text[0] != ' ')
        b.Put(titleX++, r.y, U' ');
    int shown = std::min(static_cast<int>(w->text.size()), std::max(0, titleRoom - 2));
    b.Text(titleX, r.y, w->text, active ? kReverse : kNormal, shown);
    b.Put(titleX + shown, r.y, U' ');
    if (w->style & WS_SYSMENU)
        b.Text(r.x + r.w - 1 - static_cast<int>(kCloseBox.size()), r.y, kCloseBox,
               active ? kBold : kNormal);
    for (HWND h : w->children) {
        Window *c = Find(h);
        if (c && c->Visible())
            DrawControl(b, r.x + 1, r.y + 1, c, h == focus);
    }
}

}  // namespace

void NeededSize(int &cols, int &rows)
{
    cols = rows = 0;
    for (HWND h : user::State().zOrder) {
        Window *w = Find(h);
        if (!w || !w->Visible())
            continue;
        cols = std::max(cols, w->cells.w);
        rows = std::max(rows, w->cells.h);
    }
}

void RenderScreen(CellBuffer &b)
{
    b.Clear();
    int needCols, needRows;
    NeededSize(needCols, needRows);
    if (needCols > b.Cols() || needRows > b.Rows()) {
        char message[96];
        int n = wsprintfA(message, "Terminal too small: need %dx%d, have %dx%d", needCols, needRows,
                          b.Cols(), b.Rows());
        b.Text(0, 0, std::string_view(message, static_cast<size_t>(n)), kBold, b.Cols());
        return;
    }
    Window *active = user::ActiveWindow();
    Window *target = user::KeyboardTarget();
    HWND focus = target && target->IsChild() ? target->handle : nullptr;
    for (HWND h : user::State().zOrder) {
        Window *w = Find(h);
        if (!w || !w->Visible())
            continue;
        DrawWindow(b, w, w == active, w == active ? focus : nullptr);
    }
}

Hit HitTest(int x, int y)
{
    auto &z = user::State().zOrder;
    for (auto it = z.rbegin(); it != z.rend(); ++it) {
        Window *w = Find(*it);
        if (!w || !w->Visible() || !w->cells.Contains(x, y))
            continue;
        const CellRect &r = w->cells;
        int closeX = r.x + r.w - 1 - static_cast<int>(kCloseBox.size());
        if ((w->style & WS_SYSMENU) && y == r.y && x >= closeX &&
            x < closeX + static_cast<int>(kCloseBox.size()))
            return Hit{Region::kCloseBox, w->handle};
        // Later children are drawn over earlier ones; group boxes hold others.
        // Static text without SS_NOTIFY lets the click through to its
        // window, as it answers HTTRANSPARENT on Windows.
        for (auto c = w->children.rbegin(); c != w->children.rend(); ++c) {
            Window *child = Find(*c);
            if (!child || !child->Visible() || child->kind == ControlKind::kGroupBox)
                continue;
            if ((child->kind == ControlKind::kText || child->kind == ControlKind::kIcon) &&
                !(child->style & SS_NOTIFY))
                continue;
            if (child->cells.Contains(x - r.x - 1, y - r.y - 1))
                return Hit{Region::kControl, child->handle};
        }
        return Hit{Region::kWindow, w->handle};
    }
    return Hit{};
}

}  // namespace terminal
