// The cell grid and its text form.
#include "screen/cells.h"

namespace screen {

void CellBuffer::Resize(int cols, int rows)
{
    cols_ = cols < 0 ? 0 : cols;
    rows_ = rows < 0 ? 0 : rows;
    cells_.resize(static_cast<size_t>(cols_) * rows_);
    Clear();
}

void CellBuffer::Clear()
{
    for (Cell &c : cells_) c = Cell{};
}

void CellBuffer::Put(int x, int y, char32_t ch, std::uint8_t attr)
{
    if (x < 0 || y < 0 || x >= cols_ || y >= rows_) return;
    Cell &c = cells_[static_cast<size_t>(y) * cols_ + x];
    c.ch = ch;
    c.attr = attr;
}

void CellBuffer::Text(int x, int y, std::string_view text, std::uint8_t attr, int maxCols)
{
    for (size_t i = 0; i < text.size() && static_cast<int>(i) < maxCols; ++i) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        Put(x + static_cast<int>(i), y, b < 0x20 || (b >= 0x7F && b < 0xA0) ? U'?' : static_cast<char32_t>(b), attr);
    }
}

void CellBuffer::Fill(int x, int y, int w, int h, char32_t ch, std::uint8_t attr)
{
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) Put(x + c, y + r, ch, attr);
}

void CellBuffer::Box(int x, int y, int w, int h, std::uint8_t attr)
{
    if (w < 2 || h < 1) return;
    if (h == 1) {
        // A frame one row high is a rule with ends.
        Put(x, y, U'[', attr);
        Fill(x + 1, y, w - 2, 1, U'─', attr);
        Put(x + w - 1, y, U']', attr);
        return;
    }
    Put(x, y, U'┌', attr);
    Put(x + w - 1, y, U'┐', attr);
    Put(x, y + h - 1, U'└', attr);
    Put(x + w - 1, y + h - 1, U'┘', attr);
    Fill(x + 1, y, w - 2, 1, U'─', attr);
    Fill(x + 1, y + h - 1, w - 2, 1, U'─', attr);
    Fill(x, y + 1, 1, h - 2, U'│', attr);
    Fill(x + w - 1, y + 1, 1, h - 2, U'│', attr);
}

void CellBuffer::SetAttr(int x, int y, int w, std::uint8_t attr)
{
    for (int c = 0; c < w; ++c)
        if (x + c >= 0 && x + c < cols_ && y >= 0 && y < rows_) cells_[static_cast<size_t>(y) * cols_ + x + c].attr = attr;
}

std::string CellBuffer::Line(int y) const
{
    std::string out;
    int end = cols_;
    while (end > 0 && At(end - 1, y).ch == U' ') --end;
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

}  // namespace screen
