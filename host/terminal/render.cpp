// The screen: the windows in their order, each with its frame, title and
// controls. Monochrome: a box round each window with the caption in its top
// border, in reverse video for the active window, and a close box [X].
// Colour: the desktop behind everything; each window on the 3D face with a
// light left edge and dark right and bottom ones, a title bar (navy and white
// when active, grey otherwise), a grey close box with its ×, and a shadow
// over what lies below and to the right of it, so that a box opened over
// another reads as on top. A close box held down with the mouse shows its
// mark in reverse video in either look.
#include "terminal/render.h"

#include <algorithm>

#include "terminal/render_controls.h"
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
constexpr int kCloseBoxCols = 3;
// A shadow two columns wide and one row high, so that both look as thick.
constexpr int kShadowCols = 2;
constexpr int kShadowRows = 1;

// A dialog is drawn on the 3D face, as WM_CTLCOLORDLG paints it; another
// window on its class's brush.
Role BackgroundOf(const Window *w)
{
    if (w->dialog)
        return Role::kFace;
    const HBRUSH brush = w->windowClass ? w->windowClass->background : nullptr;
    return brush == reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1) ? Role::kWindow : Role::kFace;
}

int CloseBoxX(const CellRect &r)
{
    return r.x + r.w - 1 - kCloseBoxCols;
}

void DrawMonochromeFrame(CellBuffer &b, const Window *w, bool active, bool closeBoxPushed)
{
    const CellRect &r = w->cells;
    b.Fill(r.x, r.y, r.w, r.h, U' ');
    b.Box(r.x, r.y, r.w, r.h, active ? kBold : kNormal);
    int titleRoom = r.w - 4 - ((w->style & WS_SYSMENU) ? kCloseBoxCols + 1 : 0);
    // The caption sits in the top border between blanks.
    int titleX = r.x + 2;
    if (w->text.empty() || w->text[0] != ' ')
        b.Put(titleX++, r.y, U' ');
    int shown = std::min(static_cast<int>(w->text.size()), std::max(0, titleRoom - 2));
    b.Text(titleX, r.y, w->text, active ? kReverse : kNormal, shown);
    b.Put(titleX + shown, r.y, U' ');
    if (w->style & WS_SYSMENU)
        b.Text(CloseBoxX(r), r.y, kCloseBox, closeBoxPushed ? kReverse : active ? kBold : kNormal);
}

void DrawColourFrame(CellBuffer &b, const Window *w, bool active, bool closeBoxPushed)
{
    const CellRect &r = w->cells;
    b.Fill(r.x, r.y, r.w, r.h, U' ', kNormal, Role::kFace);
    b.Fill(r.x + 1, r.y + 1, r.w - 2, r.h - 2, U' ', kNormal, BackgroundOf(w));
    b.Fill(r.x, r.y + 1, 1, r.h - 1, U'▏', kNormal, Role::kFaceLight);
    b.Fill(r.x + r.w - 1, r.y + 1, 1, r.h - 1, U'▕', kNormal, Role::kFace);
    b.Fill(r.x + 1, r.y + r.h - 1, r.w - 2, 1, U'▁', kNormal, Role::kFace);

    const Role caption = active ? Role::kCaptionActive : Role::kCaptionInactive;
    b.Fill(r.x, r.y, r.w, 1, U' ', kNormal, caption);
    const int room = r.w - 2 - ((w->style & WS_SYSMENU) ? kCloseBoxCols + 1 : 0);
    b.Text(r.x + 1, r.y, w->text, kBold, std::max(0, room), caption);
    if (w->style & WS_SYSMENU) {
        // A face-coloured box two cells wide, from the half blocks either side.
        const Role edge = active ? Role::kCloseBoxActive : Role::kCloseBoxInactive;
        const int x = CloseBoxX(r);
        b.Put(x, r.y, U'▐', kNormal, edge);
        b.Put(x + 1, r.y, U'×', closeBoxPushed ? kReverse : kNormal, Role::kFace);
        b.Put(x + 2, r.y, U'▌', kNormal, edge);
    }
}

// Whether `r`, with `margin` cells round it, reaches into `area`.
bool Reaches(const CellRect &r, int margin, const CellRect &area)
{
    return CellRect{r.x - margin, r.y - margin, r.w + 2 * margin, r.h + 2 * margin}.Intersects(
        area);
}

// A control draws its outer edges one cell round it.
constexpr int kEdgeMargin = 1;

void DrawWindow(CellBuffer &b, Look look, Window *w, bool active, HWND focus, bool closeBoxPushed,
                const CellRect &area)
{
    const CellRect &r = w->cells;
    // The shadow reaches past the right and bottom edges.
    if (!CellRect{r.x, r.y, r.w + kShadowCols, r.h + kShadowRows}.Intersects(area))
        return;
    if (look == Look::kColour)
        DrawColourFrame(b, w, active, closeBoxPushed);
    else
        DrawMonochromeFrame(b, w, active, closeBoxPushed);
    const Canvas canvas{b, look, r.x + 1, r.y + 1, BackgroundOf(w)};
    // The area in the client area's coordinates, where controls place themselves.
    const CellRect inside{area.x - canvas.x, area.y - canvas.y, area.w, area.h};
    if (canvas.Colour())
        for (HWND h : w->children)
            if (Window *c = Find(h); c && c->Visible() && Reaches(c->cells, kEdgeMargin, inside))
                DrawOuterEdges(canvas, c);
    for (HWND h : w->children) {
        Window *c = Find(h);
        if (c && c->Visible() && Reaches(c->cells, 0, inside))
            DrawControl(canvas, c, h == focus);
    }
    if (canvas.Colour()) {
        b.Shade(r.Right(), r.y + 1, kShadowCols, r.h, Role::kShadow);
        b.Shade(r.x + kShadowCols, r.Bottom(), r.w, kShadowRows, Role::kShadow);
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

void RenderScreen(CellBuffer &b, Look look, HWND pushedCloseBox)
{
    RenderArea(b, look, CellRect{0, 0, b.Cols(), b.Rows()}, pushedCloseBox);
}

void RenderArea(CellBuffer &b, Look look, const CellRect &area, HWND pushedCloseBox)
{
    b.Clip(area.x, area.y, area.w, area.h);
    const Role desktop = look == Look::kColour ? Role::kDesktop : Role::kPlain;
    b.Fill(0, 0, b.Cols(), b.Rows(), U' ', kNormal, desktop);
    int needCols, needRows;
    NeededSize(needCols, needRows);
    if (needCols > b.Cols() || needRows > b.Rows()) {
        char message[96];
        int n = wsprintfA(message, "Terminal too small: need %dx%d, have %dx%d", needCols, needRows,
                          b.Cols(), b.Rows());
        b.Text(0, 0, std::string_view(message, static_cast<size_t>(n)), kBold, b.Cols(), desktop);
        b.Unclip();
        return;
    }
    Window *active = user::ActiveWindow();
    Window *target = user::KeyboardTarget();
    HWND focus = target && target->IsChild() ? target->handle : nullptr;
    for (HWND h : user::State().zOrder) {
        Window *w = Find(h);
        if (!w || !w->Visible())
            continue;
        DrawWindow(b, look, w, w == active, w == active ? focus : nullptr, h == pushedCloseBox,
                   area);
    }
    b.Unclip();
}

Hit HitTest(int x, int y)
{
    auto &z = user::State().zOrder;
    for (auto it = z.rbegin(); it != z.rend(); ++it) {
        Window *w = Find(*it);
        if (!w || !w->Visible() || !w->cells.Contains(x, y))
            continue;
        const CellRect &r = w->cells;
        const int closeX = CloseBoxX(r);
        if ((w->style & WS_SYSMENU) && y == r.y && x >= closeX && x < closeX + kCloseBoxCols)
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
