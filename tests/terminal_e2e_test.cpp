// The real host binary in a real terminal (tmux), read back from the screen the
// way a person would see it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

std::string Run(const std::string &command)
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

    bool CreatePc(const std::string &profile) const
    {
        return std::system((std::string(TOLVANE_BINARY_DIR) + "/tolvane-pc --pc " + (dir_ / "pc").string() +
                            " create --profile " + profile + " >/dev/null")
                               .c_str()) == 0;
    }

    void Start(int columns, int rows) const
    {
        std::string inner = "cd " + dir_.string() + " && TOLVANE_PC=" + (dir_ / "pc").string() + " " +
                            TOLVANE_BINARY_DIR + "/tolvane; echo $? > " + (dir_ / "exit").string() +
                            "; sleep 30";
        Run(Tmux("new-session -d -x " + std::to_string(columns) + " -y " + std::to_string(rows) + " '" +
                 inner + "'"));
    }

    std::string Screen() const { return Run(Tmux("capture-pane -p")); }
    void Keys(const std::string &keys) const { Run(Tmux("send-keys " + keys)); }
    void Resize(int columns, int rows) const
    {
        Run(Tmux("resize-window -x " + std::to_string(columns) + " -y " + std::to_string(rows)));
    }

    // Polls the screen until `pattern` shows up or a few seconds have gone.
    bool WaitFor(const std::regex &pattern, std::string *screen = nullptr) const
    {
        for (int i = 0; i < 100; ++i) {
            std::string s = Screen();
            if (std::regex_search(s, pattern)) {
                if (screen)
                    *screen = s;
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (screen)
            *screen = Screen();
        return false;
    }

    std::string ExitStatus() const
    {
        for (int i = 0; i < 100; ++i) {
            std::ifstream in(dir_ / "exit");
            std::string status;
            if (in >> status)
                return status;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return "(still running)";
    }

private:
    fs::path dir_;
    std::string socket_;
};

const std::regex kClockLine(R"( \d\d-\d\d-\d{4}   \d\d:\d\d:\d\d)");

TEST(TerminalEndToEnd, ShowsTheAboutBoxThenFourLiveClocksAndClosesCleanly)
{
    if (std::system("command -v tmux >/dev/null") != 0)
        GTEST_SKIP() << "tmux is not installed";
    Terminal t;
    ASSERT_TRUE(t.CreatePc("y2k-ready"));
    t.Start(100, 36);

    std::string screen;
    ASSERT_TRUE(t.WaitFor(std::regex("About Tolvane"), &screen)) << screen;
    EXPECT_NE(screen.find("Tolvane - Year 2000 Clock Test and Fix"), std::string::npos) << screen;
    t.Keys("Enter");

    ASSERT_TRUE(t.WaitFor(std::regex(R"(Cmos:[\s\S]*Bios:)"), &screen)) << screen;
    // All four lines, each whole, once the clocks have ticked.
    const std::regex fourLines(R"(( \d\d-\d\d-\d{4}   \d\d:\d\d:\d\d[\s\S]*){4})");
    ASSERT_TRUE(t.WaitFor(fourLines, &screen)) << screen;
    for (const char *text : {"TEST", "StopClocks", "Reset Date", "Install Fix", "Help", "Close", "clocks",
                             "Cmos:", "Bios:", "System:", "Local:", "UTC:"})
        EXPECT_NE(screen.find(text), std::string::npos) << "missing " << text << "\n" << screen;

    t.Keys("C-c");
    EXPECT_EQ(t.ExitStatus(), "0");
    screen = t.Screen();
    EXPECT_EQ(screen.find("StopClocks"), std::string::npos) << "dialog left on the terminal\n" << screen;
}

TEST(TerminalEndToEnd, TooSmallTerminalSaysSoAndRecovers)
{
    if (std::system("command -v tmux >/dev/null") != 0)
        GTEST_SKIP() << "tmux is not installed";
    Terminal t;
    ASSERT_TRUE(t.CreatePc("y2k-ready"));
    t.Start(30, 10);

    std::string screen;
    EXPECT_TRUE(t.WaitFor(std::regex("too small", std::regex::icase), &screen)) << screen;
    t.Resize(100, 36);
    EXPECT_TRUE(t.WaitFor(std::regex("About Tolvane"), &screen)) << screen;
    t.Keys("Enter");
    t.Keys("C-c");
    EXPECT_EQ(t.ExitStatus(), "0");
}

}  // namespace
