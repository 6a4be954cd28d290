// The automation's machinery. The program runs on its own thread; the driver
// hands it input through the layer's queue and waits, under the user lock,
// until the program's thread has taken everything and waits again. A program
// that blocks outside a message loop (its thread burns no CPU yet is not
// idle) is left after a short settle, so that the test can move time on.
#include "automation/session.h"

#include <pthread.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "pc/calendar.h"
#include "pc/machine.h"
#include "pc/timesource.h"
#include "terminal/cells.h"
#include "terminal/keymap.h"
#include "terminal/render.h"
#include "user/class.h"
#include "user/help.h"
#include "user/hooks.h"
#include "user/message.h"
#include "kernel/module.h"
#include "kernel/process.h"
#include "user/display_change.h"
#include "user/session_end.h"
#include "user/window.h"

namespace drive {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kSafetyBound = std::chrono::seconds(5);
constexpr auto kSettle = std::chrono::milliseconds(150);
constexpr std::int64_t kSettleCpuNs = 2'000'000;
constexpr std::int64_t kMaxStepNs = 10'000'000;

std::int64_t LocalTimeToUtcNs(const std::string &text, int utcOffsetMinutes)
{
    std::optional<pc::CivilTime> local = pc::ParseCivil(text);
    if (!local)
        throw DriveError("PcSetup.localTime must read YYYY-MM-DD HH:MM:SS.mmm, a real date and time, not '" + text +
                         "'");
    return pc::UnixNsFromLocal(*local, utcOffsetMinutes);
}

std::int64_t CpuNs(clockid_t clock)
{
    timespec ts{};
    if (clock_gettime(clock, &ts) != 0) return 0;
    return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

}  // namespace

struct Session::Impl {
    PcSetup setup;
    std::string root, cwd, oldCwd;
    std::thread thread;
    std::shared_ptr<win32::Queue> queue;
    clockid_t cpuClock{};
    bool started = false;
    bool finished = false;  // under the user lock
    std::uint64_t processesBefore = 0;  // processes this test binary had started before the session
    std::atomic<bool> endedBySession{false};
    std::atomic<int> exitCode{0};
    int cols = 80, rows = 24;
    mutable screen::CellBuffer frame;

    // Kept by the hooks the session installs, under the user lock. `requested`
    // counts what the program's queue was handed; when its thread finds
    // nothing left to do it has taken all of it: `acknowledged` catches up and
    // `idle` holds until it works again.
    std::uint64_t requested = 0;
    std::uint64_t acknowledged = 0;
    bool idle = false;
    std::condition_variable idleChanged;
    struct ShownBox {
        MessageBoxRecord record;
        HWND hwnd;  // while it is open; nullptr once answered
    };
    std::vector<ShownBox> boxes;
    int beeps = 0;
    win32::UserHooks hooksBefore;

    win32::UserHooks Hooks()
    {
        win32::UserHooks hooks;
        hooks.messageBoxShown = [this](HWND box, const std::string &text, const std::string &caption, UINT type) {
            boxes.push_back({MessageBoxRecord{text, caption, type, 0}, box});
        };
        hooks.messageBoxAnswered = [this](HWND box, int answer) {
            for (ShownBox &shown : boxes)
                if (shown.hwnd == box) {
                    shown.record.answer = answer;
                    shown.hwnd = nullptr;
                }
        };
        hooks.beep = [this](UINT) { ++beeps; };
        hooks.queueNotified = [this](const win32::Queue &q) {
            if (&q == queue.get()) ++requested;
        };
        hooks.queueIdle = [this](const win32::Queue &q, bool nowIdle) {
            if (&q != queue.get()) return;
            if (nowIdle) acknowledged = requested;
            idle = nowIdle;
            idleChanged.notify_all();
        };
        return hooks;
    }

    // With the lock held: the open message box `w`, if it is one.
    const ShownBox *OpenBox(const win32::Window *w) const
    {
        for (const ShownBox &shown : boxes)
            if (shown.hwnd && shown.hwnd == w->handle) return &shown;
        return nullptr;
    }

    // With the lock held: waits until the program has taken what `seq`
    // counts and waits again, has ended, or is blocked outside a loop.
    // False when it returned because the program is blocked.
    bool WaitIdle(win32::UserLock &lock, std::uint64_t seq)
    {
        auto done = [&] { return finished || (idle && acknowledged >= seq); };
        const auto deadline = Clock::now() + kSafetyBound;
        auto sliceStart = Clock::now();
        std::int64_t sliceCpu = CpuNs(cpuClock);
        while (!done()) {
            idleChanged.wait_for(lock, std::chrono::milliseconds(20));
            if (done()) return true;
            auto now = Clock::now();
            if (now - sliceStart >= kSettle) {
                std::int64_t cpu = CpuNs(cpuClock);
                if (cpu - sliceCpu < kSettleCpuNs) return false;  // blocked, not busy
                sliceStart = now;
                sliceCpu = cpu;
            }
            if (now > deadline)
                throw DriveError("the program did not become idle within 5 s of real time (a busy loop?)");
        }
        return true;
    }

    std::uint64_t Hand(const win32::InputEvent &event, win32::UserLock &)
    {
        if (finished) throw DriveError("the program has ended; nothing takes input any more");
        win32::PostInputLocked(*queue, event);
        return requested;
    }

    void Act(const win32::InputEvent &event)
    {
        win32::UserLock lock = win32::LockUser();
        WaitIdle(lock, Hand(event, lock));
    }
};

namespace {

std::string Describe(win32::Window *w)
{
    return "'" + w->text + "'";
}

std::string OpenWindows()
{
    std::string list;
    for (HWND h : win32::State().zOrder) {
        win32::Window *w = win32::Find(h);
        if (!w || !w->Visible()) continue;
        if (!list.empty()) list += ", ";
        list += Describe(w);
    }
    return list.empty() ? "none" : list;
}

// Visible top-level windows, topmost first.
template <typename Fn>
win32::Window *TopmostWhere(Fn accept)
{
    auto &z = win32::State().zOrder;
    for (auto it = z.rbegin(); it != z.rend(); ++it) {
        win32::Window *w = win32::Find(*it);
        if (w && w->Visible() && accept(w)) return w;
    }
    return nullptr;
}

win32::Window *ControlIn(win32::Window *top, int id)
{
    win32::Window *c = win32::FindChild(top, id);
    return c && c->Visible() ? c : nullptr;
}

win32::Window *TopmostWithControl(int id)
{
    return TopmostWhere([&](win32::Window *w) { return ControlIn(w, id) != nullptr; });
}

win32::Window *WindowCaptioned(const std::string &caption)
{
    return TopmostWhere([&](win32::Window *w) { return w->text == caption; });
}

win32::Window *ControlOrThrow(win32::Window *top, int id, const std::string &where)
{
    win32::Window *c = top ? ControlIn(top, id) : nullptr;
    if (!c) throw DriveError("no control " + std::to_string(id) + " in " + where + "; open windows: " + OpenWindows());
    return c;
}

}  // namespace

Session::Session(PcSetup setup) : impl_(new Impl)
{
    impl_->setup = std::move(setup);
    char pattern[] = "/tmp/tolvane-drive-XXXXXX";
    if (!mkdtemp(pattern)) throw DriveError("cannot make a temporary directory for the session");
    impl_->root = pattern;
    pcDir_ = impl_->root + "/pc";
    impl_->cwd = impl_->root + "/cwd";
    std::filesystem::create_directories(impl_->cwd);
    if (impl_->setup.programDirectory.empty()) impl_->setup.programDirectory = impl_->root + "/program";
    std::filesystem::create_directories(impl_->setup.programDirectory);
    impl_->processesBefore = win32::StartedProcessCount();

    pc::CreateOptions options;
    options.profile = impl_->setup.profile;
    options.virtualTime = true;
    options.virtualStartNs = LocalTimeToUtcNs(impl_->setup.localTime, impl_->setup.utcOffsetMinutes);
    options.hasUtcOffsetMinutes = true;
    options.utcOffsetMinutes = impl_->setup.utcOffsetMinutes;
    pc::Create(pcDir_, options);
    pc::Attach(pcDir_);

    impl_->oldCwd = std::filesystem::current_path().string();
    std::filesystem::current_path(impl_->cwd);
    // Each session is a fresh program: no classes of the last.
    win32::UnregisterProgramClasses();
    impl_->hooksBefore = win32::InstallUserHooks(impl_->Hooks());
    {
        // and a terminal of the session's size, whatever the last one left.
        win32::UserLock lock = win32::LockUser();
        win32::ChangeScreenSizeLocked(impl_->cols, impl_->rows);
    }
    win32::OverrideModuleFileName(impl_->setup.programDirectory + "/tolvane");
}

const std::string &Session::ProgramDirectory() const { return impl_->setup.programDirectory; }

Session::~Session()
{
    if (impl_->started) {
        for (int round = 0; round < 20 && Running(); ++round) {
            // Still running after an orderly attempt: perhaps waiting for a
            // child that will not end.
            if (round > 0) win32::TerminateStartedProcesses(impl_->processesBefore);
            try {
                if (TopMessageBox()) Key(VK_RETURN);
                else CloseCommand();
            } catch (const DriveError &) {
            }
        }
        if (Running()) {
            // A last resort: WM_QUIT ends every modal loop.
            win32::UserLock lock = win32::LockUser();
            win32::QuitQueueLocked(*impl_->queue, 0);
        }
        auto deadline = Clock::now() + kSafetyBound;
        while (Running() && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (Running()) {
            std::fprintf(stderr, "drive: the program would not end; leaving its thread behind\n");
            impl_->thread.detach();
        } else {
            impl_->thread.join();
        }
    }
    win32::TerminateStartedProcesses(impl_->processesBefore);
    win32::InstallUserHooks(std::move(impl_->hooksBefore));
    win32::OverrideModuleFileName("");
    std::error_code ignored;
    std::filesystem::current_path(impl_->oldCwd, ignored);
    std::filesystem::remove_all(impl_->root, ignored);
    delete impl_;
}

void Session::Start(EntryPoint entry)
{
    if (impl_->started) throw DriveError("the session has started already");
    impl_->started = true;
    std::atomic<bool> ready{false};
    impl_->thread = std::thread([this, entry, &ready] {
        {
            win32::UserLock lock = win32::LockUser();
            impl_->queue = win32::CurrentQueue();
        }
        pthread_getcpuclockid(pthread_self(), &impl_->cpuClock);
        ready = true;
        char commandLine[] = "";
        int code = 0;
        try {
            code = entry(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL);
        } catch (const win32::ProgramEnded &) {
            impl_->endedBySession = true;
        }
        impl_->exitCode = code;
        win32::UserLock lock = win32::LockUser();
        impl_->finished = true;
        impl_->idleChanged.notify_all();
    });
    while (!ready) std::this_thread::yield();
    win32::UserLock lock = win32::LockUser();
    impl_->WaitIdle(lock, 0);
}

bool Session::Running() const
{
    if (!impl_->started) return false;
    win32::UserLock lock = win32::LockUser();
    return !impl_->finished;
}

int Session::ExitCode() const { return impl_->exitCode; }

bool Session::EndedBySessionEnd() const { return impl_->endedBySession; }

void Session::Press(int id)
{
    win32::UserLock lock = win32::LockUser();
    win32::Window *top = TopmostWhere([&](win32::Window *w) {
        win32::Window *c = ControlIn(w, id);
        return c && win32::TakesInput(c);
    });
    if (!top) {
        win32::Window *any = TopmostWithControl(id);
        if (!any) throw DriveError("no open window has control " + std::to_string(id) + "; open windows: " + OpenWindows());
        win32::Window *c = ControlIn(any, id);
        throw DriveError("control " + std::to_string(id) + " ('" + c->text + "') of " + Describe(any) +
                         (c->Enabled() ? " cannot be pressed: its window is disabled (a modal box is open?)" : " is disabled"));
    }
    win32::Window *c = ControlIn(top, id);
    impl_->WaitIdle(lock, impl_->Hand({win32::InputEvent::kButtonDown, 0, false, c->handle}, lock));
}

void Session::PressIn(const std::string &caption, int id)
{
    win32::UserLock lock = win32::LockUser();
    win32::Window *top = WindowCaptioned(caption);
    if (!top) throw DriveError("no open window '" + caption + "'; open windows: " + OpenWindows());
    win32::Window *c = ControlOrThrow(top, id, Describe(top));
    if (!win32::TakesInput(c))
        throw DriveError("control " + std::to_string(id) + " ('" + c->text + "') of " + Describe(top) +
                         (c->Enabled() ? " cannot be pressed: its window is disabled" : " is disabled"));
    impl_->WaitIdle(lock, impl_->Hand({win32::InputEvent::kButtonDown, 0, false, c->handle}, lock));
}

void Session::Key(int vk, bool shift) { impl_->Act({win32::InputEvent::kKeyDown, vk, shift, nullptr}); }

void Session::CloseCommand() { impl_->Act({win32::InputEvent::kClose, 0, false, nullptr}); }

void Session::Answer(int id)
{
    win32::UserLock lock = win32::LockUser();
    win32::Window *top = TopmostWhere([&](win32::Window *w) { return impl_->OpenBox(w) != nullptr; });
    if (!top) throw DriveError("no message box is open; open windows: " + OpenWindows());
    win32::Window *button = ControlOrThrow(top, id, "the message box " + Describe(top));
    impl_->WaitIdle(lock, impl_->Hand({win32::InputEvent::kButtonDown, 0, false, button->handle}, lock));
}

void Session::Advance(int milliseconds)
{
    std::int64_t remaining = static_cast<std::int64_t>(milliseconds) * 1'000'000;
    // A program blocked outside its loop cannot take its timers; stepping on
    // would only cost a settle per step.
    bool blocked = false;
    while (remaining > 0) {
        std::int64_t step = std::min(remaining, kMaxStepNs);
        win32::UserLock lock = win32::LockUser();
        if (!impl_->finished) {
            std::int64_t due = impl_->queue->timers.NextDue() - pc::Now();
            if (due > 0 && due < step) step = due;
        }
        if (blocked) step = remaining;
        lock.unlock();
        pc::AdvanceVirtualTime(step);
        remaining -= step;
        lock.lock();
        if (!impl_->finished) {
            win32::NotifyQueueLocked(*impl_->queue);
            blocked = !impl_->WaitIdle(lock, impl_->requested);
        }
    }
}

void Session::Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!PostMessageA(hwnd, message, wParam, lParam))
        throw DriveError("cannot post message " + std::to_string(message) + ": no such window");
    win32::UserLock lock = win32::LockUser();
    impl_->WaitIdle(lock, impl_->requested);
}

LRESULT Session::Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!win32::SendToOtherThread(hwnd, message, wParam, lParam, result, 5000))
        throw DriveError("message " + std::to_string(message) + " was not answered within 5 s (no such window, or "
                         "the program is blocked)");
    win32::UserLock lock = win32::LockUser();
    impl_->WaitIdle(lock, impl_->requested);
    return result;
}

void Session::Wheel(const std::string &caption, int notches)
{
    win32::UserLock lock = win32::LockUser();
    win32::Window *top = WindowCaptioned(caption);
    if (!top) throw DriveError("no open window '" + caption + "'; open windows: " + OpenWindows());
    impl_->WaitIdle(lock, impl_->Hand({win32::InputEvent::kWheel, notches, false, top->handle}, lock));
}

void Session::Click(int column, int row)
{
    win32::UserLock lock = win32::LockUser();
    // Where the windows are is where the terminal last drew them.
    if (impl_->frame.Cols() != impl_->cols || impl_->frame.Rows() != impl_->rows)
        impl_->frame.Resize(impl_->cols, impl_->rows);
    screen::RenderScreen(impl_->frame);
    const screen::Hit hit = screen::HitTest(column, row);
    if (!hit.hwnd)
        throw DriveError("nothing to click at column " + std::to_string(column) + ", row " + std::to_string(row));
    const auto kind = screen::ActionForRegion(hit.region) == screen::Action::kClose ? win32::InputEvent::kClose
                                                                                    : win32::InputEvent::kButtonDown;
    impl_->WaitIdle(lock, impl_->Hand({kind, 0, false, hit.hwnd, column, row}, lock));
}

void Session::EndSession(bool really, bool forced)
{
    using win32::SessionEnd;
    win32::UserLock lock = win32::LockUser();
    if (impl_->finished) throw DriveError("the program has ended; there is no session to end");
    win32::RequestSessionEndLocked(*impl_->queue, !really ? SessionEnd::kCancelled
                                                  : forced ? SessionEnd::kForced : SessionEnd::kEnding);
    impl_->WaitIdle(lock, impl_->requested);
}

void Session::Resize(int columns, int rows)
{
    win32::UserLock lock = win32::LockUser();
    impl_->cols = columns;
    impl_->rows = rows;
    win32::ChangeScreenSizeLocked(columns, rows);
    // The windows fit themselves to it when the program next takes messages.
    if (impl_->queue && !impl_->finished) impl_->WaitIdle(lock, impl_->requested);
}

std::vector<std::string> Session::Captions() const
{
    win32::UserLock lock = win32::LockUser();
    std::vector<std::string> out;
    for (HWND h : win32::State().zOrder)
        if (win32::Window *w = win32::Find(h); w && w->Visible()) out.push_back(w->text);
    return out;
}

std::string Session::TopCaption() const
{
    auto captions = Captions();
    return captions.empty() ? std::string() : captions.back();
}

HWND Session::Window(const std::string &caption) const
{
    win32::UserLock lock = win32::LockUser();
    win32::Window *w = WindowCaptioned(caption);
    return w ? w->handle : nullptr;
}

std::string Session::Text(int id) const
{
    win32::UserLock lock = win32::LockUser();
    return ControlOrThrow(TopmostWithControl(id), id, "any open window")->text;
}

std::string Session::TextIn(const std::string &caption, int id) const
{
    win32::UserLock lock = win32::LockUser();
    return ControlOrThrow(WindowCaptioned(caption), id, "'" + caption + "'")->text;
}

bool Session::Enabled(int id) const
{
    win32::UserLock lock = win32::LockUser();
    return ControlOrThrow(TopmostWithControl(id), id, "any open window")->Enabled();
}

bool Session::EnabledIn(const std::string &caption, int id) const
{
    win32::UserLock lock = win32::LockUser();
    return ControlOrThrow(WindowCaptioned(caption), id, "'" + caption + "'")->Enabled();
}

bool Session::Checked(int id) const
{
    win32::UserLock lock = win32::LockUser();
    const win32::Window *c = ControlOrThrow(TopmostWithControl(id), id, "any open window");
    return (win32::ButtonStateLocked(*c) & (BST_CHECKED | BST_INDETERMINATE)) == BST_CHECKED;
}

std::vector<std::string> Session::Lines(int listBoxId) const
{
    win32::UserLock lock = win32::LockUser();
    win32::Window *c = ControlOrThrow(TopmostWithControl(listBoxId), listBoxId, "any open window");
    const win32::ListBoxView list = win32::ListBoxViewLocked(*c);
    return std::vector<std::string>(list.lines.begin(), list.lines.end());
}

std::optional<MessageBoxRecord> Session::TopMessageBox() const
{
    win32::UserLock lock = win32::LockUser();
    win32::Window *top = TopmostWhere([&](win32::Window *w) { return impl_->OpenBox(w) != nullptr; });
    if (!top) return std::nullopt;
    return impl_->OpenBox(top)->record;
}

const std::vector<MessageBoxRecord> &Session::MessageBoxes() const
{
    win32::UserLock lock = win32::LockUser();
    boxes_.clear();
    for (const Impl::ShownBox &shown : impl_->boxes) boxes_.push_back(shown.record);
    return boxes_;
}

int Session::Beeps() const
{
    win32::UserLock lock = win32::LockUser();
    return impl_->beeps;
}

std::string Session::Screen() const
{
    win32::UserLock lock = win32::LockUser();
    if (impl_->frame.Cols() != impl_->cols || impl_->frame.Rows() != impl_->rows)
        impl_->frame.Resize(impl_->cols, impl_->rows);
    screen::RenderScreen(impl_->frame);
    return impl_->frame.ToText();
}

std::optional<HelpWindowRecord> Session::HelpWindow() const
{
    win32::UserLock lock = win32::LockUser();
    std::optional<win32::HelpWindowView> view = win32::HelpWindowLocked();
    if (!view) return std::nullopt;
    HelpWindowRecord record;
    record.caption = view->caption;
    record.title = view->title;
    record.heading = view->heading;
    const int end = std::min(static_cast<int>(view->lines.size()), view->top + view->rows);
    for (int i = view->top; i < end; ++i) record.shown.push_back(view->lines[static_cast<size_t>(i)]);
    record.jumps = view->jumps;
    if (view->selected >= 0) record.selected = view->jumps[static_cast<size_t>(view->selected)];
    record.status = view->status;
    record.firstLine = view->top + 1;
    record.lineCount = static_cast<int>(view->lines.size());
    return record;
}

}  // namespace drive
