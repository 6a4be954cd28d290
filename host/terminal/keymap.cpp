// The key and mouse tables.
#include "terminal/keymap.h"

#include <windows.h>

namespace terminal {

namespace {

struct KeyBinding {
    Key key;
    Action action;
};

constexpr KeyBinding kKeys[] = {
    {Key::kTab, Action::kTab},
    {Key::kBackTab, Action::kBackTab},
    {Key::kEnter, Action::kEnter},
    {Key::kEscape, Action::kEscape},
    {Key::kSpace, Action::kSpace},
    {Key::kLeft, Action::kLeft},
    {Key::kRight, Action::kRight},
    {Key::kUp, Action::kUp},
    {Key::kDown, Action::kDown},
    {Key::kCtrlC, Action::kClose},
    {Key::kCtrlL, Action::kRedraw},
    {Key::kResize, Action::kResize},
    {Key::kPageUp, Action::kPageUp},
    {Key::kPageDown, Action::kPageDown},
    {Key::kHome, Action::kHome},
    {Key::kEnd, Action::kEnd},
    {Key::kBackspace, Action::kBackspace},
};

struct RegionBinding {
    Region region;
    Action action;
};

constexpr RegionBinding kRegions[] = {
    {Region::kCloseBox, Action::kClose},
    {Region::kControl, Action::kClick},
    {Region::kWindow, Action::kClick},
};

struct KeyStroke {
    Action action;
    int vk;
    bool shift;
};

constexpr KeyStroke kStrokes[] = {
    {Action::kTab, VK_TAB, false},       {Action::kBackTab, VK_TAB, true},
    {Action::kEnter, VK_RETURN, false},  {Action::kEscape, VK_ESCAPE, false},
    {Action::kSpace, VK_SPACE, false},   {Action::kLeft, VK_LEFT, false},
    {Action::kRight, VK_RIGHT, false},   {Action::kUp, VK_UP, false},
    {Action::kDown, VK_DOWN, false},     {Action::kPageUp, VK_PRIOR, false},
    {Action::kPageDown, VK_NEXT, false}, {Action::kHome, VK_HOME, false},
    {Action::kEnd, VK_END, false},       {Action::kBackspace, VK_BACK, false},
};

}  // namespace

Action ActionForInput(const RawInput &in)
{
    switch (in.kind) {
    case RawInput::kPress:
        return Action::kPress;
    case RawInput::kMove:
        return Action::kMove;
    case RawInput::kRelease:
        return Action::kRelease;
    case RawInput::kWheel:
        return Action::kWheel;
    default:
        break;
    }
    for (const KeyBinding &k : kKeys)
        if (k.key == in.key)
            return k.action;
    return Action::kNone;
}

Action ActionForRegion(Region region)
{
    for (const RegionBinding &r : kRegions)
        if (r.region == region)
            return r.action;
    return Action::kNone;
}

bool KeyForAction(Action action, int &vk, bool &shift)
{
    for (const KeyStroke &k : kStrokes)
        if (k.action == action) {
            vk = k.vk;
            shift = k.shift;
            return true;
        }
    return false;
}

}  // namespace terminal
