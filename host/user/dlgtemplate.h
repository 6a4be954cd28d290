// A dialog template as a plain structure: what DLGTEMPLATE (or DLGTEMPLATEEX)
// bytes say, parsed once before any window is created from them.
#pragma once

#include <windows.h>

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace user {

// Predefined control classes that a template names by ordinal.
enum : WORD {
    kClassButton = 0x80,
    kClassEdit = 0x81,
    kClassStatic = 0x82,
    kClassListBox = 0x83,
    kClassScrollBar = 0x84,
    kClassComboBox = 0x85,
};

// A field that holds an ordinal or a string (menu, class, control text).
struct OrdinalOrText {
    bool isOrdinal = false;
    WORD ordinal = 0;
    std::string text;
    bool Empty() const { return !isOrdinal && text.empty(); }
};

struct DialogItemTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    OrdinalOrText windowClass;
    OrdinalOrText text;
    std::vector<BYTE> creationData;
};

struct DialogTemplate {
    bool extended = false;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    OrdinalOrText menu;
    OrdinalOrText windowClass;  // empty: the predefined dialog class
    std::string caption;
    WORD pointSize = 0;  // with DS_SETFONT only
    std::string typeface;
    std::vector<DialogItemTemplate> items;
};

// nullopt when the bytes are not a complete template.
std::optional<DialogTemplate> ParseDialogTemplate(std::span<const BYTE> bytes);

// The class name a control's ordinal stands for ("Button", ...); nullptr if none.
const char *PredefinedClassName(WORD ordinal);

}  // namespace user
