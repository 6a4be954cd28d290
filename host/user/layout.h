// Dialog units to character cells. About 10 horizontal units make 3 columns
// and 8 vertical units a row; then controls are nudged so that each is whole,
// none overlaps another, and framed groups hold their controls inside.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "user/controls.h"
#include "user/window_geometry.h"

namespace user {

struct LayoutItem {
    user::ControlKind kind = user::ControlKind::kOther;
    DWORD style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    std::string text;
};

struct DialogLayout {
    int clientCols = 0;
    int clientRows = 0;
    std::vector<user::CellRect> items;  // relative to the client area
};

DialogLayout LayoutDialog(int cx, int cy, const std::vector<LayoutItem> &items);

int ColumnOf(int xUnits);
int RowOf(int yUnits);

// A top-level window's frame: a border round the client area, the caption in
// the top border.
constexpr int kFrameCols = 2;
constexpr int kFrameRows = 2;

// Calls `line` with each line that `text` shows as in `width` columns: its own
// line breaks, and long lines broken between words (a word longer than the
// width is cut). Returns the number of lines. Allocates nothing.
template <typename LineFn>
int WrapText(std::string_view text, int width, LineFn &&line)
{
    int count = 0;
    if (width < 1)
        width = 1;
    size_t start = 0;
    for (;;) {
        size_t end = text.find('\n', start);
        std::string_view para =
            text.substr(start,
                        end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!para.empty() && para.back() == '\r')
            para.remove_suffix(1);
        // Trailing blanks never force a break.
        while (!para.empty() && para.back() == ' ')
            para.remove_suffix(1);
        do {
            std::string_view piece = para;
            bool broke = piece.size() > static_cast<size_t>(width);
            if (broke) {
                size_t cut = piece.rfind(' ', static_cast<size_t>(width));
                piece = piece.substr(0, cut == std::string_view::npos || cut == 0
                                            ? static_cast<size_t>(width)
                                            : cut);
            }
            line(piece);
            ++count;
            para.remove_prefix(piece.size());
            if (broke)
                while (!para.empty() && para.front() == ' ')
                    para.remove_prefix(1);
        } while (!para.empty());
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return count;
}

}  // namespace user
