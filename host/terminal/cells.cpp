// The cell grid and its text form.
#include "terminal/cells.h"

#include <algorithm>

namespace terminal {

void CellBuffer::Resize(int cols, int rows)
{
    cols_ = cols < 0 ? 0 : cols;
    rows_ = rows < 0 ? 0 : rows;
    cells_.resize(static_cast<size_t>(cols_) * rows_);
    Unclip();
    Clear();
}

void CellBuffer::Clip(int x, int y, int w, int h)
{
    clipLeft_ = std::clamp(x, 0, cols_);
    clipTop_ = std::clamp(y, 0, rows_);
    clipRight_ = std::clamp(x + w, clipLeft_, cols_);
    clipBottom_ = std::clamp(y + h, clipTop_, rows_);
}

void CellBuffer::Clear()
{
    for (Cell &c : cells_)
        c = Cell{};
}

void CellBuffer::Put(int x, int y, char32_t ch, std::uint8_t attr, Role role)
{
    if (InClip(x, y))
        Ref(x, y) = Cell{ch, attr, role};
}

namespace {

// Windows-1252 is Latin-1 but for 0x80-0x9F, where it has punctuation and
// a few letters; 0 marks the five bytes it leaves undefined.
constexpr char32_t kWindows1252High[32] = {
    U'\u20AC', 0,         U'\u201A', U'\u0192', U'\u201E', U'\u2026', U'\u2020', U'\u2021',
    U'\u02C6', U'\u2030', U'\u0160', U'\u2039', U'\u0152', 0,         U'\u017D', 0,
    0,         U'\u2018', U'\u2019', U'\u201C', U'\u201D', U'\u2022', U'\u2013', U'\u2014',
    U'\u02DC', U'\u2122', U'\u0161', U'\u203A', U'\u0153', 0,         U'\u017E', U'\u0178',
};

char32_t FromCodePage(unsigned char b)
{
    if (b >= 0x80 && b < 0xA0)
        return kWindows1252High[b - 0x80] ? kWindows1252High[b - 0x80] : U'?';
    return b < 0x20 || b == 0x7F ? U'?' : static_cast<char32_t>(b);
}

}  // namespace

void CellBuffer::Text(int x, int y, std::string_view text, std::uint8_t attr, int maxCols,
                      Role role)
{
    for (size_t i = 0; i < text.size() && static_cast<int>(i) < maxCols; ++i)
        Put(x + static_cast<int>(i), y, FromCodePage(static_cast<unsigned char>(text[i])), attr,
            role);
}

void CellBuffer::Fill(int x, int y, int w, int h, char32_t ch, std::uint8_t attr, Role role)
{
    const int left = std::max(x, clipLeft_), right = std::min(x + w, clipRight_);
    const int top = std::max(y, clipTop_), bottom = std::min(y + h, clipBottom_);
    for (int r = top; r < bottom; ++r)
        for (int c = left; c < right; ++c)
            Ref(c, r) = Cell{ch, attr, role};
}

void CellBuffer::Box(int x, int y, int w, int h, std::uint8_t attr, Role role)
{
    if (w < 2 || h < 1)
        return;
    if (h == 1) {
        // A frame one row high is a rule with ends.
        Put(x, y, U'[', attr, role);
        Fill(x + 1, y, w - 2, 1, U'─', attr, role);
        Put(x + w - 1, y, U']', attr, role);
        return;
    }
    Put(x, y, U'┌', attr, role);
    Put(x + w - 1, y, U'┐', attr, role);
    Put(x, y + h - 1, U'└', attr, role);
    Put(x + w - 1, y + h - 1, U'┘', attr, role);
    Fill(x + 1, y, w - 2, 1, U'─', attr, role);
    Fill(x + 1, y + h - 1, w - 2, 1, U'─', attr, role);
    Fill(x, y + 1, 1, h - 2, U'│', attr, role);
    Fill(x + w - 1, y + 1, 1, h - 2, U'│', attr, role);
}

void CellBuffer::SetAttr(int x, int y, int w, std::uint8_t attr, Role role)
{
    for (int c = 0; c < w; ++c)
        if (InClip(x + c, y)) {
            Cell &cell = Ref(x + c, y);
            cell.attr = attr;
            cell.role = role;
        }
}

void CellBuffer::Shade(int x, int y, int w, int h, Role role)
{
    const int left = std::max(x, clipLeft_), right = std::min(x + w, clipRight_);
    const int top = std::max(y, clipTop_), bottom = std::min(y + h, clipBottom_);
    for (int r = top; r < bottom; ++r)
        for (int c = left; c < right; ++c) {
            Cell &cell = Ref(c, r);
            cell.attr = kNormal;
            cell.role = role;
        }
}

std::string CellBuffer::Line(int y) const
{
    std::string out;
    int end = cols_;
    while (end > 0 && At(end - 1, y).ch == U' ')
        --end;
    for (int x = 0; x < end; ++x) {
        char32_t c = At(x, y).ch;
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::string CellBuffer::ToText() const
{
    std::string out;
    for (int y = 0; y < rows_; ++y) {
        out += Line(y);
        out.push_back('\n');
    }
    return out;
}

}  // namespace terminal
