// Where windows are on the character screen.
#pragma once

namespace user {

// A rectangle in character cells. For a child it is relative to its parent's
// client area; for a top-level window it is the whole frame on the screen.
struct CellRect {
    int x = 0, y = 0, w = 0, h = 0;
    int Right() const { return x + w; }
    int Bottom() const { return y + h; }
    bool Contains(int cx, int cy) const { return cx >= x && cx < x + w && cy >= y && cy < y + h; }
    bool Intersects(const CellRect &o) const
    {
        return x < o.Right() && o.x < Right() && y < o.Bottom() && o.y < Bottom();
    }
    bool operator==(const CellRect &) const = default;
};

}  // namespace user
