// Cells to bytes. The cursor moves only where the next changed cell is not
// where the last one left it; attributes are set only where they change,
// always from plain, since few terminals can turn one attribute off alone.
#include "terminal/screen.h"

#include <algorithm>
#include <climits>
#include <cwchar>

#include "terminal/glyphs.h"

namespace terminal {

namespace {

// The terminal's no-colour-video bits for the attributes a cell has.
constexpr unsigned kNcvUnderline = 2, kNcvReverse = 4, kNcvDim = 16, kNcvBold = 32;

int Utf8(char32_t c, char *out)
{
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<char>(0xC0 | (c >> 6));
        out[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    out[0] = static_cast<char>(0xE0 | (c >> 12));
    out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
}

}  // namespace

void Screen::Setup(const Capabilities &capabilities)
{
    caps_ = capabilities;
    Forget();
}

void Screen::Forget()
{
    whole_ = true;
    cursorX_ = cursorY_ = -1;
    penKnown_ = false;
}

bool Screen::Shows(char32_t ch) const
{
    if (ch < 0x80)
        return true;
    if (!caps_.utf8) {
        char bytes[MB_LEN_MAX];
        std::mbstate_t state{};
        if (std::wcrtomb(bytes, static_cast<wchar_t>(ch), &state) == static_cast<size_t>(-1))
            return false;
    }
    return !caps_.consoleFont || InConsoleFont(ch);
}

void Screen::Glyph(const Cell &cell, Pen &pen, char *bytes, int &count) const
{
    const bool colour = !caps_.ink[static_cast<int>(cell.role)].empty();
    pen.role = colour ? cell.role : Role::kPlain;
    pen.attr = cell.attr | (caps_.dimmed[static_cast<int>(pen.role)] ? kDim : kNormal);
    pen.lineDrawing = false;
    char32_t ch = cell.ch;
    if (!Shows(ch)) {
        const StandIn standIn = StandInFor(ch);
        const char drawn =
            standIn.lineDrawing
                ? caps_.lineDrawing[static_cast<unsigned char>(standIn.lineDrawing) & 0x7F]
                : 0;
        if (standIn.solid) {
            ch = U' ';
            pen.attr ^= kReverse;
        } else if (drawn && caps_.utf8) {
            ch = LineDrawingCharacter(standIn.lineDrawing);
        } else if (drawn && !caps_.lineDrawingOn.empty()) {
            pen.lineDrawing = true;
            bytes[0] = drawn;
            count = 1;
            return;
        } else {
            ch = static_cast<unsigned char>(standIn.ascii);
        }
    }
    if (ch < 0x80 || caps_.utf8) {
        count = Utf8(ch, bytes);
        return;
    }
    std::mbstate_t state{};
    const size_t n = std::wcrtomb(bytes, static_cast<wchar_t>(ch), &state);
    count = n == static_cast<size_t>(-1) ? 0 : static_cast<int>(n);
}

void Screen::SetPen(const Pen &pen, std::string &out)
{
    if (!penKnown_ || pen.attr != pen_.attr || pen.role != pen_.role) {
        out += caps_.plain;
        // Plain leaves the line-drawing set on some terminals only; where
        // it is not known whether the set is on, it is switched either way.
        if (!caps_.lineDrawingOff.empty() &&
            caps_.plain.find(caps_.lineDrawingOff) != std::string::npos)
            pen_.lineDrawing = false;
        else if (!penKnown_)
            pen_.lineDrawing = !pen.lineDrawing;
        const std::string &ink = caps_.ink[static_cast<int>(pen.role)];
        const unsigned ncv = ink.empty() ? 0 : caps_.noColourVideo;
        if ((pen.attr & kBold) && !(ncv & kNcvBold))
            out += caps_.bold;
        if ((pen.attr & kDim) && !(ncv & kNcvDim))
            out += caps_.dim;
        if ((pen.attr & kReverse) && !(ncv & kNcvReverse))
            out += caps_.reverse;
        if ((pen.attr & kUnderline) && !(ncv & kNcvUnderline))
            out += caps_.underline;
        out += ink;
        pen_.attr = pen.attr;
        pen_.role = pen.role;
        penKnown_ = true;
    }
    if (pen.lineDrawing != pen_.lineDrawing) {
        out += pen.lineDrawing ? caps_.lineDrawingOn : caps_.lineDrawingOff;
        pen_.lineDrawing = pen.lineDrawing;
    }
}

void Screen::Write(int x, int y, const Cell &cell, std::string &out)
{
    Pen pen;
    char bytes[MB_LEN_MAX];
    int count = 0;
    Glyph(cell, pen, bytes, count);
    if (x != cursorX_ || y != cursorY_)
        caps_.moveCursor(out, y, x);
    SetPen(pen, out);
    out.append(bytes, static_cast<size_t>(count));
    // At the right margin the cursor waits to wrap, differently on each
    // terminal: the next cell moves it.
    cursorX_ = x + 1 < shown_.Cols() ? x + 1 : -1;
    cursorY_ = y;
}

void Screen::Update(const CellBuffer &frame, const user::CellRect &area, std::string &out)
{
    if (shown_.Cols() != frame.Cols() || shown_.Rows() != frame.Rows()) {
        shown_.Resize(frame.Cols(), frame.Rows());
        whole_ = true;
    }
    int left = area.x, top = area.y, right = area.Right(), bottom = area.Bottom();
    if (whole_) {
        left = top = 0;
        right = frame.Cols();
        bottom = frame.Rows();
    }
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, frame.Cols());
    bottom = std::min(bottom, frame.Rows());
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            const Cell &cell = frame.At(x, y);
            if (!whole_ && cell == shown_.At(x, y))
                continue;
            shown_.Put(x, y, cell.ch, cell.attr, cell.role);
            if (caps_.lastCellScrolls && x == frame.Cols() - 1 && y == frame.Rows() - 1)
                continue;
            Write(x, y, cell, out);
        }
    whole_ = false;
}

void Screen::Release(std::string &out)
{
    out += caps_.plain;
    if (!penKnown_ || pen_.lineDrawing)
        out += caps_.lineDrawingOff;
    penKnown_ = false;
}

}  // namespace terminal
