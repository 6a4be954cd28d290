// The help viewer: WinHelpA's requests and the help window. HELP_CONTENTS
// opens the help file at its contents topic, HELP_QUIT closes the window. As
// in the Windows help engine, each topic shows its heading, which stays in
// view, over text that scrolls (arrows, PgUp, PgDn, Home, End, the wheel, the
// scroll bar beside it); jumps are underlined, Tab and Shift+Tab select one,
// Enter or a click follows it, Backspace goes back.
// Escape, the close box and the close command close the window. A file that
// is missing or is no help file is said so in the window. Like the Windows
// help engine the window is nobody's owned window: the program stays live.
// The window is made of the user layer's own windows and controls, so the
// front end draws it as any other.
#include "winhelp/viewer.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "kernel/module.h"
#include "user/class.h"
#include "user/help_viewer.h"
#include "user/layout.h"
#include "user/message.h"
#include "user/window.h"
#include "winhelp/document.h"
#include "winhelp/layout.h"

namespace winhelp {

// The viewer is made of the user layer's windows, under its lock.
using namespace user;

namespace {

constexpr int kTextId = 0xFFF0;
constexpr int kStatusId = 0xFFF1;
constexpr int kScrollBarId = 0xFFF2;
constexpr int kMinRows = 6;
constexpr int kWheelLines = 3;  // per notch, as Windows scrolls by default
constexpr int kMargin = 1;      // columns between the frame and the text
constexpr int kGap = 1;         // blank columns between the text and the scroll bar
constexpr const char *kKeys = "Tab: next jump  Enter: go  Backspace: back";
constexpr const char *kNoFileCaption = "Help";

// Where a reader was, to go back to.
struct Place {
    std::size_t topic;
    int paragraph, offset;  // of the top line
    int selected;
};

// One help window per process, under the user lock.
struct HelpState {
    HWND hwnd = nullptr;
    std::shared_ptr<const HelpDocument> document;  // none when the file could not be read
    HelpFileTopic problem;                         // then this page says why
    std::size_t topic = 0;
    HelpPage page;
    int top = 0;        // first body line in view
    int rows = 1;       // body lines in view
    int selected = -1;  // index into page.jumps
    std::vector<Place> back;
    std::string message;  // for the status line until the reader moves on
};

std::unique_ptr<HelpState> &Help()
{
    static std::unique_ptr<HelpState> help;
    return help;
}

const HelpFileTopic &Shown(const HelpState &s)
{
    return s.document ? s.document->topics[s.topic] : s.problem;
}

int TextCols(const Window *w)
{
    return std::max(1, w->clientCols - 2 * kMargin);
}

// The width the topic is set out for: words wrap before the scroll bar.
int LineCols(const Window *w)
{
    return std::max(1, TextCols(w) - kGap);
}

int HeadingRows(const HelpState &s)
{
    return s.page.heading.empty()
               ? 0
               : static_cast<int>(s.page.heading.size()) + 1;  // and a rule under it
}

int MaxTop(const HelpState &s)
{
    return std::max(0, static_cast<int>(s.page.body.size()) - s.rows);
}

// Sets the topic out for the window's width and keeps the line that was at
// the top in view.
void SetOut(HelpState &s, Window *w, int paragraph, int offset)
{
    s.page = LayOutTopic(Shown(s), LineCols(w));
    s.rows = std::max(1, w->clientRows - 1 - HeadingRows(s));
    s.top = std::min(LineAtOrAfter(s.page.body, paragraph, offset), MaxTop(s));
    if (s.selected >= static_cast<int>(s.page.jumps.size()))
        s.selected = -1;
}

Place Here(const HelpState &s)
{
    Place p{s.topic, 0, 0, s.selected};
    if (!s.page.body.empty()) {
        const HelpLine &line = s.page.body[static_cast<size_t>(s.top)];
        p.paragraph = line.paragraph;
        p.offset = line.offset;
    }
    return p;
}

std::uint8_t EmphasisOf(const HelpState &s, const HelpMark &mark)
{
    std::uint8_t emphasis = mark.bold ? kEmphasisBold : 0;
    if (mark.jump >= 0)
        emphasis |=
            mark.jump == s.selected ? kEmphasisUnderline | kEmphasisReverse : kEmphasisUnderline;
    return emphasis;
}

// Puts the heading, the body lines in view and the status line into the
// window's controls.
void ShowLocked(HelpState &s)
{
    Window *w = Find(s.hwnd);
    if (!w)
        return;
    std::string text;
    std::vector<TextMark> textMarks;
    int row = 0;
    auto add = [&](const std::string &line, const std::vector<HelpMark> &marks) {
        if (row > 0)
            text += '\n';
        text += line;
        for (const HelpMark &m : marks)
            textMarks.push_back({row, m.column, m.width, EmphasisOf(s, m)});
        ++row;
    };
    for (const HelpLine &line : s.page.heading)
        add(line.text, line.marks);
    if (!s.page.heading.empty()) {
        textMarks.push_back({row, 0, TextCols(w), kEmphasisDim});
        add(std::string(static_cast<size_t>(TextCols(w)), '-'), {});
    }
    const int end = std::min(static_cast<int>(s.page.body.size()), s.top + s.rows);
    for (int i = s.top; i < end; ++i)
        add(s.page.body[static_cast<size_t>(i)].text, s.page.body[static_cast<size_t>(i)].marks);

    std::string where;
    if (!s.page.body.empty())
        where = "lines " + std::to_string(s.top + 1) + "-" + std::to_string(end) + " of " +
                std::to_string(s.page.body.size());
    std::string status = !s.message.empty() ? s.message : s.document ? kKeys : "";
    const int room = TextCols(w) - static_cast<int>(where.size()) - 1;
    status.resize(static_cast<size_t>(std::max(0, room)), ' ');
    status += ' ' + where;
    for (HWND h : w->children) {
        Window *c = Find(h);
        if (c && c->id == kTextId) {
            c->text = std::move(text);
            SetStaticMarksLocked(*c, std::move(textMarks));
        } else if (c && c->id == kStatusId) {
            c->text = status;
        } else if (c && c->id == kScrollBarId) {
            // Beside the scrolling lines, in the frame's right margin.
            c->cells = CellRect{w->clientCols - kMargin, HeadingRows(s), kMargin, s.rows};
            SCROLLINFO info{sizeof info,
                            SIF_ALL | SIF_DISABLENOSCROLL,
                            0,
                            std::max(0, static_cast<int>(s.page.body.size()) - 1),
                            static_cast<UINT>(s.rows),
                            s.top,
                            0};
            SetScrollInfoLocked(*c, info);
        }
    }
    Touch();
}

void OpenTopicLocked(HelpState &s, const Place &place)
{
    Window *w = Find(s.hwnd);
    if (!w)
        return;
    s.topic = place.topic;
    s.selected = place.selected;
    s.message.clear();
    SetOut(s, w, place.paragraph, place.offset);
}

// Runs `act` on the help state of `hwnd`, under the lock, and shows the result.
template <typename Fn>
void WithHelp(HWND hwnd, Fn act)
{
    UserLock lock = LockUser();
    HelpState *help = Help().get();
    if (!help || help->hwnd != hwnd)
        return;
    act(*help);
    ShowLocked(*help);
}

void ScrollTo(HelpState &s, int top)
{
    s.top = std::clamp(top, 0, MaxTop(s));
}

// A scroll bar's request (SB_LINEUP, SB_PAGEDOWN, SB_TOP...), which the keys
// make too; a page keeps one line of the last in view.
void Scroll(HelpState &s, int code)
{
    const int page = std::max(1, s.rows - 1);
    switch (code) {
    case SB_LINEUP:
        ScrollTo(s, s.top - 1);
        break;
    case SB_LINEDOWN:
        ScrollTo(s, s.top + 1);
        break;
    case SB_PAGEUP:
        ScrollTo(s, s.top - page);
        break;
    case SB_PAGEDOWN:
        ScrollTo(s, s.top + page);
        break;
    case SB_TOP:
        ScrollTo(s, 0);
        break;
    case SB_BOTTOM:
        ScrollTo(s, MaxTop(s));
        break;
    default:
        break;
    }
}

void SelectJump(HelpState &s, bool previous)
{
    const int n = static_cast<int>(s.page.jumps.size());
    if (n == 0)
        return;
    if (s.selected < 0)
        s.selected = previous ? n - 1 : 0;
    else
        s.selected = (s.selected + (previous ? n - 1 : 1)) % n;
    const HelpJump &jump = s.page.jumps[static_cast<size_t>(s.selected)];
    if (jump.heading)
        return;
    if (jump.line < s.top)
        ScrollTo(s, jump.line);
    else if (jump.line >= s.top + s.rows)
        ScrollTo(s, jump.line - s.rows + 1);
}

void FollowJump(HelpState &s)
{
    if (s.selected < 0 || !s.document)
        return;
    std::optional<std::size_t> topic =
        s.document->TopicForContext(s.page.jumps[static_cast<size_t>(s.selected)].target);
    if (!topic) {
        s.message = "That jump leads to no topic of this help file.";
        return;
    }
    s.back.push_back(Here(s));
    OpenTopicLocked(s, Place{*topic, 0, 0, -1});
}

void GoBack(HelpState &s)
{
    if (s.back.empty())
        return;
    Place place = s.back.back();
    s.back.pop_back();
    OpenTopicLocked(s, place);
}

// A click at a point of the window's client area follows the jump there.
void ClickAt(HelpState &s, int x, int y)
{
    const int column = x - kMargin;
    const HelpLine *line = nullptr;
    const int heading = static_cast<int>(s.page.heading.size());
    if (y < heading)
        line = &s.page.heading[static_cast<size_t>(y)];
    else if (y >= HeadingRows(s) && y - HeadingRows(s) < s.rows) {
        const int body = s.top + y - HeadingRows(s);
        if (body < static_cast<int>(s.page.body.size()))
            line = &s.page.body[static_cast<size_t>(body)];
    }
    if (!line)
        return;
    for (const HelpMark &m : line->marks)
        if (m.jump >= 0 && column >= m.column && column < m.column + m.width) {
            s.selected = m.jump;
            FollowJump(s);
            return;
        }
}

// The window's size on a screen: the whole screen, so that a larger terminal
// shows more of a topic; down to a few rows.
CellRect HelpWindowCells(int screenCols, int screenRows)
{
    return CellRect{0, 0, screenCols, std::max(kMinRows, screenRows)};
}

// The text above the status line, both inside the frame's margins.
void PlaceContents(Window *w, CellRect cells)
{
    w->cells = cells;
    w->clientCols = cells.w - kFrameCols;
    w->clientRows = cells.h - kFrameRows;
    for (HWND h : w->children) {
        Window *c = Find(h);
        if (c && c->id == kTextId)
            c->cells = CellRect{kMargin, 0, TextCols(w), w->clientRows - 1};
        else if (c && c->id == kStatusId)
            c->cells = CellRect{kMargin, w->clientRows - 1, TextCols(w), 1};
    }
    PlaceOnScreenLocked(w);
}

// A screen of a new size: the window takes the new size within its limits,
// sets the topic out again, and keeps the line at its top in view.
void FitToScreen(HelpState &s, int screenCols, int screenRows)
{
    Window *w = Find(s.hwnd);
    const CellRect cells = HelpWindowCells(screenCols, screenRows);
    if (!w || (cells.w == w->cells.w && cells.h == w->cells.h))
        return;
    const Place here = Here(s);
    PlaceContents(w, cells);
    SetOut(s, w, here.paragraph, here.offset);
}

LRESULT CALLBACK HelpWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_KEYDOWN: {
        if (wParam == VK_ESCAPE) {
            DestroyWindow(hwnd);
            return 0;
        }
        const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
        WithHelp(hwnd, [&](HelpState &s) {
            s.message.clear();
            switch (wParam) {
            case VK_UP:
                Scroll(s, SB_LINEUP);
                break;
            case VK_DOWN:
                Scroll(s, SB_LINEDOWN);
                break;
            case VK_PRIOR:
                Scroll(s, SB_PAGEUP);
                break;
            case VK_NEXT:
                Scroll(s, SB_PAGEDOWN);
                break;
            case VK_HOME:
                Scroll(s, SB_TOP);
                break;
            case VK_END:
                Scroll(s, SB_BOTTOM);
                break;
            case VK_TAB:
                SelectJump(s, shift);
                break;
            case VK_RETURN:
                FollowJump(s);
                break;
            case VK_BACK:
                GoBack(s);
                break;
            default:
                break;
            }
        });
        return 0;
    }
    case WM_LBUTTONDOWN: {
        const int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
        WithHelp(hwnd, [&](HelpState &s) { ClickAt(s, x, y); });
        return 0;
    }
    case WM_VSCROLL:
        WithHelp(hwnd, [&](HelpState &s) { Scroll(s, LOWORD(wParam)); });
        return 0;
    case WM_MOUSEWHEEL: {
        const int lines = -kWheelLines * GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
        WithHelp(hwnd, [&](HelpState &s) { ScrollTo(s, s.top + lines); });
        return 0;
    }
    case WM_DISPLAYCHANGE: {
        const int cols = LOWORD(lParam), rows = HIWORD(lParam);
        WithHelp(hwnd, [&](HelpState &s) { FitToScreen(s, cols, rows); });
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    case WM_DESTROY: {
        UserLock lock = LockUser();
        if (Help() && Help()->hwnd == hwnd)
            Help().reset();
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
        c->background = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        return c;
    }();
    return cls;
}

HWND CreateHelpWindowLocked(const std::string &caption)
{
    CreateParams p;
    p.windowClass = HelpClass();
    p.text = caption;
    p.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
    p.queue = CurrentQueue();
    Window *w = CreateWindowLocked(p);
    for (int id : {kTextId, kStatusId, kScrollBarId}) {
        CreateParams c;
        c.windowClass = FindClassLocked(id == kScrollBarId ? "ScrollBar" : "Static");
        c.style = WS_CHILD | WS_VISIBLE | (id == kScrollBarId ? SBS_VERT : SS_LEFT);
        c.id = id;
        c.parent = w->handle;
        c.queue = p.queue;
        CreateWindowLocked(c);
    }
    PlaceContents(w, HelpWindowCells(State().screenCols, State().screenRows));
    return w->handle;
}

// A page that says why there is no help to show, in the place of a topic.
HelpFileTopic ProblemPage(const std::string &title, const std::string &text)
{
    HelpFileTopic page;
    page.title = title;
    HelpParagraph heading;
    heading.nonScrolling = true;
    heading.spans.push_back({title, true, -1, 0});
    HelpParagraph body;
    body.spans.push_back({text, false, -1, 0});
    page.paragraphs = {heading, body};
    return page;
}

// The help file, or a page saying why it cannot be shown.
struct Loaded {
    std::shared_ptr<const HelpDocument> document;
    HelpFileTopic problem;
};

Loaded LoadHelp(const std::string &name, const std::string &shownName)
{
    Loaded loaded;
    const std::string path = FindHelpFile(name);
    if (path.empty()) {
        loaded.problem = ProblemPage(
            "Cannot find the help file",
            "The help file " + shownName +
                " is neither in the program's folder nor in the current folder, where a help "
                "file named without a folder is looked for.");
        return loaded;
    }
    // One byte more than the reader takes is enough for it to refuse the file.
    std::error_code sizeError;
    const std::uintmax_t size = std::filesystem::file_size(path, sizeError);
    std::vector<std::uint8_t> bytes(
        sizeError ? 0 : std::min<std::uintmax_t>(size, kMaxHelpFileSize + 1));
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (sizeError || !in) {
        loaded.problem =
            ProblemPage("Cannot open the help file", "The help file " + path + " cannot be read.");
        return loaded;
    }
    std::string why;
    if (std::optional<HelpDocument> document = ReadHelpFile(bytes, why)) {
        loaded.document = std::make_shared<const HelpDocument>(std::move(*document));
        return loaded;
    }
    loaded.problem =
        ProblemPage("This is not a Windows Help file",
                    shownName + " is not a Windows Help file, or it is damaged: " + why + ".");
    return loaded;
}

// Opens the window, or brings the open one forward, at the contents topic
// of the file just read: as in the Windows help engine, a new request starts
// a new history.
void OpenHelpWindow(Loaded loaded)
{
    UserLock lock = LockUser();
    std::unique_ptr<HelpState> &help = Help();
    const std::string caption = loaded.document ? loaded.document->caption : kNoFileCaption;
    Window *w = help ? Find(help->hwnd) : nullptr;
    if (!w) {
        help = std::make_unique<HelpState>();
        help->hwnd = CreateHelpWindowLocked(caption);
        w = Find(help->hwnd);
    } else {
        w->text = caption;
        BringToTop(w);
    }
    help->document = std::move(loaded.document);
    help->problem = std::move(loaded.problem);
    help->back.clear();
    OpenTopicLocked(*help, Place{help->document ? help->document->contents : 0, 0, 0, -1});
    ShowLocked(*help);
}

void CloseHelpWindow()
{
    HWND hwnd;
    bool mine;
    {
        UserLock lock = LockUser();
        Window *w = Help() ? Find(Help()->hwnd) : nullptr;
        if (!w)
            return;
        hwnd = w->handle;
        mine = w->queue == CurrentQueue();
    }
    // The window belongs to the thread that opened it.
    if (mine)
        DestroyWindow(hwnd);
    else
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
}

std::string ProgramDirectory()
{
    std::string module = kernel::ModuleFileName();
    return module.empty() ? module : std::filesystem::path(module).parent_path().string();
}

std::string WithoutTrailingBlanks(std::string s)
{
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

// WinHelpA's requests, taken on the program's thread.
class Viewer : public user::HelpViewer {
public:
    BOOL Request(HWND owner, LPCSTR file, UINT command, ULONG_PTR data) override
    {
        (void)owner;
        (void)data;
        switch (command) {
        case HELP_QUIT:
            CloseHelpWindow();
            return TRUE;
        case HELP_CONTENTS: {
            if (!file || !*file) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return FALSE;
            }
            // The viewer took the request; what it finds, its window says.
            const std::string name = file;
            const size_t slash = name.find_last_of("/\\");
            OpenHelpWindow(
                LoadHelp(name, slash == std::string::npos ? name : name.substr(slash + 1)));
            return TRUE;
        }
        default:
            // Topics by context number or keyword are not needed here.
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
    }
};

}  // namespace

std::optional<HelpWindowView> HelpWindowLocked()
{
    HelpState *help = Help().get();
    Window *w = help ? Find(help->hwnd) : nullptr;
    if (!w)
        return std::nullopt;
    HelpWindowView view;
    view.hwnd = w->handle;
    view.caption = w->text;
    view.title = Shown(*help).title;
    for (const HelpLine &line : help->page.heading)
        view.heading.push_back(WithoutTrailingBlanks(line.text));
    for (const HelpLine &line : help->page.body)
        view.lines.push_back(WithoutTrailingBlanks(line.text));
    for (const HelpJump &jump : help->page.jumps)
        view.jumps.push_back(jump.text);
    view.selected = help->selected;
    view.top = help->top;
    view.rows = help->rows;
    for (HWND h : w->children)
        if (Window *c = Find(h); c && c->id == kStatusId)
            view.status = WithoutTrailingBlanks(c->text);
    return view;
}

std::string FindHelpFile(const std::string &name)
{
    namespace fs = std::filesystem;
    std::error_code error;
    if (name.find_first_of("/\\") != std::string::npos)
        return fs::is_regular_file(name, error) ? name : std::string();
    for (const std::string &dir : {ProgramDirectory(), fs::current_path(error).string()}) {
        if (dir.empty())
            continue;
        fs::path candidate = fs::path(dir) / name;
        if (fs::is_regular_file(candidate, error))
            return candidate.string();
    }
    return {};
}

void InstallViewer()
{
    static Viewer viewer;
    user::SetHelpViewer(&viewer);
}

}  // namespace winhelp
