// The off-screen frame: a grid of cells, each a character, its attributes and
// what it is (its role), never a colour: the display colours roles for the
// terminal it has, and tests read the frame as text and roles.
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

// The parts of Windows 98's standard colour scheme a cell can show. kPlain is
// the terminal's own colours, the only role of a monochrome frame.
enum class Role : std::uint8_t {
    kPlain,
    kDesktop,           // the screen around the windows
    kFace,              // black on the 3D face: dialogs, buttons, dark edges
    kFaceLight,         // the 3D highlight: white on the face
    kFaceShadow,        // the 3D shadow: grey on the face (etched and sunken edges)
    kFaceGreyText,      // disabled text on the face
    kWindow,            // black on white: list boxes, the help text
    kWindowGreyText,    // grey on white
    kJump,              // a help jump: green on white
    kSelection,         // white on navy: the selected line or jump
    kCaptionActive,     // the active window's title bar
    kCaptionInactive,   // any other title bar
    kCloseBoxActive,    // the close box's face against an active title bar
    kCloseBoxInactive,  // ... against an inactive one
    kShadow,            // a window's shadow over whatever lies beneath
    kIconRed,           // the error icon's disc
    kIconRedMark,       // its white X
    kIconYellow,        // the warning icon's triangle
    kIconYellowMark,    // its black !
    kIconBlueMark,      // the blue letter in the white bubble of information and question
};
constexpr int kRoleCount = static_cast<int>(Role::kIconBlueMark) + 1;

struct Cell {
    char32_t ch = U' ';
    std::uint8_t attr = kNormal;
    Role role = Role::kPlain;
    bool operator==(const Cell &) const = default;
};

class CellBuffer {
public:
    // Keeps its storage when the size does not change. Unclips.
    void Resize(int cols, int rows);
    int Cols() const { return cols_; }
    int Rows() const { return rows_; }
    void Clear();
    // Drawing below reaches only the cells of the clip (the whole buffer
    // unless set), so that part of a frame can be drawn again over the rest.
    void Clip(int x, int y, int w, int h);
    void Unclip() { Clip(0, 0, cols_, rows_); }

    void Put(int x, int y, char32_t ch, std::uint8_t attr = kNormal, Role role = Role::kPlain);
    // Text in the program's code page (Windows-1252, as Windows 98 in the
    // West), clipped to `maxCols`.
    void Text(int x, int y, std::string_view text, std::uint8_t attr = kNormal,
              int maxCols = 1 << 20, Role role = Role::kPlain);
    void Fill(int x, int y, int w, int h, char32_t ch, std::uint8_t attr = kNormal,
              Role role = Role::kPlain);
    void Box(int x, int y, int w, int h, std::uint8_t attr = kNormal, Role role = Role::kPlain);
    void SetAttr(int x, int y, int w, std::uint8_t attr, Role role = Role::kPlain);
    // Keeps the characters of a rectangle and shows them plainly in `role`.
    void Shade(int x, int y, int w, int h, Role role);

    const Cell &At(int x, int y) const { return cells_[static_cast<size_t>(y) * cols_ + x]; }
    // Row `y` as UTF-8, without trailing blanks.
    std::string Line(int y) const;
    // All rows, one per line.
    std::string ToText() const;

private:
    bool InClip(int x, int y) const
    {
        return x >= clipLeft_ && x < clipRight_ && y >= clipTop_ && y < clipBottom_;
    }
    Cell &Ref(int x, int y) { return cells_[static_cast<size_t>(y) * cols_ + x]; }

    int cols_ = 0, rows_ = 0;
    int clipLeft_ = 0, clipTop_ = 0, clipRight_ = 0, clipBottom_ = 0;
    std::vector<Cell> cells_;
};

}  // namespace terminal
