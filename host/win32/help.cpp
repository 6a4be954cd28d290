// WinHelpA and the help window: HELP_CONTENTS opens the file at its start,
// HELP_QUIT closes the window. The window scrolls with the arrows, PgUp, PgDn,
// Home, End and the wheel, goes from topic to topic with Tab and Shift+Tab,
// and closes with Escape, its close box or the close command. Like the Windows
// help engine it is nobody's owned window: the program stays live beside it.
#include "win32/help.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "screen/layout.h"
#include "win32/class.h"
#include "win32/message.h"
#include "win32/module.h"
#include "win32/window.h"

namespace win32 {

namespace {

constexpr int kTextId = 0xFFF0;
constexpr int kStatusId = 0xFFF1;
// Wide enough for a help file's lines; the window never outgrows the screen.
constexpr int kMaxCols = 80;
constexpr int kMaxRows = 30;
constexpr int kMinRows = 6;
constexpr int kWheelLines = 3;  // per notch, as Windows scrolls by default
constexpr int kMargin = 1;      // columns between the frame and the text

// One help window per process, under the user lock.
std::unique_ptr<HelpWindowView> &Help()
{
    static std::unique_ptr<HelpWindowView> help;
    return help;
}

int TextCols(const Window *w)
{
    return std::max(1, w->clientCols - 2 * kMargin);
}

std::vector<std::string> ReadLines(const std::string &path, bool &ok)
{
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    ok = static_cast<bool>(in);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string expanded;
        for (char c : line) {
            if (c == '\t') expanded.append(8 - expanded.size() % 8, ' ');
            else expanded += c;
        }
        lines.push_back(std::move(expanded));
    }
    return lines;
}

bool IsUnderline(const std::string &line)
{
    if (line.size() < 3) return false;
    return std::all_of(line.begin(), line.end(), [&](char c) { return c == line[0]; }) &&
           (line[0] == '-' || line[0] == '=');
}

bool IsBlank(const std::string &line)
{
    return line.find_first_not_of(' ') == std::string::npos;
}

// Wraps the file to `width` columns and finds its topics.
void Wrap(HelpWindowView &view, int width)
{
    const std::vector<std::string> &raw = view.source;
    view.lines.clear();
    view.sourceOf.clear();
    view.topics.clear();
    for (size_t i = 0; i < raw.size(); ++i) {
        if (i + 1 < raw.size() && !IsBlank(raw[i]) && IsUnderline(raw[i + 1])) {
            std::string title = raw[i].substr(raw[i].find_first_not_of(' '));
            view.topics.push_back({title, static_cast<int>(view.lines.size())});
        }
        screen::WrapText(raw[i], width, [&](std::string_view piece) {
            view.lines.emplace_back(piece);
            view.sourceOf.push_back(static_cast<int>(i));
        });
    }
}

int MaxTop(const HelpWindowView &view)
{
    return std::max(0, static_cast<int>(view.lines.size()) - view.rows);
}

const HelpTopic *TopicAt(const HelpWindowView &view, int line)
{
    const HelpTopic *at = nullptr;
    for (const HelpTopic &t : view.topics)
        if (t.line <= line) at = &t;
    return at;
}

// Puts the lines in view and the status line into the window's controls.
void ShowLocked(HelpWindowView &view)
{
    Window *w = Find(view.hwnd);
    if (!w) return;
    std::string text;
    int end = std::min(static_cast<int>(view.lines.size()), view.top + view.rows);
    for (int i = view.top; i < end; ++i) {
        if (i > view.top) text += '\n';
        text += view.lines[static_cast<size_t>(i)];
    }
    std::string where;
    if (!view.lines.empty())
        where = "lines " + std::to_string(view.top + 1) + "-" + std::to_string(end) + " of " +
                std::to_string(view.lines.size());
    const HelpTopic *topic = TopicAt(view, view.top);
    std::string status = topic ? topic->title : std::string();
    int room = TextCols(w) - static_cast<int>(where.size());
    status.resize(static_cast<size_t>(std::max(0, room)), ' ');
    status += where;
    for (HWND h : w->children) {
        Window *c = Find(h);
        if (c && c->id == kTextId) c->text = text;
        else if (c && c->id == kStatusId) c->text = status;
    }
    Touch();
}

void ScrollTo(HWND hwnd, int top)
{
    UserLock lock = LockUser();
    HelpWindowView *help = Help().get();
    if (!help || help->hwnd != hwnd) return;
    help->top = std::clamp(top, 0, MaxTop(*help));
    ShowLocked(*help);
}

void ScrollBy(HWND hwnd, int delta)
{
    UserLock lock = LockUser();
    HelpWindowView *help = Help().get();
    if (!help || help->hwnd != hwnd) return;
    HelpWindowView &view = *help;
    int top = view.top + delta;
    // A topic near the end may stand above the last page; going down from
    // there does not pull the view back up.
    if (delta > 0) top = std::min(top, std::max(MaxTop(view), view.top));
    view.top = std::max(0, top);
    ShowLocked(*help);
}

void NextTopic(HWND hwnd, bool previous)
{
    UserLock lock = LockUser();
    HelpWindowView *help = Help().get();
    if (!help || help->hwnd != hwnd) return;
    HelpWindowView &view = *help;
    const HelpTopic *target = nullptr;
    for (const HelpTopic &t : view.topics) {
        if (previous && t.line < view.top) target = &t;
        if (!previous && t.line > view.top) {
            target = &t;
            break;
        }
    }
    if (!target) return;
    view.top = target->line;
    ShowLocked(*help);
}

int PageOf(HWND hwnd)
{
    UserLock lock = LockUser();
    HelpWindowView *help = Help().get();
    return help && help->hwnd == hwnd ? std::max(1, help->rows - 1) : 1;
}

LRESULT CALLBACK HelpWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_KEYDOWN:
        switch (wParam) {
        case VK_UP: ScrollBy(hwnd, -1); break;
        case VK_DOWN: ScrollBy(hwnd, 1); break;
        case VK_PRIOR: ScrollBy(hwnd, -PageOf(hwnd)); break;
        case VK_NEXT: ScrollBy(hwnd, PageOf(hwnd)); break;
        case VK_HOME: ScrollTo(hwnd, 0); break;
        case VK_END: ScrollTo(hwnd, 1 << 30); break;
        case VK_TAB: NextTopic(hwnd, (GetKeyState(VK_SHIFT) & 0x8000) != 0); break;
        case VK_ESCAPE: DestroyWindow(hwnd); break;
        default: break;
        }
        return 0;
    case WM_MOUSEWHEEL:
        ScrollBy(hwnd, -kWheelLines * GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA);
        return 0;
    case WM_DESTROY: {
        UserLock lock = LockUser();
        if (Help() && Help()->hwnd == hwnd) Help().reset();
        return 0;
    }
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

std::shared_ptr<const WindowClass> HelpClass()
{
    static auto cls = [] {
        auto c = std::make_shared<WindowClass>();
        c->name = "HostHelpWindow";
        c->proc = HelpWindowProc;
        return c;
    }();
    return cls;
}

// The window's size on the current screen: as wide as a help file's lines
// and never larger than the screen, down to a few rows.
CellRect HelpWindowCells()
{
    const UserState &s = State();
    return CellRect{0, 0, std::min(s.screenCols, kMaxCols), std::max(kMinRows, std::min(s.screenRows, kMaxRows))};
}

// The text above the status line, both inside the frame's margins.
void PlaceContents(Window *w, CellRect cells)
{
    w->cells = cells;
    w->clientCols = cells.w - screen::kFrameCols;
    w->clientRows = cells.h - screen::kFrameRows;
    for (HWND h : w->children) {
        Window *c = Find(h);
        if (c && c->id == kTextId) c->cells = CellRect{kMargin, 0, TextCols(w), w->clientRows - 1};
        else if (c && c->id == kStatusId) c->cells = CellRect{kMargin, w->clientRows - 1, TextCols(w), 1};
    }
}

HWND CreateHelpWindowLocked(const std::string &caption)
{
    CreateParams p;
    p.windowClass = HelpClass();
    p.text = caption;
    p.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
    Window *w = CreateWindowLocked(p);
    for (int id : {kTextId, kStatusId}) {
        CreateParams c;
        c.windowClass = FindClassLocked("Static");
        c.style = WS_CHILD | WS_VISIBLE | SS_LEFT;
        c.id = id;
        c.parent = w->handle;
        CreateWindowLocked(c);
    }
    PlaceContents(w, HelpWindowCells());
    return w->handle;
}

// Opens the window, or brings the open one forward with the new file, at
// the top of the text: a help file's contents come first.
void OpenHelpWindow(const std::string &path, const std::string &name, std::vector<std::string> raw)
{
    UserLock lock = LockUser();
    std::unique_ptr<HelpWindowView> &help = Help();
    Window *w = help ? Find(help->hwnd) : nullptr;
    if (!w) {
        help = std::make_unique<HelpWindowView>();
        help->hwnd = CreateHelpWindowLocked(name + " - Help");
        w = Find(help->hwnd);
    } else {
        w->text = name + " - Help";
        BringToTop(w);
    }
    help->caption = w->text;
    help->path = path;
    help->rows = w->clientRows - 1;
    help->top = 0;
    help->source = std::move(raw);
    Wrap(*help, TextCols(w));
    ShowLocked(*help);
}

void CloseHelpWindow()
{
    HWND hwnd;
    bool mine;
    {
        UserLock lock = LockUser();
        Window *w = Help() ? Find(Help()->hwnd) : nullptr;
        if (!w) return;
        hwnd = w->handle;
        mine = w->queue == CurrentQueue();
    }
    // The window belongs to the thread that opened it.
    if (mine) DestroyWindow(hwnd);
    else PostMessageA(hwnd, WM_CLOSE, 0, 0);
}

std::string ProgramDirectory()
{
    std::string module = ModuleFileName();
    return module.empty() ? module : std::filesystem::path(module).parent_path().string();
}

}  // namespace

void FitHelpWindowToScreenLocked()
{
    HelpWindowView *help = Help().get();
    Window *w = help ? Find(help->hwnd) : nullptr;
    if (!w) return;
    CellRect cells = HelpWindowCells();
    if (cells.w == w->cells.w && cells.h == w->cells.h) return;
    int sourceTop = help->lines.empty() ? 0 : help->sourceOf[static_cast<size_t>(help->top)];
    PlaceContents(w, cells);
    help->rows = w->clientRows - 1;
    Wrap(*help, TextCols(w));
    auto first = std::find(help->sourceOf.begin(), help->sourceOf.end(), sourceTop);
    help->top = std::min(static_cast<int>(first - help->sourceOf.begin()), MaxTop(*help));
    ShowLocked(*help);
}

std::optional<HelpWindowView> HelpWindowLocked()
{
    if (!Help() || !Find(Help()->hwnd)) return std::nullopt;
    return *Help();
}

std::string FindHelpFile(const std::string &name)
{
    namespace fs = std::filesystem;
    std::error_code error;
    if (name.find_first_of("/\\") != std::string::npos)
        return fs::is_regular_file(name, error) ? name : std::string();
    for (const std::string &dir : {ProgramDirectory(), fs::current_path(error).string()}) {
        if (dir.empty()) continue;
        fs::path candidate = fs::path(dir) / name;
        if (fs::is_regular_file(candidate, error)) return candidate.string();
    }
    return {};
}

}  // namespace win32

using namespace win32;

extern "C" BOOL WINAPI WinHelpA(HWND hWndMain, LPCSTR lpszHelp, UINT uCommand, ULONG_PTR dwData)
{
    (void)dwData;
    switch (uCommand) {
    case HELP_QUIT:
        CloseHelpWindow();
        return TRUE;
    case HELP_CONTENTS: {
        if (!lpszHelp || !*lpszHelp) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        std::string name = lpszHelp;
        std::string path = FindHelpFile(name);
        bool ok = false;
        std::vector<std::string> raw;
        if (!path.empty()) raw = ReadLines(path, ok);
        if (!ok) {
            std::string text = "Cannot find the help file " + name +
                               ".\n\nIt is looked for in the program's folder, then in the current folder.";
            MessageBoxA(hWndMain && IsWindow(hWndMain) ? hWndMain : nullptr, text.c_str(), "Help",
                        MB_OK | MB_ICONEXCLAMATION);
            SetLastError(ERROR_FILE_NOT_FOUND);
            return FALSE;
        }
        const size_t slash = name.find_last_of("/\\");
        OpenHelpWindow(path, slash == std::string::npos ? name : name.substr(slash + 1), std::move(raw));
        return TRUE;
    }
    default:
        // Topics by context number or keyword are not needed here.
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
}
