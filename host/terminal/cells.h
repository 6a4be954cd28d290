// The off-screen frame: a grid of cells, each a character and its look. The
// renderer draws into it, the display writes what changed to the terminal,
// and tests read it as text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace terminal {

enum Attr : std::uint8_t {
    kNormal = 0,
    kBold = 1,
    kDim = 2,
    kReverse = 4,
    kUnderline = 8,
};

struct Cell {
    char32_t ch = U' ';
    std::uint8_t attr = kNormal;
    bool operator==(const Cell &) const = default;
};

class CellBuffer {
public:
    // Keeps its storage when the size does not change.
    void Resize(int cols, int rows);
    int Cols() const { return cols_; }
    int Rows() const { return rows_; }
    void Clear();

    void Put(int x, int y, char32_t ch, std::uint8_t attr = kNormal);
    // Text in the program's code page (Windows-1252, as Windows 98 in the
    // West), clipped to `maxCols`.
    void Text(int x, int y, std::string_view text, std::uint8_t attr = kNormal,
              int maxCols = 1 << 20);
    void Fill(int x, int y, int w, int h, char32_t ch, std::uint8_t attr = kNormal);
    void Box(int x, int y, int w, int h, std::uint8_t attr = kNormal);
    void SetAttr(int x, int y, int w, std::uint8_t attr);

    const Cell &At(int x, int y) const { return cells_[static_cast<size_t>(y) * cols_ + x]; }
    // Row `y` as UTF-8, without trailing blanks.
    std::string Line(int y) const;
    // All rows, one per line.
    std::string ToText() const;

private:
    int cols_ = 0, rows_ = 0;
    std::vector<Cell> cells_;
};

}  // namespace terminal
