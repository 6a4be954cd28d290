// Controls in cells. Monochrome: push buttons read [ Text ], the default one
// < Text >, the caption one cell to the right while pushed, as Windows moves
// it; the focused control is in reverse video; disabled controls are
// dim; check boxes read [x] Text, radio buttons (*) Text; bordered list boxes
// have a bar either side of their lines; icons are markers such as (X).
// Colour: controls on the 3D face, a button raised by thin light and dark
// lines round it (all dark round the default button, as its black frame on
// Windows), the focus an underline under the caption (Windows' dotted
// rectangle), disabled text grey, list boxes white and sunken, the system
// icons drawn in quadrant blocks.
#include "terminal/render_controls.h"

#include <algorithm>

#include "user/class.h"
#include "user/layout.h"

namespace terminal {

using user::CellRect;
using user::ControlKind;
using user::Window;

namespace {

// Thin lines at a cell's edges (the lower, upper, left and right eighth
// blocks): a line along the bottom of the cell above a control reads as the
// control's top edge, and so on round it.
constexpr char32_t kEdgeAbove = U'▁';
constexpr char32_t kEdgeBelow = U'▔';
constexpr char32_t kEdgeLeft = U'▕';
constexpr char32_t kEdgeRight = U'▏';

std::uint8_t MonoAttr(const Window *c, bool focused)
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

Role GreyTextOn(Role background)
{
    return background == Role::kWindow ? Role::kWindowGreyText : Role::kFaceGreyText;
}

// Text on the window's background, grey when the control is disabled.
Role TextRole(const Canvas &canvas, const Window *c)
{
    return c->Enabled() ? canvas.background : GreyTextOn(canvas.background);
}

// What a marked part of a static text shows in colour: help jumps green and
// underlined, the selected one white on navy, headings bold, rules grey.
void ColourMark(std::uint8_t emphasis, Role base, std::uint8_t &attr, Role &role)
{
    attr = (emphasis & user::kEmphasisBold) ? kBold : kNormal;
    role = base;
    if (emphasis & user::kEmphasisDim)
        role = GreyTextOn(base);
    if (emphasis & user::kEmphasisUnderline) {
        attr |= kUnderline;
        role = Role::kJump;
    }
    if (emphasis & user::kEmphasisReverse)
        role = Role::kSelection;
}

void DrawPushButton(const Canvas &cv, Window *c, bool focused, int x, int y)
{
    const CellRect &r = c->cells;
    // A disabled default button loses its default frame, as on Windows.
    const bool isDefault = (c->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON && c->Enabled();
    const int inner = std::max(0, r.w - 2);
    const int len = std::min(static_cast<int>(c->text.size()), inner);
    const bool pushed = user::ButtonStateLocked(*c) & BST_PUSHED;
    int textX = x + 1 + (inner - len) / 2;
    if (pushed && textX + len < x + 1 + inner)
        ++textX;
    CellBuffer &b = cv.buffer;
    if (!cv.Colour()) {
        const std::uint8_t look = MonoAttr(c, focused) | (isDefault ? kBold : kNormal);
        b.Fill(x, y, r.w, 1, U' ', look);
        b.Put(x, y, isDefault ? U'<' : U'[', look);
        b.Put(x + r.w - 1, y, isDefault ? U'>' : U']', look);
        b.Text(textX, y, c->text, look, inner);
        return;
    }
    b.Fill(x, y, r.w, 1, U' ', kNormal, Role::kFace);
    b.Text(textX, y, c->text, focused ? kUnderline : kNormal, inner, TextRole(cv, c));
}

void DrawCheckBox(const Canvas &cv, Window *c, bool focused, int x, int y)
{
    const bool radio = c->kind == ControlKind::kRadioButton;
    const UINT check = user::ButtonStateLocked(*c) & (BST_CHECKED | BST_INDETERMINATE);
    const int textCols = std::max(0, c->cells.w - 4);
    CellBuffer &b = cv.buffer;
    if (!cv.Colour()) {
        const std::uint8_t attr = MonoAttr(c, focused);
        const char32_t mark = check == BST_CHECKED         ? (radio ? U'*' : U'x')
                              : check == BST_INDETERMINATE ? U'-'
                                                           : U' ';
        const std::uint8_t box = attr & ~kReverse;
        b.Put(x, y, radio ? U'(' : U'[', box);
        b.Put(x + 1, y, mark, box);
        b.Put(x + 2, y, radio ? U')' : U']', box);
        b.Text(x + 4, y, c->text, attr, textCols);
        return;
    }
    // A white box two half cells wider than its mark, so about square.
    const char32_t mark = check == BST_CHECKED         ? (radio ? U'•' : U'✓')
                          : check == BST_INDETERMINATE ? U'■'
                                                       : U' ';
    b.Put(x, y, U'▐', kNormal, Role::kFaceLight);
    b.Put(x + 1, y, mark, kNormal, c->Enabled() ? Role::kWindow : Role::kWindowGreyText);
    b.Put(x + 2, y, U'▌', kNormal, Role::kFaceLight);
    b.Put(x + 3, y, U' ', kNormal, cv.background);
    b.Text(x + 4, y, c->text, focused ? kUnderline : kNormal, textCols, TextRole(cv, c));
}

void DrawStaticText(const Canvas &cv, Window *c, int x, int y)
{
    const CellRect &r = c->cells;
    const DWORD align = c->style & SS_TYPEMASK;
    const std::uint8_t monoAttr = MonoAttr(c, false);
    const Role role = cv.Colour() ? TextRole(cv, c) : Role::kPlain;
    int row = 0;
    user::WrapText(c->text, r.w, [&](std::string_view line) {
        if (row >= r.h)
            return;
        int width = static_cast<int>(std::min<size_t>(line.size(), static_cast<size_t>(r.w)));
        int at = x;
        if (align == SS_CENTER)
            at += (r.w - width) / 2;
        else if (align == SS_RIGHT)
            at += r.w - width;
        cv.buffer.Text(at, y + row, line, monoAttr, r.w, role);
        ++row;
    });
    for (const user::TextMark &mark : user::StaticMarksLocked(*c)) {
        if (mark.line >= r.h || mark.column >= r.w)
            continue;
        std::uint8_t attr = monoAttr | AttrOf(mark.emphasis);
        Role markRole = role;
        if (cv.Colour())
            ColourMark(mark.emphasis, role, attr, markRole);
        cv.buffer.SetAttr(x + mark.column, y + mark.line, std::min(mark.width, r.w - mark.column),
                          attr, markRole);
    }
}

void DrawFrame(const Canvas &cv, Window *c, int x, int y)
{
    const CellRect &r = c->cells;
    const DWORD type = c->style & SS_TYPEMASK;
    const bool filled = type == SS_GRAYRECT || type == SS_BLACKRECT || type == SS_WHITERECT;
    CellBuffer &b = cv.buffer;
    if (!cv.Colour()) {
        if (filled)
            b.Fill(x, y, r.w, r.h, U'░', kDim);
        else
            b.Box(x, y, r.w, r.h, type == SS_GRAYFRAME ? kDim : kNormal);
        return;
    }
    const Role role = type == SS_BLACKRECT || type == SS_BLACKFRAME   ? Role::kFace
                      : type == SS_WHITERECT || type == SS_WHITEFRAME ? Role::kFaceLight
                                                                      : Role::kFaceShadow;
    if (filled)
        b.Fill(x, y, r.w, r.h, U'█', kNormal, role);
    else
        b.Box(x, y, r.w, r.h, kNormal, role);
}

void DrawGroupBox(const Canvas &cv, Window *c, int x, int y)
{
    const CellRect &r = c->cells;
    if (!cv.Colour()) {
        const std::uint8_t attr = MonoAttr(c, false);
        cv.buffer.Box(x, y, r.w, r.h, attr);
        cv.buffer.Text(x + 1, y, c->text, attr, std::max(0, r.w - 2));
        return;
    }
    cv.buffer.Box(x, y, r.w, r.h, kNormal, Role::kFaceShadow);
    cv.buffer.Text(x + 1, y, c->text, kNormal, std::max(0, r.w - 2), TextRole(cv, c));
}

bool Bordered(const Window *c)
{
    return (c->style & WS_BORDER) || (c->exStyle & 0x200 /* WS_EX_CLIENTEDGE */);
}

void DrawListBox(const Canvas &cv, Window *c, bool focused, int x, int y)
{
    const CellRect &r = c->cells;
    const bool bordered = Bordered(c);
    const int inner = bordered ? r.w - 2 : r.w;
    const int left = bordered ? x + 1 : x;
    const user::ListBoxView list = user::ListBoxViewLocked(*c);
    const std::uint8_t attr = MonoAttr(c, false);
    CellBuffer &b = cv.buffer;
    for (int row = 0; row < r.h; ++row) {
        const bool hasLine = static_cast<size_t>(row) < list.lines.size();
        const bool selected = row == list.selection;
        if (!cv.Colour()) {
            if (bordered) {
                const std::uint8_t bar = attr | (focused ? kBold : kNormal);
                b.Put(x, y + row, U'│', bar);
                b.Put(x + r.w - 1, y + row, U'│', bar);
            }
            b.Fill(left, y + row, inner, 1, U' ', attr);
            if (hasLine)
                b.Text(left, y + row, list.lines[static_cast<size_t>(row)],
                       attr | (selected ? kReverse : kNormal), inner);
            continue;
        }
        // Sunken: a dark edge on the left, light on the right (and over and
        // under the box, from DrawOuterEdges).
        if (bordered) {
            b.Put(x, y + row, kEdgeLeft, kNormal, Role::kFaceShadow);
            b.Put(x + r.w - 1, y + row, kEdgeRight, kNormal, Role::kFaceLight);
        }
        const Role role = selected ? Role::kSelection : Role::kWindow;
        b.Fill(left, y + row, inner, 1, U' ', kNormal, role);
        if (hasLine)
            b.Text(left, y + row, list.lines[static_cast<size_t>(row)], kNormal, inner,
                   c->Enabled() || selected ? role : Role::kWindowGreyText);
    }
}

void DrawScrollBar(const Canvas &cv, Window *c, int x, int y)
{
    const CellRect &r = c->cells;
    if (r.h < 2)
        return;
    const user::ScrollBarView view = user::ScrollBarViewLocked(*c);
    CellBuffer &b = cv.buffer;
    const bool colour = cv.Colour();
    const std::uint8_t arrowAttr = colour || view.enabled ? kNormal : kDim;
    const Role arrowRole = !colour        ? Role::kPlain
                           : view.enabled ? Role::kFace
                                          : Role::kFaceGreyText;
    b.Put(x, y, U'▲', arrowAttr, arrowRole);
    b.Put(x, y + r.h - 1, U'▼', arrowAttr, arrowRole);
    // The track in Windows' light dither; the thumb plain face with a dark
    // edge on its right, raised.
    for (int row = 1; row < r.h - 1; ++row) {
        const bool thumb = row >= view.thumbTop && row < view.thumbTop + view.thumbCells;
        if (colour)
            b.Put(x, y + row, thumb ? kEdgeLeft : U'▒', kNormal,
                  thumb ? Role::kFace : Role::kFaceLight);
        else
            b.Put(x, y + row, thumb ? U'█' : U'░', thumb ? kNormal : kDim);
    }
}

// The system icons in five cells by two, from quadrant blocks: the error's
// red disc with a white X, the warning's yellow triangle with a black !, the
// information's and the question's white speech bubble with a blue i or ?.
// Monochrome shows a marker in the middle three cells.
struct IconPicture {
    int id;                // IDI_ number
    const char *marker;    // monochrome
    char32_t cells[2][5];  // colour
    int markRow;           // the row whose middle cell holds the X, ! or letter
    Role shape, mark;
};

constexpr int kIconCols = 5;
constexpr int kIconRows = 2;
constexpr int kMarkerCols = 3;

constexpr IconPicture kIcons[] = {
    {32513 /* IDI_HAND */,
     "(X)",
     {{U'▗', U'▟', U'X', U'▙', U'▖'}, {U'▝', U'▜', U'█', U'▛', U'▘'}},
     0,
     Role::kIconRed,
     Role::kIconRedMark},
    {32515 /* IDI_EXCLAMATION */,
     "(!)",
     {{U' ', U'▄', U'█', U'▄', U' '}, {U'▟', U'█', U'!', U'█', U'▙'}},
     1,
     Role::kIconYellow,
     Role::kIconYellowMark},
    {32516 /* IDI_ASTERISK */,
     "(i)",
     {{U'▟', U'█', U'i', U'█', U'▙'}, {U'▝', U'▛', U'▀', U'▀', U'▘'}},
     0,
     Role::kFaceLight,
     Role::kIconBlueMark},
    {32514 /* IDI_QUESTION */,
     "(?)",
     {{U'▟', U'█', U'?', U'█', U'▙'}, {U'▝', U'▛', U'▀', U'▀', U'▘'}},
     0,
     Role::kFaceLight,
     Role::kIconBlueMark},
};

void DrawIcon(const Canvas &cv, Window *c, int x, int y)
{
    const CellRect &r = c->cells;
    const int id = user::SystemIconId(user::StaticIconLocked(*c));
    const IconPicture *picture = nullptr;
    for (const IconPicture &p : kIcons)
        if (p.id == id)
            picture = &p;
    if (!picture)
        return;
    if (!cv.Colour()) {
        cv.buffer.Text(x + std::max(0, (r.w - kMarkerCols) / 2), y, picture->marker, kNormal, r.w);
        return;
    }
    const int left = x + std::max(0, (r.w - kIconCols) / 2);
    for (int row = 0; row < kIconRows && row < r.h; ++row)
        for (int col = 0; col < kIconCols && col < r.w; ++col) {
            const bool mark = row == picture->markRow && col == kIconCols / 2;
            cv.buffer.Put(left + col, y + row, picture->cells[row][col], mark ? kBold : kNormal,
                          mark ? picture->mark : picture->shape);
        }
}

}  // namespace

void DrawOuterEdges(const Canvas &cv, Window *c)
{
    const CellRect &r = c->cells;
    const int x = cv.x + r.x, y = cv.y + r.y;
    CellBuffer &b = cv.buffer;
    if (c->kind == ControlKind::kPushButton) {
        const bool isDefault = (c->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON && c->Enabled();
        const bool pushed = user::ButtonStateLocked(*c) & BST_PUSHED;
        // Light above and left, dark below and right; pushed, the other way
        // round; the default button dark all round.
        const Role light = isDefault || pushed ? Role::kFace : Role::kFaceLight;
        const Role dark = pushed ? Role::kFaceLight : Role::kFace;
        b.Fill(x, y - 1, r.w, 1, kEdgeAbove, kNormal, light);
        b.Put(x - 1, y, kEdgeLeft, kNormal, light);
        b.Fill(x, y + r.h, r.w, 1, kEdgeBelow, kNormal, dark);
        b.Put(x + r.w, y, kEdgeRight, kNormal, dark);
    } else if (c->kind == ControlKind::kListBox && Bordered(c)) {
        b.Fill(x, y - 1, r.w, 1, kEdgeAbove, kNormal, Role::kFaceShadow);
        b.Fill(x, y + r.h, r.w, 1, kEdgeBelow, kNormal, Role::kFaceLight);
    }
}

void DrawControl(const Canvas &cv, Window *c, bool focused)
{
    const int x = cv.x + c->cells.x, y = cv.y + c->cells.y;
    switch (c->kind) {
    case ControlKind::kPushButton:
        DrawPushButton(cv, c, focused, x, y);
        break;
    case ControlKind::kCheckBox:
    case ControlKind::kRadioButton:
        DrawCheckBox(cv, c, focused, x, y);
        break;
    case ControlKind::kGroupBox:
        DrawGroupBox(cv, c, x, y);
        break;
    case ControlKind::kFrame:
        DrawFrame(cv, c, x, y);
        break;
    case ControlKind::kText:
        DrawStaticText(cv, c, x, y);
        break;
    case ControlKind::kIcon:
        DrawIcon(cv, c, x, y);
        break;
    case ControlKind::kListBox:
        DrawListBox(cv, c, focused, x, y);
        break;
    case ControlKind::kScrollBar:
        DrawScrollBar(cv, c, x, y);
        break;
    default:
        break;
    }
}

}  // namespace terminal
