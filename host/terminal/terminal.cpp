// Signals only write a byte to the self-pipe; all their work is done here, in
// the program's own thread, when the wait wakes: so a stop (SIGTSTP) gives the
// terminal back once, in the loop, not around every update. Every signal that would end the
// process is an end of its session. On the virtual clock a watcher
// thread writes a byte whenever the clock moves, so timers fire without the
// loop polling.
#include "terminal/terminal.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <cerrno>

#include "pc/session.h"
#include "pc/timesource.h"
#include "terminal/render.h"
#include "user/display_change.h"
#include "user/message.h"
#include "user/session_end.h"
#include "user/window.h"

namespace terminal {

namespace {

int gPipe[2] = {-1, -1};

void Post(char event)
{
    if (gPipe[1] >= 0) {
        int saved = errno;
        ssize_t ignored = write(gPipe[1], &event, 1);
        (void)ignored;
        errno = saved;
    }
}

void OnSignal(int sig, siginfo_t *info, void *)
{
    if (sig == SIGWINCH) {
        Post('W');
        return;
    }
    if (sig == SIGTSTP) {
        Post('Z');
        return;
    }
    // Ctrl+C: the loop decides what it is, by whether windows are shown.
    if (sig == SIGINT) {
        Post('C');
        return;
    }
    if (sig == pc::SignalOf(pc::SessionEndKind::kCancelled) && info->si_code == SI_QUEUE &&
        info->si_value.sival_int == pc::kCancelledEndValue) {
        Post('U');
        return;
    }
    pc::SessionEndKind kind;
    if (pc::SessionEndOfSignal(sig, kind))
        Post(kind == pc::SessionEndKind::kForcedEnd ? 'H' : 'T');
}

void Install(int sig)
{
    struct sigaction sa {};
    sa.sa_sigaction = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART | SA_SIGINFO;
    sigaction(sig, &sa, nullptr);
}

}  // namespace

void Terminal::Open()
{
    if (gPipe[0] < 0 && pipe(gPipe) == 0) {
        for (int fd : gPipe)
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(gPipe[0], F_SETFD, FD_CLOEXEC);
        fcntl(gPipe[1], F_SETFD, FD_CLOEXEC);
    }
    // Whoever started the program may have blocked some of them; the threads
    // started from here on inherit the mask.
    sigset_t handled;
    sigemptyset(&handled);
    Install(SIGWINCH);
    // Before curses starts, which then leaves the stop to us.
    Install(SIGTSTP);
    sigaddset(&handled, SIGTSTP);
    for (int sig : pc::SessionEndSignals()) {
        Install(sig);
        sigaddset(&handled, sig);
    }
    pthread_sigmask(SIG_UNBLOCK, &handled, nullptr);
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    epoll_event pipeEvent{};
    pipeEvent.events = EPOLLIN;
    pipeEvent.data.fd = gPipe[0];
    epoll_ctl(epoll_, EPOLL_CTL_ADD, gPipe[0], &pipeEvent);
    if (pc::IsVirtualTime()) {
        // Read here, not on the new thread: a move made before that thread
        // runs would otherwise never be told of.
        clockWatch_ = std::thread([this, last = pc::Now()]() mutable {
            while (!stopping_) {
                pc::WaitForTimeChange(500'000);
                std::int64_t now = pc::Now();
                // One wake-up at a time: the program's own port accesses move
                // the clock too, many times a tick.
                if (now != last && !clockMoved_.exchange(true)) {
                    last = now;
                    Post('t');
                }
            }
        });
    }
    user::SetFrontEnd(this);
}

void Terminal::Close()
{
    user::SetFrontEnd(nullptr);
    stopping_ = true;
    if (clockWatch_.joinable()) {
        // Else the watch sleeps out its wait before it sees that it is to stop.
        pc::WakeTimeWaiters();
        clockWatch_.join();
    }
    display_.Stop();
    if (epoll_ >= 0)
        close(epoll_);
    epoll_ = -1;
    inputWatched_ = false;
}

void Terminal::Restore()
{
    display_.Stop();
}

bool Terminal::FollowSize()
{
    resized_ = false;
    int cols = 80, rows = 24;
    display_.QuerySize(cols, rows);
    if (cols == frame_.Cols() && rows == frame_.Rows())
        return false;
    display_.Resize(cols, rows);
    frame_.Resize(cols, rows);
    user::ChangeScreenSizeLocked(cols, rows);
    // Back to the loop, which hands the windows WM_DISPLAYCHANGE and comes here again.
    user::NotifyQueueLocked(*user::CurrentQueue());
    return true;
}

void Terminal::Idle()
{
    if (!display_.Started()) {
        int cols, rows;
        NeededSize(cols, rows);
        if (cols == 0)
            return;  // nothing shown yet
        std::string why;
        if (!display_.Start(why))
            throw TerminalMissing{why};
        resized_ = true;
    }
    if (resized_) {
        redrawAll_ = true;
        // The windows fit themselves to a new size before it is drawn.
        if (FollowSize())
            return;
    }
    if (drawnGeneration_ == user::State().generation && !redrawAll_)
        return;
    drawnGeneration_ = user::State().generation;
    user::CellRect area;
    const bool partial = user::TakeDamage(area) && !redrawAll_;
    int cols, rows;
    NeededSize(cols, rows);
    tooSmall_ = cols > frame_.Cols() || rows > frame_.Rows();
    // A frame drawn whole is also compared whole: after a resize or a
    // clear the terminal shows none of it.
    const user::CellRect whole{0, 0, frame_.Cols(), frame_.Rows()};
    if (!partial || tooSmall_) {
        RenderScreen(frame_, display_.ShownLook(), pointer_.PushedCloseBox());
        area = whole;
    } else if (area.Intersects(whole)) {
        RenderArea(frame_, display_.ShownLook(), area, pointer_.PushedCloseBox());
    } else {
        return;
    }
    redrawAll_ = false;
    display_.Show(frame_, area);
}

void Terminal::Wait(std::int64_t timeoutNs)
{
    if (display_.Started() && !inputGone_ && !inputWatched_) {
        epoll_event inputEvent{};
        inputEvent.events = EPOLLIN;
        inputEvent.data.fd = display_.InputFd();
        inputWatched_ = epoll_ctl(epoll_, EPOLL_CTL_ADD, display_.InputFd(), &inputEvent) == 0;
    }
    int timeoutMs = timeoutNs < 0 ? -1 : static_cast<int>((timeoutNs + 999'999) / 1'000'000);
    epoll_event events[2];
    const int ready = epoll_wait(epoll_, events, 2, timeoutMs);
    for (int i = 0; i < ready; ++i) {
        if (events[i].data.fd == gPipe[0]) {
            char bytes[64];
            ssize_t n;
            while ((n = read(gPipe[0], bytes, sizeof bytes)) > 0)
                for (ssize_t k = 0; k < n; ++k)
                    HandleSignalByte(bytes[k]);
            continue;
        }
        if (!inputWatched_)
            continue;  // a hang-up handled above in this same round
        if (events[i].events & EPOLLIN)
            for (RawInput in = display_.Read(); in.kind != RawInput::kNone; in = display_.Read())
                HandleInput(in);
        // A terminal that has hung up is the end of the user's session,
        // whether or not a SIGHUP reaches us. It says so at every wait, so it
        // is waited on no more, or the loop would spin while that end runs.
        if (events[i].events & (EPOLLHUP | EPOLLERR)) {
            epoll_ctl(epoll_, EPOLL_CTL_DEL, display_.InputFd(), nullptr);
            inputWatched_ = false;
            inputGone_ = true;
            user::RequestSessionEnd(user::SessionEnd::kForced);
        }
    }
}

void Terminal::Wake()
{
    Post('w');
}

void Terminal::Beep()
{
    display_.Bell();
}

void Terminal::HandleSignalByte(char event)
{
    switch (event) {
    case 'W':
        Apply(Action::kResize);
        break;
    // Ctrl+C is the close command of the window shown; with none to close (a
    // program without windows, or one whose terminal has gone), it asks the
    // program to end, as it would any program.
    case 'C':
        if (display_.Started() && !inputGone_)
            Apply(Action::kClose);
        else
            user::RequestSessionEnd(user::SessionEnd::kEnding);
        break;
    // The end of the session, delivered by the loop; when it ends the program,
    // main() gives the terminal back.
    case 'T':
        user::RequestSessionEnd(user::SessionEnd::kEnding);
        break;
    case 'H':
        user::RequestSessionEnd(user::SessionEnd::kForced);
        break;
    case 'U':
        user::RequestSessionEnd(user::SessionEnd::kCancelled);
        break;
    case 't':
        clockMoved_ = false;
        break;
    case 'Z':
        StopAndContinue();
        break;
    default:
        break;  // 'w': woken; the loop looks again
    }
}

void Terminal::StopAndContinue()
{
    display_.Suspend();
    // Stopped as the signal would have stopped it, so that the shell sees a
    // job stopped from the terminal; on from here once continued.
    signal(SIGTSTP, SIG_DFL);
    raise(SIGTSTP);
    Install(SIGTSTP);
    display_.Resume();
    // The terminal may have changed size meanwhile.
    user::UserLock lock = user::LockUser();
    resized_ = true;
}

void Terminal::HandleInput(const RawInput &in)
{
    const Action action = ActionForInput(in);
    switch (action) {
    case Action::kPress:
    case Action::kMove:
    case Action::kRelease:
    case Action::kWheel: {
        user::UserLock lock = user::LockUser();
        // Windows the user cannot see take no mouse.
        const Hit hit = tooSmall_ ? Hit{} : HitTest(in.x, in.y);
        auto queue = user::CurrentQueue();
        if (action == Action::kPress)
            pointer_.Press(*queue, hit, in.x, in.y);
        else if (action == Action::kMove)
            pointer_.Move(*queue, hit, in.x, in.y);
        else if (action == Action::kRelease)
            pointer_.Release(*queue, hit, in.x, in.y);
        else if (hit.hwnd)
            user::PostInputLocked(*queue, {user::InputEvent::kWheel, in.notches, false, hit.hwnd});
        return;
    }
    default:
        Apply(action);
        return;
    }
}

void Terminal::Apply(Action action)
{
    auto queue = user::CurrentQueue();
    user::UserLock lock = user::LockUser();
    switch (action) {
    case Action::kNone:
        return;
    case Action::kResize:
        resized_ = true;
        user::NotifyQueueLocked(*queue);
        return;
    case Action::kRedraw:
        display_.Resize(frame_.Cols(), frame_.Rows());
        redrawAll_ = true;
        user::NotifyQueueLocked(*queue);
        return;
    case Action::kClose:
        user::PostInputLocked(*queue, {user::InputEvent::kClose, 0, false, nullptr});
        return;
    default: {
        int vk;
        bool shift;
        // Keys to windows the user cannot see would act blind.
        if (tooSmall_ || !KeyForAction(action, vk, shift))
            return;
        user::PostInputLocked(*queue, {user::InputEvent::kKeyDown, vk, shift, nullptr});
        return;
    }
    }
}

}  // namespace terminal
