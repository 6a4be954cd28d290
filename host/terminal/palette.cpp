// Windows 98's standard scheme: 3D face 192,192,192, highlight white, shadow
// 128,128,128, dark shadow black, window white with black text, active caption
// navy 0,0,128 with white text, inactive caption 128,128,128 with 192,192,192
// text, grey text 128,128,128, desktop 0,128,128; the icons' red, yellow and
// blue and the help jumps' green. At 256 colours they come from the xterm
// cube and grey ramp, which terminals keep fixed, rather than the first 16,
// which themes change.
#include "terminal/palette.h"

namespace terminal {

namespace {

enum Scheme { kBlack, kWhite, kFaceGrey, kShadowGrey, kNavy, kTeal, kRed, kYellow, kBlue, kGreen };

// Each scheme colour's palette number at 8, 16 and 256 colours; -1 where the
// palette has no such colour (grey at 8).
constexpr short kNumbers[][3] = {
    /* kBlack      */ {0, 0, 16},
    /* kWhite      */ {7, 15, 231},
    /* kFaceGrey   */ {7, 7, 250},
    /* kShadowGrey */ {-1, 8, 244},
    /* kNavy       */ {4, 4, 18},
    /* kTeal       */ {6, 6, 30},
    /* kRed        */ {1, 9, 196},
    /* kYellow     */ {3, 11, 226},
    /* kBlue       */ {4, 12, 21},
    /* kGreen      */ {2, 2, 28},
};

struct RoleColours {
    Scheme fg, bg;
};

// Indexed by Role; kPlain's entry is never used.
constexpr RoleColours kRoles[kRoleCount] = {
    /* kPlain            */ {kBlack, kWhite},
    /* kDesktop          */ {kWhite, kTeal},
    /* kFace             */ {kBlack, kFaceGrey},
    /* kFaceLight        */ {kWhite, kFaceGrey},
    /* kFaceShadow       */ {kShadowGrey, kFaceGrey},
    /* kFaceGreyText     */ {kShadowGrey, kFaceGrey},
    /* kWindow           */ {kBlack, kWhite},
    /* kWindowGreyText   */ {kShadowGrey, kWhite},
    /* kJump             */ {kGreen, kWhite},
    /* kSelection        */ {kWhite, kNavy},
    /* kCaptionActive    */ {kWhite, kNavy},
    /* kCaptionInactive  */ {kFaceGrey, kShadowGrey},
    /* kCloseBoxActive   */ {kFaceGrey, kNavy},
    /* kCloseBoxInactive */ {kFaceGrey, kShadowGrey},
    /* kShadow           */ {kShadowGrey, kBlack},
    /* kIconRed          */ {kRed, kFaceGrey},
    /* kIconRedMark      */ {kWhite, kRed},
    /* kIconYellow       */ {kYellow, kFaceGrey},
    /* kIconYellowMark   */ {kBlack, kYellow},
    /* kIconBlueMark     */ {kBlue, kWhite},
};

int Column(Depth depth)
{
    return depth == Depth::k8 ? 0 : depth == Depth::k16 ? 1 : 2;
}

}  // namespace

Depth DepthFor(bool hasColours, int colours, int pairs, bool noColour)
{
    if (noColour || !hasColours || pairs < kRoleCount)
        return Depth::kMonochrome;
    if (colours >= 256)
        return Depth::k256;
    if (colours >= 16)
        return Depth::k16;
    return colours >= 8 ? Depth::k8 : Depth::kMonochrome;
}

Ink InkFor(Role role, Depth depth)
{
    if (depth == Depth::kMonochrome || role == Role::kPlain)
        return Ink{};
    const RoleColours &colours = kRoles[static_cast<int>(role)];
    const int column = Column(depth);
    Ink ink;
    ink.bg = kNumbers[colours.bg][column];
    ink.fg = kNumbers[colours.fg][column];
    // Without grey, a grey background is black. Grey text, or a line that
    // would vanish into its background (white on the face, which is white
    // too at 8 colours), is black, or white on black and navy, and dim.
    if (ink.bg < 0)
        ink.bg = kNumbers[kBlack][column];
    if (ink.fg < 0 || ink.fg == ink.bg) {
        const bool darkBackground =
            ink.bg == kNumbers[kBlack][column] || ink.bg == kNumbers[kNavy][column];
        ink.fg = darkBackground ? kNumbers[kWhite][column] : kNumbers[kBlack][column];
        ink.dim = true;
    }
    return ink;
}

}  // namespace terminal
