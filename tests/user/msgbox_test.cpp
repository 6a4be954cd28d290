// Message boxes of the layer's own: button sets, the default button, what
// Escape and the close command answer, MB_TOPMOST, the icon, and the record
// of boxes and beeps.
#include <gtest/gtest.h>

#include "ui_fixture.h"

namespace {

using namespace uitest;

struct Box {
    const char *text;
    const char *caption;
    UINT type;
    HWND owner = nullptr;
};

// Opens `box` from the main dialog's Help command; `answer` gets its result.
void StartWithBox(automation::Session &session, const Box &box, int &answer)
{
    Reset(IDD_MAIN);
    gHook = [box, &answer](HWND hwnd, UINT message, WPARAM wParam, LPARAM, INT_PTR &) {
        if (message == WM_COMMAND && LOWORD(wParam) == IDC_HELP)
            answer = MessageBoxA(box.owner ? box.owner : hwnd, box.text, box.caption, box.type);
        if (message == WM_COMMAND && LOWORD(wParam) == IDC_INSTALL_FIX)
            answer = MessageBoxA(nullptr, box.text, box.caption, box.type);
        return false;
    };
    session.Start(TestProgram);
}

TEST(UiMessageBox, EnterAnswersTheDefaultButton)
{
    struct Case {
        UINT type;
        int expected;
    };
    const Case cases[] = {
        {MB_OK, IDOK},
        {MB_OKCANCEL, IDOK},
        {MB_YESNO, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDRETRY},
        {MB_RETRYCANCEL, IDRETRY},
    };
    for (const Case &c : cases) {
        automation::Session session;
        int answer = -1;
        StartWithBox(session, {"Question", "Caption", c.type}, answer);
        session.Press(IDC_HELP);
        session.Key(VK_RETURN);
        EXPECT_EQ(answer, c.expected) << "type 0x" << std::hex << c.type;
    }
}

TEST(UiMessageBox, EscapeAndTheCloseCommandAnswerLikeTheCloseBox)
{
    struct Case {
        UINT type;
        bool close;    // the close command, else Escape
        int expected;  // 0: the box stays open
    };
    const Case cases[] = {
        {MB_OK, false, IDOK},   {MB_OKCANCEL, false, IDCANCEL}, {MB_YESNO, false, 0},
        {MB_OK, true, IDOK},    {MB_OKCANCEL, true, IDCANCEL},  {MB_YESNOCANCEL, true, IDCANCEL},
        {MB_YESNO, true, IDNO}, {MB_ABORTRETRYIGNORE, true, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << (c.close ? " close" : " escape"));
        automation::Session session;
        int answer = -1;
        StartWithBox(session, {"Question", "Caption", c.type}, answer);
        session.Press(IDC_HELP);
        if (c.close)
            session.CloseCommand();
        else
            session.Key(VK_ESCAPE);
        if (c.expected) {
            EXPECT_EQ(answer, c.expected);
            EXPECT_FALSE(session.TopMessageBox().has_value());
        } else {
            EXPECT_EQ(answer, -1);
            EXPECT_TRUE(session.TopMessageBox().has_value());
        }
    }
}

TEST(UiMessageBox, RecordKeepsTextCaptionTypeAndAnswer)
{
    automation::Session session;
    int answer = 0;
    StartWithBox(session,
                 {"Date Restored", "Tolvane -  End Session", MB_ICONINFORMATION | MB_TOPMOST},
                 answer);
    session.Press(IDC_HELP);
    auto open = session.TopMessageBox();
    ASSERT_TRUE(open.has_value());
    EXPECT_EQ(open->text, "Date Restored");
    EXPECT_EQ(open->caption, "Tolvane -  End Session");
    EXPECT_EQ(open->type, static_cast<unsigned>(MB_ICONINFORMATION | MB_TOPMOST));
    EXPECT_EQ(open->answer, 0);
    EXPECT_EQ(session.TopCaption(), "Tolvane -  End Session");
    session.Answer(IDOK);
    ASSERT_EQ(session.MessageBoxes().size(), 1u);
    EXPECT_EQ(session.MessageBoxes()[0].answer, IDOK);
    EXPECT_THROW(session.Answer(IDOK), automation::DriveError);  // none open any more
}

TEST(UiMessageBox, TopmostBoxStaysAboveAWindowThatIsActivated)
{
    automation::Session session;
    int answer = 0;
    StartWithBox(session, {"On top", "Topmost", MB_OK | MB_TOPMOST}, answer);
    session.Press(IDC_INSTALL_FIX);  // no owner: the main dialog stays live
    session.PressIn(" Tolvane", IDC_STOPCLOCKS);
    EXPECT_EQ(session.TopCaption(), "Topmost");
    EXPECT_TRUE(GetWindowLongA(session.Window("Topmost"), GWL_EXSTYLE) & WS_EX_TOPMOST);
    session.Answer(IDOK);
    EXPECT_EQ(answer, IDOK);
}

TEST(UiMessageBox, TextIsShownWholeWithItsLineBreaksAndIconMarker)
{
    automation::Session session;
    int answer = 0;
    StartWithBox(
        session,
        {"The Fix software was running before you started Tolvane !\n\nRestarting means you will lose any "
         "unsaved information in applications currently running.\n\nRestart Windows now ?",
         "Tolvane", MB_YESNO | MB_ICONERROR | MB_DEFBUTTON2},
        answer);
    session.Press(IDC_HELP);
    std::string screen = session.Screen();
    for (const char *piece : {"(X)", "The Fix software was running before you started Tolvane !",
                              "Restarting means you will lose any unsaved information in",
                              "applications currently running.", "Restart Windows now ?",
                              "[  Yes   ]", "<   No   >"})  // No is the default
        EXPECT_NE(screen.find(piece), std::string::npos) << piece << "\n" << screen;
}

TEST(UiMessageBox, IconIsAnIconStaticHoldingTheSystemIconOfItsType)
{
    struct Case {
        UINT type;
        LPCSTR icon;  // nullptr: no icon control
    } cases[] = {
        {MB_OK, nullptr},
        {MB_ICONHAND, IDI_HAND},
        {MB_ICONQUESTION, IDI_QUESTION},
        {MB_ICONEXCLAMATION, IDI_EXCLAMATION},
        {MB_ICONASTERISK, IDI_ASTERISK},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        automation::Session session;
        int answer = 0;
        StartWithBox(session, {"Text", "Iconic", c.type}, answer);
        session.Press(IDC_HELP);
        // Windows gives a message box's icon the id 20.
        HWND icon = GetDlgItem(session.Window("Iconic"), 20);
        if (!c.icon) {
            EXPECT_EQ(icon, nullptr);
            continue;
        }
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(GetWindowLongA(icon, GWL_STYLE) & SS_TYPEMASK, SS_ICON);
        EXPECT_EQ(reinterpret_cast<HICON>(session.Send(icon, STM_GETICON, 0, 0)),
                  LoadIconA(nullptr, c.icon));
    }
}

TEST(UiMessageBox, BeepsAreCounted)
{
    automation::Session session;
    Reset(IDD_MAIN);
    gHook = [](HWND, UINT message, WPARAM wParam, LPARAM, INT_PTR &) {
        if (message == WM_COMMAND && LOWORD(wParam) == IDC_HELP)
            MessageBeep(0);
        return false;
    };
    session.Start(TestProgram);
    EXPECT_EQ(session.Beeps(), 0);
    session.Press(IDC_HELP);
    session.Press(IDC_HELP);
    EXPECT_EQ(session.Beeps(), 2);
}

}  // namespace
