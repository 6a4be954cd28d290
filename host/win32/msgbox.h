// The record of message boxes and beeps that the automation reads: what each
// box said, and the button that answered it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace win32 {

struct MessageBoxEntry {
    std::string text;
    std::string caption;
    UINT type = 0;
    int answer = 0;  // 0 while the box is open
    HWND hwnd = nullptr;
};

// The record, with the lock held.
const std::vector<MessageBoxEntry> &MessageBoxHistoryLocked();
int BeepCount();
// A new program in this process starts with an empty record.
void ClearMessageBoxHistory();

// The buttons of a message box style, left to right.
std::vector<int> MessageBoxButtons(UINT type);
const char *MessageBoxButtonText(int id);
// The marker that stands for the box's icon, or "" for none.
const char *MessageBoxIconMarker(UINT type);

}  // namespace win32
