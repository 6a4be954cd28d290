// The colours of the terminal: which depth what a terminal reports gives, and
// the palette numbers of Windows 98's scheme for cell roles at each depth.
#include <gtest/gtest.h>

#include "terminal/palette.h"

namespace {

using terminal::Depth;
using terminal::Ink;
using terminal::Role;

const char *Name(Depth depth)
{
    switch (depth) {
    case Depth::kMonochrome:
        return "monochrome";
    case Depth::k8:
        return "8";
    case Depth::k16:
        return "16";
    default:
        return "256";
    }
}

TEST(TerminalPalette, DepthFollowsWhatTheTerminalReports)
{
    struct Case {
        bool hasColours;
        int colours, pairs;
        bool noColour;
        Depth depth;
    } cases[] = {
        {false, 0, 0, false, Depth::kMonochrome},      // vt100
        {true, 8, 64, false, Depth::k8},               // xterm, screen
        {true, 16, 256, false, Depth::k16},            // xterm-16color
        {true, 88, 7744, false, Depth::k16},           // rxvt-88color: no 256 cube
        {true, 256, 65536, false, Depth::k256},        // xterm-256color
        {true, 16777216, 65536, false, Depth::k256},   // direct colour
        {true, 256, 65536, true, Depth::kMonochrome},  // NO_COLOR
        {true, 8, 8, false, Depth::kMonochrome},       // too few pairs for the roles
        {true, 2, 64, false, Depth::kMonochrome},      // two colours
    };
    for (const Case &c : cases)
        EXPECT_STREQ(Name(terminal::DepthFor(c.hasColours, c.colours, c.pairs, c.noColour)),
                     Name(c.depth))
            << c.colours << " colours, " << c.pairs << " pairs, NO_COLOR " << c.noColour;
}

TEST(TerminalPalette, RolesTakeTheNearestSchemeColoursAtEachDepth)
{
    struct Case {
        Role role;
        Depth depth;
        Ink ink;
    } cases[] = {
        // The 3D face 192,192,192: the grey ramp's 188, or light grey.
        {Role::kFace, Depth::k256, {16, 250, false}},
        {Role::kFace, Depth::k16, {0, 7, false}},
        {Role::kFace, Depth::k8, {0, 7, false}},
        // The window's white with black text.
        {Role::kWindow, Depth::k256, {16, 231, false}},
        {Role::kWindow, Depth::k16, {0, 15, false}},
        {Role::kWindow, Depth::k8, {0, 7, false}},
        // The active caption, navy 0,0,128 with white.
        {Role::kCaptionActive, Depth::k256, {231, 18, false}},
        {Role::kCaptionActive, Depth::k16, {15, 4, false}},
        {Role::kCaptionActive, Depth::k8, {7, 4, false}},
        // The inactive one, 128 grey with 192 text; black without grey.
        {Role::kCaptionInactive, Depth::k256, {250, 244, false}},
        {Role::kCaptionInactive, Depth::k16, {7, 8, false}},
        {Role::kCaptionInactive, Depth::k8, {7, 0, false}},
        // Grey text is dim black where there is no grey.
        {Role::kFaceGreyText, Depth::k256, {244, 250, false}},
        {Role::kFaceGreyText, Depth::k16, {8, 7, false}},
        {Role::kFaceGreyText, Depth::k8, {0, 7, true}},
        // White lines on the face vanish at 8 colours, so they turn dim black.
        {Role::kFaceLight, Depth::k256, {231, 250, false}},
        {Role::kFaceLight, Depth::k8, {0, 7, true}},
        // A shadow keeps what it covers readable, in grey on black.
        {Role::kShadow, Depth::k256, {244, 16, false}},
        {Role::kShadow, Depth::k8, {7, 0, true}},
        {Role::kDesktop, Depth::k256, {231, 30, false}},
        {Role::kDesktop, Depth::k16, {15, 6, false}},
        {Role::kIconRed, Depth::k256, {196, 250, false}},
        {Role::kIconYellowMark, Depth::k16, {0, 11, false}},
        {Role::kIconBlueMark, Depth::k256, {21, 231, false}},
        {Role::kJump, Depth::k256, {28, 231, false}},
        // Monochrome and the plain role keep the terminal's own colours.
        {Role::kFace, Depth::kMonochrome, {-1, -1, false}},
        {Role::kPlain, Depth::k256, {-1, -1, false}},
    };
    for (const Case &c : cases) {
        const Ink ink = terminal::InkFor(c.role, c.depth);
        EXPECT_EQ(ink.fg, c.ink.fg)
            << "role " << static_cast<int>(c.role) << " at " << Name(c.depth);
        EXPECT_EQ(ink.bg, c.ink.bg)
            << "role " << static_cast<int>(c.role) << " at " << Name(c.depth);
        EXPECT_EQ(ink.dim, c.ink.dim)
            << "role " << static_cast<int>(c.role) << " at " << Name(c.depth);
    }
}

TEST(TerminalPalette, EveryRoleStandsOutFromItsBackgroundAtEveryDepth)
{
    for (Depth depth : {Depth::k8, Depth::k16, Depth::k256})
        for (int role = 1; role < terminal::kRoleCount; ++role) {
            const Ink ink = terminal::InkFor(static_cast<Role>(role), depth);
            EXPECT_NE(ink.fg, ink.bg) << "role " << role << " at " << Name(depth);
            EXPECT_GE(ink.fg, 0);
            EXPECT_GE(ink.bg, 0);
        }
}

}  // namespace
