// The host's help engine behind WinHelpA: a plain-text help file, found like
// the Windows help engine finds one named without a directory, shown in one
// scrollable help window per process. A line underlined with '-' or '=' is a
// topic's heading.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace win32 {

struct HelpTopic {
    std::string title;
    int line = 0;  // where its heading is shown, in the wrapped text
};

struct HelpWindowView {
    HWND hwnd = nullptr;
    std::string caption;
    std::string path;                // the file shown
    std::vector<std::string> source;  // the file's lines as read
    std::vector<std::string> lines;   // the whole text, wrapped to the window
    std::vector<int> sourceOf;        // for each wrapped line, its line in `source`
    std::vector<HelpTopic> topics;
    int top = 0;   // first line in view
    int rows = 0;  // lines in view at once
};

// With the user lock held: the open help window, if any.
std::optional<HelpWindowView> HelpWindowLocked();

// With the user lock held, once the screen has changed size: the help window
// takes the new size within its limits, rewraps, and keeps the line at its
// top in view.
void FitHelpWindowToScreenLocked();

// A name without a directory is looked for in the program's folder, then in
// the current one. "" when it is in neither.
std::string FindHelpFile(const std::string &name);

}  // namespace win32
