// The host's help viewer, which WinHelpA hands its requests to: the
// program's WinHelp file, found like the Windows help engine finds one named
// without a directory, shown in one help window per process, topic by topic.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace winhelp {

// The help window as its reader sees it.
struct HelpWindowView {
    HWND hwnd = nullptr;
    std::string caption;               // the help file's title
    std::string title;                 // the topic's title
    std::vector<std::string> heading;  // the lines that stay in view: the topic's heading
    std::vector<std::string> lines;    // the topic's scrolling lines, all of them
    std::vector<std::string> jumps;    // the topic's jumps, in reading order
    int selected = -1;                 // the selected jump; -1: none
    int top = 0;                       // the first scrolling line in view
    int rows = 0;                      // scrolling lines in view at once
    std::string status;                // the status line
};

// Makes this process's WinHelpA requests come here. A host program calls it
// once before its WinMain runs; calling it again changes nothing.
void InstallViewer();

// With the user lock held: the open help window, if any.
std::optional<HelpWindowView> HelpWindowLocked();

// A name without a directory is looked for in the program's folder, then in
// the current one. "" when it is in neither.
std::string FindHelpFile(const std::string &name);

}  // namespace winhelp
