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

#include "kernel/module.h"
#include "kernel/process.h"
#include "pc/calendar.h"
#include "pc/machine.h"
#include "pc/timesource.h"
#include "terminal/cells.h"
#include "terminal/keymap.h"
#include "terminal/pointer.h"
#include "terminal/render.h"
#include "user/class.h"
#include "user/display_change.h"
#include "user/hooks.h"
#include "user/message.h"
#include "user/session_end.h"
#include "user/window.h"
#include "winhelp/viewer.h"

namespace automation {

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
        throw DriveError(
            "PcSetup.localTime must read YYYY-MM-DD HH:MM:SS.mmm, a real date and time, not '" +
            text + "'");
    return pc::UnixNsFromLocal(*local, utcOffsetMinutes);
}

std::int64_t CpuNs(clockid_t clock)
{
    timespec ts{};
    if (clock_gettime(clock, &ts) != 0)
        return 0;
    return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

}  // namespace

struct Session::Impl {
    PcSetup setup;
    std::string root, cwd, oldCwd;
    std::thread thread;
    std::shared_ptr<user::Queue> queue;
    clockid_t cpuClock{};
    bool started = false;
    bool finished = false;              // under the user lock
    std::uint64_t processesBefore = 0;  // processes this test binary had started before the session
    std::atomic<bool> endedBySession{false};
    std::string fault;  // under the user lock
    std::atomic<int> exitCode{0};
    int cols = 80, rows = 24;
    mutable terminal::CellBuffer frame;
    terminal::Pointer pointer;

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
    user::UserHooks hooksBefore;

    user::UserHooks Hooks()
    {
        user::UserHooks hooks;
        hooks.messageBoxShown = [this](HWND box, const std::string &text,
                                       const std::string &caption, UINT type) {
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
        hooks.queueNotified = [this](const user::Queue &q) {
            if (&q == queue.get())
                ++requested;
        };
        hooks.queueIdle = [this](const user::Queue &q, bool nowIdle) {
            if (&q != queue.get())
                return;
            if (nowIdle)
                acknowledged = requested;
            idle = nowIdle;
            idleChanged.notify_all();
        };
        return hooks;
    }

    // With the lock held: the open message box `w`, if it is one.
    const ShownBox *OpenBox(const user::Window *w) const
    {
        for (const ShownBox &shown : boxes)
            if (shown.hwnd && shown.hwnd == w->handle)
                return &shown;
        return nullptr;
    }

    // With the lock held: waits until the program has taken what `seq`
    // counts and waits again, has ended, or is blocked outside a loop.
    // False when it returned because the program is blocked.
    bool WaitIdle(user::UserLock &lock, std::uint64_t seq)
    {
        auto done = [&] { return finished || (idle && acknowledged >= seq); };
        const auto deadline = Clock::now() + kSafetyBound;
        auto sliceStart = Clock::now();
        std::int64_t sliceCpu = CpuNs(cpuClock);
        while (!done()) {
            idleChanged.wait_for(lock, std::chrono::milliseconds(20));
            if (done())
                return true;
            auto now = Clock::now();
            if (now - sliceStart >= kSettle) {
                std::int64_t cpu = CpuNs(cpuClock);
                if (cpu - sliceCpu < kSettleCpuNs)
                    return false;  // blocked, not busy
                sliceStart = now;
                sliceCpu = cpu;
            }
            if (now > deadline)
                throw DriveError(
                    "the program did not become idle within 5 s of real time (a busy loop?)");
        }
        return true;
    }

    std::uint64_t Hand(const user::InputEvent &event, user::UserLock &)
    {
        if (finished)
            throw DriveError("the program has ended; nothing takes input any more");
        user::PostInputLocked(*queue, event);
        return requested;
    }

    void Act(const user::InputEvent &event)
    {
        user::UserLock lock = user::LockUser();
        WaitIdle(lock, Hand(event, lock));
    }

    // The mouse as the terminal hands it on, over what it last drew there.
    void Mouse(terminal::Action action, int column, int row)
    {
        user::UserLock lock = user::LockUser();
        if (finished)
            throw DriveError("the program has ended; nothing takes input any more");
        Draw();
        const terminal::Hit hit = terminal::HitTest(column, row);
        if (action == terminal::Action::kPress && !hit.hwnd)
            throw DriveError("nothing to press at column " + std::to_string(column) + ", row " +
                             std::to_string(row));
        if (action == terminal::Action::kPress)
            pointer.Press(*queue, hit, column, row);
        else if (action == terminal::Action::kMove)
            pointer.Move(*queue, hit, column, row);
        else
            pointer.Release(*queue, hit, column, row);
        WaitIdle(lock, requested);
    }

    // With the lock held: the screen in the monochrome look.
    void Draw() const
    {
        if (frame.Cols() != cols || frame.Rows() != rows)
            frame.Resize(cols, rows);
        terminal::RenderScreen(frame, terminal::Look::kMonochrome, pointer.PushedCloseBox());
    }
};

namespace {

std::string Describe(user::Window *w)
{
    return "'" + w->text + "'";
}

std::string OpenWindows()
{
    std::string list;
    for (HWND h : user::State().zOrder) {
        user::Window *w = user::Find(h);
        if (!w || !w->Visible())
            continue;
        if (!list.empty())
            list += ", ";
        list += Describe(w);
    }
    return list.empty() ? "none" : list;
}

// Visible top-level windows, topmost first.
template <typename Fn>
user::Window *TopmostWhere(Fn accept)
{
    auto &z = user::State().zOrder;
    for (auto it = z.rbegin(); it != z.rend(); ++it) {
        user::Window *w = user::Find(*it);
        if (w && w->Visible() && accept(w))
            return w;
    }
    return nullptr;
}

user::Window *ControlIn(user::Window *top, int id)
{
    user::Window *c = user::FindChild(top, id);
    return c && c->Visible() ? c : nullptr;
}

user::Window *TopmostWithControl(int id)
{
    return TopmostWhere([&](user::Window *w) { return ControlIn(w, id) != nullptr; });
}

user::Window *WindowCaptioned(const std::string &caption)
{
    return TopmostWhere([&](user::Window *w) { return w->text == caption; });
}

user::Window *ControlOrThrow(user::Window *top, int id, const std::string &where)
{
    user::Window *c = top ? ControlIn(top, id) : nullptr;
    if (!c)
        throw DriveError("no control " + std::to_string(id) + " in " + where +
                         "; open windows: " + OpenWindows());
    return c;
}

}  // namespace

Session::Session(PcSetup setup) : impl_(new Impl)
{
    impl_->setup = std::move(setup);
    char pattern[] = "/tmp/tolvane-automation-XXXXXX";
    if (!mkdtemp(pattern))
        throw DriveError("cannot make a temporary directory for the session");
    impl_->root = pattern;
    pcDir_ = impl_->root + "/pc";
    impl_->cwd = impl_->root + "/cwd";
    std::filesystem::create_directories(impl_->cwd);
    if (impl_->setup.programDirectory.empty())
        impl_->setup.programDirectory = impl_->root + "/program";
    std::filesystem::create_directories(impl_->setup.programDirectory);
    impl_->processesBefore = kernel::StartedProcessCount();

    pc::CreateOptions options;
    options.profile = impl_->setup.profile;
    options.virtualTime = true;
    options.virtualStartNs =
        LocalTimeToUtcNs(impl_->setup.localTime, impl_->setup.utcOffsetMinutes);
    options.hasUtcOffsetMinutes = true;
    options.utcOffsetMinutes = impl_->setup.utcOffsetMinutes;
    pc::Create(pcDir_, options);
    pc::Attach(pcDir_);

    impl_->oldCwd = std::filesystem::current_path().string();
    std::filesystem::current_path(impl_->cwd);
    // Each session is a fresh program: no classes of the last.
    user::UnregisterProgramClasses();
    impl_->hooksBefore = user::InstallUserHooks(impl_->Hooks());
    {
        // and a terminal of the session's size, whatever the last one left.
        user::UserLock lock = user::LockUser();
        user::ChangeScreenSizeLocked(impl_->cols, impl_->rows);
    }
    kernel::OverrideModuleFileName(impl_->setup.programDirectory + "/tolvane");
    // The program's help requests reach the help viewer, as in a host program.
    winhelp::InstallViewer();
}

const std::string &Session::ProgramDirectory() const
{
    return impl_->setup.programDirectory;
}

Session::~Session()
{
    if (impl_->started) {
        for (int round = 0; round < 20 && Running(); ++round) {
            // Still running after an orderly attempt: perhaps waiting for a
            // child that will not end.
            if (round > 0)
                kernel::TerminateStartedProcesses(impl_->processesBefore);
            try {
                if (TopMessageBox())
                    Key(VK_RETURN);
                else
                    CloseCommand();
            } catch (const DriveError &) {
            }
        }
        if (Running()) {
            // A last resort: WM_QUIT ends every modal loop.
            user::UserLock lock = user::LockUser();
            user::QuitQueueLocked(*impl_->queue, 0);
        }
        auto deadline = Clock::now() + kSafetyBound;
        while (Running() && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (Running()) {
            std::fprintf(stderr,
                         "automation: the program would not end; leaving its thread behind\n");
            impl_->thread.detach();
        } else {
            impl_->thread.join();
        }
    }
    kernel::TerminateStartedProcesses(impl_->processesBefore);
    user::InstallUserHooks(std::move(impl_->hooksBefore));
    kernel::OverrideModuleFileName("");
    std::error_code ignored;
    std::filesystem::current_path(impl_->oldCwd, ignored);
    std::filesystem::remove_all(impl_->root, ignored);
    delete impl_;
}

void Session::Start(EntryPoint entry)
{
    if (impl_->started)
        throw DriveError("the session has started already");
    impl_->started = true;
    std::atomic<bool> ready{false};
    impl_->thread = std::thread([this, entry, &ready] {
        {
            user::UserLock lock = user::LockUser();
            impl_->queue = user::CurrentQueue();
        }
        pthread_getcpuclockid(pthread_self(), &impl_->cpuClock);
        ready = true;
        char commandLine[] = "";
        int code = 0;
        std::string fault;
        try {
            code = entry(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL);
        } catch (const user::ProgramEnded &) {
            impl_->endedBySession = true;
        } catch (const std::exception &e) {
            fault = e.what();
        }
        // As the host's main() does it.
        if (!fault.empty())
            user::EndSessionAfterFault();
        impl_->exitCode = code;
        user::UserLock lock = user::LockUser();
        impl_->fault = fault;
        impl_->finished = true;
        impl_->idleChanged.notify_all();
    });
    while (!ready)
        std::this_thread::yield();
    user::UserLock lock = user::LockUser();
    impl_->WaitIdle(lock, 0);
}

bool Session::Running() const
{
    if (!impl_->started)
        return false;
    user::UserLock lock = user::LockUser();
    return !impl_->finished;
}

int Session::ExitCode() const
{
    return impl_->exitCode;
}

bool Session::EndedBySessionEnd() const
{
    return impl_->endedBySession;
}

std::string Session::Fault() const
{
    user::UserLock lock = user::LockUser();
    return impl_->fault;
}

void Session::Press(int id)
{
    user::UserLock lock = user::LockUser();
    user::Window *top = TopmostWhere([&](user::Window *w) {
        user::Window *c = ControlIn(w, id);
        return c && user::TakesInput(c);
    });
    if (!top) {
        user::Window *any = TopmostWithControl(id);
        if (!any)
            throw DriveError("no open window has control " + std::to_string(id) +
                             "; open windows: " + OpenWindows());
        user::Window *c = ControlIn(any, id);
        throw DriveError(
            "control " + std::to_string(id) + " ('" + c->text + "') of " + Describe(any) +
            (c->Enabled() ? " cannot be pressed: its window is disabled (a modal box is open?)"
                          : " is disabled"));
    }
    user::Window *c = ControlIn(top, id);
    impl_->WaitIdle(lock, impl_->Hand({user::InputEvent::kButtonDown, 0, false, c->handle}, lock));
}

void Session::PressIn(const std::string &caption, int id)
{
    user::UserLock lock = user::LockUser();
    user::Window *top = WindowCaptioned(caption);
    if (!top)
        throw DriveError("no open window '" + caption + "'; open windows: " + OpenWindows());
    user::Window *c = ControlOrThrow(top, id, Describe(top));
    if (!user::TakesInput(c))
        throw DriveError(
            "control " + std::to_string(id) + " ('" + c->text + "') of " + Describe(top) +
            (c->Enabled() ? " cannot be pressed: its window is disabled" : " is disabled"));
    impl_->WaitIdle(lock, impl_->Hand({user::InputEvent::kButtonDown, 0, false, c->handle}, lock));
}

void Session::Key(int vk, bool shift)
{
    impl_->Act({user::InputEvent::kKeyDown, vk, shift, nullptr});
}

void Session::CloseCommand()
{
    impl_->Act({user::InputEvent::kClose, 0, false, nullptr});
}

void Session::Answer(int id)
{
    user::UserLock lock = user::LockUser();
    user::Window *top = TopmostWhere([&](user::Window *w) { return impl_->OpenBox(w) != nullptr; });
    if (!top)
        throw DriveError("no message box is open; open windows: " + OpenWindows());
    user::Window *button = ControlOrThrow(top, id, "the message box " + Describe(top));
    impl_->WaitIdle(lock,
                    impl_->Hand({user::InputEvent::kButtonDown, 0, false, button->handle}, lock));
}

void Session::Advance(int milliseconds)
{
    std::int64_t remaining = static_cast<std::int64_t>(milliseconds) * 1'000'000;
    // A program blocked outside its loop cannot take its timers; stepping on
    // would only cost a settle per step.
    bool blocked = false;
    while (remaining > 0) {
        std::int64_t step = std::min(remaining, kMaxStepNs);
        user::UserLock lock = user::LockUser();
        if (!impl_->finished) {
            std::int64_t due = impl_->queue->timers.NextDue() - pc::Now();
            if (due > 0 && due < step)
                step = due;
        }
        if (blocked)
            step = remaining;
        lock.unlock();
        pc::AdvanceVirtualTime(step);
        remaining -= step;
        lock.lock();
        if (!impl_->finished) {
            user::NotifyQueueLocked(*impl_->queue);
            blocked = !impl_->WaitIdle(lock, impl_->requested);
        }
    }
}

void Session::Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!PostMessageA(hwnd, message, wParam, lParam))
        throw DriveError("cannot post message " + std::to_string(message) + ": no such window");
    user::UserLock lock = user::LockUser();
    impl_->WaitIdle(lock, impl_->requested);
}

LRESULT Session::Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!user::SendToOtherThread(hwnd, message, wParam, lParam, result, 5000))
        throw DriveError("message " + std::to_string(message) +
                         " was not answered within 5 s (no such window, or "
                         "the program is blocked)");
    user::UserLock lock = user::LockUser();
    impl_->WaitIdle(lock, impl_->requested);
    return result;
}

void Session::Wheel(const std::string &caption, int notches)
{
    user::UserLock lock = user::LockUser();
    user::Window *top = WindowCaptioned(caption);
    if (!top)
        throw DriveError("no open window '" + caption + "'; open windows: " + OpenWindows());
    impl_->WaitIdle(lock,
                    impl_->Hand({user::InputEvent::kWheel, notches, false, top->handle}, lock));
}

void Session::MouseDown(int column, int row)
{
    impl_->Mouse(terminal::Action::kPress, column, row);
}

void Session::MouseMove(int column, int row)
{
    impl_->Mouse(terminal::Action::kMove, column, row);
}

void Session::MouseUp(int column, int row)
{
    impl_->Mouse(terminal::Action::kRelease, column, row);
}

void Session::Click(int column, int row)
{
    MouseDown(column, row);
    MouseUp(column, row);
}

void Session::EndSession(bool really, bool forced)
{
    using user::SessionEnd;
    user::UserLock lock = user::LockUser();
    if (impl_->finished)
        throw DriveError("the program has ended; there is no session to end");
    user::RequestSessionEndLocked(*impl_->queue, !really  ? SessionEnd::kCancelled
                                                 : forced ? SessionEnd::kForced
                                                          : SessionEnd::kEnding);
    impl_->WaitIdle(lock, impl_->requested);
}

void Session::Resize(int columns, int rows)
{
    user::UserLock lock = user::LockUser();
    impl_->cols = columns;
    impl_->rows = rows;
    user::ChangeScreenSizeLocked(columns, rows);
    // The windows fit themselves to it when the program next takes messages.
    if (impl_->queue && !impl_->finished)
        impl_->WaitIdle(lock, impl_->requested);
}

std::vector<std::string> Session::Captions() const
{
    user::UserLock lock = user::LockUser();
    std::vector<std::string> out;
    for (HWND h : user::State().zOrder)
        if (user::Window *w = user::Find(h); w && w->Visible())
            out.push_back(w->text);
    return out;
}

std::string Session::TopCaption() const
{
    auto captions = Captions();
    return captions.empty() ? std::string() : captions.back();
}

HWND Session::Window(const std::string &caption) const
{
    user::UserLock lock = user::LockUser();
    user::Window *w = WindowCaptioned(caption);
    return w ? w->handle : nullptr;
}

std::string Session::Text(int id) const
{
    user::UserLock lock = user::LockUser();
    return ControlOrThrow(TopmostWithControl(id), id, "any open window")->text;
}

std::string Session::TextIn(const std::string &caption, int id) const
{
    user::UserLock lock = user::LockUser();
    return ControlOrThrow(WindowCaptioned(caption), id, "'" + caption + "'")->text;
}

bool Session::Enabled(int id) const
{
    user::UserLock lock = user::LockUser();
    return ControlOrThrow(TopmostWithControl(id), id, "any open window")->Enabled();
}

bool Session::EnabledIn(const std::string &caption, int id) const
{
    user::UserLock lock = user::LockUser();
    return ControlOrThrow(WindowCaptioned(caption), id, "'" + caption + "'")->Enabled();
}

bool Session::Checked(int id) const
{
    user::UserLock lock = user::LockUser();
    const user::Window *c = ControlOrThrow(TopmostWithControl(id), id, "any open window");
    return (user::ButtonStateLocked(*c) & (BST_CHECKED | BST_INDETERMINATE)) == BST_CHECKED;
}

std::vector<std::string> Session::Lines(int listBoxId) const
{
    user::UserLock lock = user::LockUser();
    user::Window *c = ControlOrThrow(TopmostWithControl(listBoxId), listBoxId, "any open window");
    const user::ListBoxView list = user::ListBoxViewLocked(*c);
    return std::vector<std::string>(list.lines.begin(), list.lines.end());
}

std::optional<MessageBoxRecord> Session::TopMessageBox() const
{
    user::UserLock lock = user::LockUser();
    user::Window *top = TopmostWhere([&](user::Window *w) { return impl_->OpenBox(w) != nullptr; });
    if (!top)
        return std::nullopt;
    return impl_->OpenBox(top)->record;
}

const std::vector<MessageBoxRecord> &Session::MessageBoxes() const
{
    user::UserLock lock = user::LockUser();
    boxes_.clear();
    for (const Impl::ShownBox &shown : impl_->boxes)
        boxes_.push_back(shown.record);
    return boxes_;
}

int Session::Beeps() const
{
    user::UserLock lock = user::LockUser();
    return impl_->beeps;
}

std::string Session::Screen() const
{
    user::UserLock lock = user::LockUser();
    impl_->Draw();
    return impl_->frame.ToText();
}

std::optional<HelpWindowRecord> Session::HelpWindow() const
{
    user::UserLock lock = user::LockUser();
    std::optional<winhelp::HelpWindowView> view = winhelp::HelpWindowLocked();
    if (!view)
        return std::nullopt;
    HelpWindowRecord record;
    record.caption = view->caption;
    record.title = view->title;
    record.heading = view->heading;
    const int end = std::min(static_cast<int>(view->lines.size()), view->top + view->rows);
    for (int i = view->top; i < end; ++i)
        record.shown.push_back(view->lines[static_cast<size_t>(i)]);
    record.jumps = view->jumps;
    if (view->selected >= 0)
        record.selected = view->jumps[static_cast<size_t>(view->selected)];
    record.status = view->status;
    record.firstLine = view->top + 1;
    record.lineCount = static_cast<int>(view->lines.size());
    return record;
}

}  // namespace automation
