// The real host binary in a real terminal (tmux) on a PC of its own, read back
// from the screen the way a person would see it.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>

namespace tmuxtest {

namespace fs = std::filesystem;

inline std::string Run(const std::string &command)
{
    std::string out;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    pclose(pipe);
    return out;
}

inline bool HaveTmux()
{
    return std::system("command -v tmux >/dev/null") == 0;
}

class Terminal {
public:
    Terminal()
        : dir_(fs::temp_directory_path() / ("tolvane-e2e-" + std::to_string(getpid()))),
          socket_("tolvane-e2e-" + std::to_string(getpid()))
    {
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "pc");
    }
    ~Terminal()
    {
        Run(Tmux("kill-server") + " 2>/dev/null");
        fs::remove_all(dir_);
    }

    std::string Tmux(const std::string &args) const { return "tmux -L " + socket_ + " " + args; }
    const fs::path &Directory() const { return dir_; }

    // tolvane-pc on this terminal's PC, its output.
    std::string Pc(const std::string &args) const
    {
        return Run(std::string(TOLVANE_BINARY_DIR) + "/tolvane-pc --pc " + (dir_ / "pc").string() +
                   " " + args + " 2>&1");
    }
    bool CreatePc(const std::string &options) const
    {
        return std::system((std::string(TOLVANE_BINARY_DIR) + "/tolvane-pc --pc " +
                            (dir_ / "pc").string() + " create " + options + " >/dev/null")
                               .c_str()) == 0;
    }

    // Runs tolvane in the terminal's directory; its exit status goes to a
    // file, and the pane stays a while for the screen to be read, unless
    // `keepPane` is false. `shellPrefix` runs first in the pane's shell.
    // Further copies on the same PC run in terminals of their own, named by
    // `copy` here and in the calls that read and type.
    void Start(int columns, int rows, const std::string &shellPrefix = "", bool keepPane = true,
               const std::string &copy = kFirst) const
    {
        std::string inner = shellPrefix + "cd " + dir_.string() +
                            " && TOLVANE_PC=" + (dir_ / "pc").string() + " " + TOLVANE_BINARY_DIR +
                            "/tolvane; echo \\$? > " + ExitFile(copy).string() +
                            (keepPane ? "; sleep 30" : "");
        Run(Tmux("new-session -d -s " + copy + " -x " + std::to_string(columns) + " -y " +
                 std::to_string(rows) + " \"" + inner + "\""));
    }

    std::string Screen(const std::string &copy = kFirst) const
    {
        return Run(Tmux("capture-pane -p -t " + copy));
    }
    // The screen with the escape sequences of its colours and attributes.
    std::string ScreenWithAttributes(const std::string &copy = kFirst) const
    {
        return Run(Tmux("capture-pane -e -p -t " + copy));
    }
    // The screen as it looks: characters of the terminal's line-drawing set
    // (which tmux keeps as the letters that select them, between SO and SI,
    // which may span lines) as the lines and corners they draw, and no
    // colours, nor the blanks that end a line (kept where they were written
    // in a colour, dropped where the line was erased in it).
    std::string ScreenAsDrawn(const std::string &copy = kFirst) const
    {
        const std::string raw = ScreenWithAttributes(copy);
        std::string out;
        bool lineDrawing = false;
        for (size_t i = 0; i < raw.size(); ++i) {
            const char c = raw[i];
            if (c == '\x0e' || c == '\x0f') {
                lineDrawing = c == '\x0e';
            } else if (c == '\x1b') {
                i = raw.find('m', i);  // tmux writes only SGR sequences here
                if (i == std::string::npos)
                    break;
            } else if (c == '\n') {
                out.erase(out.find_last_not_of(' ') + 1);
                out += c;
            } else {
                out += lineDrawing ? LineDrawn(c) : std::string(1, c);
            }
        }
        return out;
    }
    void Keys(const std::string &keys, const std::string &copy = kFirst) const
    {
        Run(Tmux("send-keys -t " + copy + " " + keys));
    }
    // The left mouse button at a cell (from 0), as a terminal that reports
    // the mouse like xterm (TERM=xterm-256color) sends it: pressed, moved
    // while down, let go.
    enum class Mouse { kPress, kDrag, kRelease };
    void MouseAt(Mouse what, int column, int row, const std::string &copy = kFirst) const
    {
        const std::string report = "\x1b[<" + std::string(what == Mouse::kDrag ? "32" : "0") + ";" +
                                   std::to_string(column + 1) + ";" + std::to_string(row + 1) +
                                   (what == Mouse::kRelease ? "m" : "M");
        Run(Tmux("send-keys -t " + copy + " -l \"" + report + "\""));
    }
    void Resize(int columns, int rows) const
    {
        Run(Tmux("resize-window -t " + std::string(kFirst) + " -x " + std::to_string(columns) +
                 " -y " + std::to_string(rows)));
    }

    // Polls the screen until `pattern` shows up or a few seconds have gone.
    bool WaitFor(const std::regex &pattern, std::string *screen = nullptr,
                 const std::string &copy = kFirst) const
    {
        for (int i = 0; i < 100; ++i) {
            std::string s = Screen(copy);
            if (std::regex_search(s, pattern)) {
                if (screen)
                    *screen = s;
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (screen)
            *screen = Screen(copy);
        return false;
    }

    std::string ExitStatus(std::chrono::milliseconds patience = std::chrono::seconds(5),
                           const std::string &copy = kFirst) const
    {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        do {
            std::ifstream in(ExitFile(copy));
            std::string status;
            if (in >> status)
                return status;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        } while (std::chrono::steady_clock::now() < deadline);
        return "(still running)";
    }

    static constexpr const char *kFirst = "first";

private:
    // The VT100 line-drawing set, as far as a frame uses it.
    static std::string LineDrawn(char c)
    {
        static const std::string codes = "qxlkmja";
        static const char *const drawn[] = {"─", "│", "┌", "┐", "└", "┘", "▒"};
        const size_t at = codes.find(c);
        return at == std::string::npos ? std::string(1, c) : drawn[at];
    }

    fs::path ExitFile(const std::string &copy) const { return dir_ / ("exit-" + copy); }

    fs::path dir_;
    std::string socket_;
};

}  // namespace tmuxtest
