// Automation for tests: runs a program's WinMain on its own thread over a
// fresh simulated PC on the virtual clock, acts as a person at the keyboard
// would, and reads back what that person would see. Every action returns when
// the program is idle again (waiting for input or time); reads are taken then.
#pragma once

#include <windows.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace automation {

// An action that cannot be done as asked (a control absent or disabled, no
// message box to answer) or a program that stops responding.
struct DriveError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct MessageBoxRecord {
    std::string text, caption;
    unsigned type = 0;
    int answer = 0;  // filled when answered
};

// The help window as a reader sees it.
struct HelpWindowRecord {
    std::string caption;               // the help file's title
    std::string title;                 // the topic's
    std::vector<std::string> heading;  // the lines that stay in view over the text
    std::vector<std::string> shown;    // the text's lines in view, top to bottom
    std::vector<std::string> jumps;    // the topic's jumps, in reading order
    std::string selected;              // the selected jump; "" when none
    std::string status;                // the status line
    int firstLine = 0;                 // of the text in view, 1-based
    int lineCount = 0;                 // of the topic's text
};

struct PcSetup {
    std::string profile = "y2k-ready";
    std::string localTime = "2026-06-15 10:00:00.000";
    int utcOffsetMinutes = 0;
    // The program's own directory, where it looks for programs first: its
    // module file is reported there. Empty: a fresh empty directory.
    std::string programDirectory;
};

using EntryPoint = int(WINAPI *)(HINSTANCE, HINSTANCE, LPSTR, int);

// One session at a time in a process: while it lives it takes over the
// process's current directory, attached PC, user hooks and module file name;
// at its end it gives back the directory, the hooks and the file name, and
// removes its PC.
class Session {
public:
    // A fresh PC directory (virtual clock at setup.localTime, local time) and
    // a fresh current directory, both removed again at the end.
    explicit Session(PcSetup setup = {});
    // If the program still runs: the close command, boxes answered with their
    // default, until it ends (bounded); processes started during the session
    // that would keep it from ending, or outlive it, are killed.
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // Runs the program's WinMain (or `entry`) and returns once it waits for input.
    void Start() { Start(&WinMain); }
    void Start(EntryPoint entry);
    bool Running() const;
    int ExitCode() const;
    // The program was ended by an end of the session, as Windows terminates
    // it; its exit code is then 0.
    bool EndedBySessionEnd() const;
    // What an exception that escaped the program said, once the forced end of
    // the session that follows it has run; "" when none escaped.
    std::string Fault() const;

    // ---- Acting ----
    void Press(int id);  // the topmost window that has control `id` enabled to the user
    void PressIn(const std::string &caption, int id);
    void Key(int vk, bool shift = false);  // through the dialog manager of the active window
    void CloseCommand();                   // like Alt+F4, the close box, Ctrl+C
    void Answer(int id);                   // a button of the topmost message box
    // The virtual clock, letting every timer fire; a program blocked outside
    // its loop (whose timers cannot fire) gets the rest in one step.
    void Advance(int milliseconds);
    void Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Resize(int columns, int rows);  // the off-screen terminal, 80 x 24 at first
    void Wheel(const std::string &caption, int notches);  // over that window; positive scrolls up
    // The left mouse button on cells of the off-screen terminal: pressed,
    // moved while down, let go; a click is a press and a release at one cell.
    void MouseDown(int column, int row);
    void MouseMove(int column, int row);
    void MouseUp(int column, int row);
    void Click(int column, int row);
    // The end of the user's session, delivered as the host delivers it on
    // SIGTERM (really), SIGHUP (really and forced) or a cancelled end
    // (!really). Returns when the program waits again or has ended.
    void EndSession(bool really, bool forced = false);

    // ---- Reading ----
    std::vector<std::string> Captions() const;  // open top-level windows, bottom to top
    std::string TopCaption() const;
    HWND Window(const std::string &caption) const;
    std::string Text(int id) const;
    std::string TextIn(const std::string &caption, int id) const;
    bool Enabled(int id) const;
    bool EnabledIn(const std::string &caption, int id) const;
    bool Checked(int id) const;
    std::vector<std::string> Lines(int listBoxId) const;
    std::optional<MessageBoxRecord> TopMessageBox() const;
    const std::vector<MessageBoxRecord> &MessageBoxes() const;
    int Beeps() const;
    std::string Screen() const;  // the off-screen terminal as text, in the monochrome look
    std::optional<HelpWindowRecord> HelpWindow() const;  // nullopt while none is open

    const std::string &PcDirectory() const { return pcDir_; }
    const std::string &ProgramDirectory() const;

private:
    struct Impl;
    Impl *impl_;
    std::string pcDir_;
    mutable std::vector<MessageBoxRecord> boxes_;
};

}  // namespace automation
