// The dialog manager and dialog boxes, driven through the layer's input the
// way a person at the keyboard or mouse would, with a dialog procedure of the
// test's own.
#include <gtest/gtest.h>

#include "ui_fixture.h"
#include "user/class.h"

namespace {

using namespace uitest;

class UiDialog : public ::testing::Test {
protected:
    void StartMain(std::function<void(HWND)> init = {})
    {
        uitest::Reset(IDD_MAIN);
        uitest::gInit = std::move(init);
        session.Start(uitest::TestProgram);
    }
    // GetFocus belongs to the program's thread; ask it there.
    int FocusedId() { return static_cast<int>(session.Send(gSeen.dialog, WM_USER + 7, 0, 0)); }
    automation::Session session;
};

// WM_USER + 7 answers the id of the focused control, from the program's thread.
bool AnswerFocus(HWND, UINT message, WPARAM, LPARAM, INT_PTR &result)
{
    if (message != WM_USER + 7)
        return false;
    HWND focus = GetFocus();
    result = focus ? GetDlgCtrlID(focus) : 0;
    SetWindowLongA(uitest::gSeen.dialog, DWL_MSGRESULT, static_cast<LONG>(result));
    return true;
}

void DisableLikeTheProgram(HWND hwnd)
{
    EnableWindow(GetDlgItem(hwnd, IDC_STOPCLOCKS), FALSE);
    EnableWindow(GetDlgItem(hwnd, IDC_RESET_DATE), FALSE);
}

TEST_F(UiDialog, TabVisitsEnabledPushButtonsInTemplateOrderAndWraps)
{
    StartMain(DisableLikeTheProgram);
    uitest::gHook = AnswerFocus;
    EXPECT_EQ(FocusedId(), IDC_TEST);  // WM_INITDIALOG returned TRUE: the first tab stop
    std::vector<int> visited;
    for (int i = 0; i < 5; ++i) {
        session.Key(VK_TAB);
        visited.push_back(FocusedId());
    }
    // StopClocks and Reset Date are disabled; list boxes, statics and the
    // group box are no tab stops.
    EXPECT_EQ(visited,
              (std::vector<int>{IDC_INSTALL_FIX, IDC_HELP, IDC_CLOSE, IDC_TEST, IDC_INSTALL_FIX}));

    std::vector<int> back;
    for (int i = 0; i < 3; ++i) {
        session.Key(VK_TAB, true);
        back.push_back(FocusedId());
    }
    EXPECT_EQ(back, (std::vector<int>{IDC_TEST, IDC_CLOSE, IDC_HELP}));
    EXPECT_TRUE(gSeen.commands.empty()) << "moving the focus pressed something";
}

TEST_F(UiDialog, EnterPressesTheDefaultButtonOrTheFocusedPushButton)
{
    StartMain(DisableLikeTheProgram);
    uitest::gHook = AnswerFocus;
    session.Key(VK_RETURN);
    EXPECT_EQ(gSeen.commands, (std::vector<int>{IDC_TEST}));

    session.Key(VK_TAB);
    session.Key(VK_TAB);  // Help
    ASSERT_EQ(FocusedId(), IDC_HELP);
    // The default look follows the focus among push buttons.
    HWND help = GetDlgItem(gSeen.dialog, IDC_HELP);
    HWND test = GetDlgItem(gSeen.dialog, IDC_TEST);
    EXPECT_EQ(GetWindowLongA(help, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(GetWindowLongA(test, GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
    session.Key(VK_RETURN);
    EXPECT_EQ(gSeen.commands, (std::vector<int>{IDC_TEST, IDC_HELP}));
    EXPECT_EQ(gSeen.notifications.back(), BN_CLICKED);
}

TEST_F(UiDialog, EnterDoesNothingWhileTheDefaultButtonIsDisabled)
{
    uitest::Reset(IDD_MAIN);
    uitest::gHook = [](HWND hwnd, UINT message, WPARAM, LPARAM, INT_PTR &result) {
        if (message != WM_INITDIALOG)
            return false;
        uitest::gSeen.dialog = hwnd;
        EnableWindow(GetDlgItem(hwnd, IDC_TEST), FALSE);
        result = FALSE;  // no control gets the focus
        return true;
    };
    session.Start(uitest::TestProgram);
    session.Key(VK_RETURN);
    // Sending IDOK instead would start the command of the disabled button.
    EXPECT_TRUE(gSeen.commands.empty());
}

TEST_F(UiDialog, EscapeSendsIdCancelAndSpaceOnlyClicksButtons)
{
    StartMain();
    session.Key(VK_ESCAPE);
    EXPECT_EQ(gSeen.commands, (std::vector<int>{IDCANCEL}));
    session.Key(VK_SPACE);  // TEST has the focus
    EXPECT_EQ(gSeen.commands, (std::vector<int>{IDCANCEL, IDC_TEST}));
}

TEST_F(UiDialog, SpaceOnTheCheckBoxTogglesItBeforeNotifying)
{
    uitest::Reset(IDD_WARNING);
    std::vector<UINT> checkedWhenNotified;
    uitest::gHook = [&](HWND hwnd, UINT message, WPARAM wParam, LPARAM, INT_PTR &) {
        if (message == WM_COMMAND && LOWORD(wParam) == IDC_DONT_WARN)
            checkedWhenNotified.push_back(IsDlgButtonChecked(hwnd, IDC_DONT_WARN));
        return false;
    };
    session.Start(uitest::TestProgram);
    session.Key(VK_TAB);
    session.Key(VK_TAB);  // OK, Cancel, then the check box
    session.Key(VK_SPACE);
    EXPECT_TRUE(session.Checked(IDC_DONT_WARN));
    session.Key(VK_SPACE);
    EXPECT_FALSE(session.Checked(IDC_DONT_WARN));
    EXPECT_EQ(checkedWhenNotified, (std::vector<UINT>{BST_CHECKED, BST_UNCHECKED}));
    session.Press(IDC_DONT_WARN);  // the mouse does the same
    EXPECT_TRUE(session.Checked(IDC_DONT_WARN));
    EXPECT_EQ(checkedWhenNotified.size(), 3u);
}

TEST_F(UiDialog, DisabledControlTakesNoInput)
{
    StartMain(DisableLikeTheProgram);
    HWND stop = GetDlgItem(gSeen.dialog, IDC_STOPCLOCKS);
    EXPECT_THROW(session.Press(IDC_STOPCLOCKS), automation::DriveError);
    // Neither a click that gets through to it nor BM_CLICK presses it.
    session.Post(stop, WM_LBUTTONDOWN, 1, 0);
    session.Post(stop, WM_LBUTTONUP, 0, 0);
    session.Send(stop, BM_CLICK, 0, 0);
    EXPECT_TRUE(gSeen.commands.empty());

    // Disabling the focused button takes the focus away with it.
    uitest::gHook = AnswerFocus;
    session.Key(VK_TAB);
    ASSERT_EQ(FocusedId(), IDC_INSTALL_FIX);
    EXPECT_FALSE(EnableWindow(GetDlgItem(gSeen.dialog, IDC_INSTALL_FIX), FALSE));  // it was enabled
    EXPECT_TRUE(
        EnableWindow(GetDlgItem(gSeen.dialog, IDC_INSTALL_FIX), FALSE));  // now it was disabled
    EXPECT_EQ(FocusedId(), 0);
    session.Key(VK_SPACE);
    EXPECT_TRUE(gSeen.commands.empty());
}

TEST_F(UiDialog, CloseCommandBecomesIdCancelWhenTheProcedureLeavesIt)
{
    uitest::Reset(IDD_WARNING);
    uitest::gHook = [](HWND, UINT message, WPARAM, LPARAM, INT_PTR &result) {
        result = FALSE;
        return message == WM_CLOSE;  // not handled: the dialog default applies
    };
    session.Start(uitest::TestProgram);
    session.CloseCommand();
    EXPECT_EQ(gSeen.commands, (std::vector<int>{IDCANCEL}));
}

TEST_F(UiDialog, HandledMessagesAnswerWithDwlMsgResult)
{
    StartMain();
    // Unhandled, WM_QUERYENDSESSION lets the session end.
    EXPECT_EQ(session.Send(gSeen.dialog, WM_QUERYENDSESSION, 0, 0), TRUE);
    uitest::gHook = [](HWND, UINT message, WPARAM, LPARAM, INT_PTR &result) {
        result = TRUE;
        return message == WM_QUERYENDSESSION;
    };
    // Handled with a bare TRUE, the answer is DWL_MSGRESULT (0): refused.
    EXPECT_EQ(session.Send(gSeen.dialog, WM_QUERYENDSESSION, 0, 0), 0);
}

TEST_F(UiDialog, DialogEndedDuringInitIsNeverShown)
{
    uitest::Reset(IDD_MAIN);
    bool visibleDuringInit = true;
    uitest::gInit = [&](HWND hwnd) {
        visibleDuringInit = IsWindowVisible(hwnd);
        EndDialog(hwnd, 42);
    };
    session.Start(uitest::TestProgram);
    EXPECT_FALSE(session.Running());
    EXPECT_EQ(session.ExitCode(), 42);
    EXPECT_FALSE(visibleDuringInit);
    EXPECT_TRUE(session.Captions().empty());
}

TEST_F(UiDialog, OwnedDialogDisablesItsOwnerAndAnUnownedOneLeavesItLive)
{
    StartMain();
    HWND owner = nullptr;
    INT_PTR aboutResult = 0;
    uitest::gHook = [&](HWND hwnd, UINT message, WPARAM wParam, LPARAM, INT_PTR &result) {
        if (message != WM_COMMAND)
            return false;
        if (LOWORD(wParam) == IDC_HELP)
            aboutResult = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_ABOUT), hwnd,
                                          uitest::RecordingDlg, 0);
        if (LOWORD(wParam) == IDC_INSTALL_FIX)
            DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_WARNING), owner, uitest::RecordingDlg, 0);
        result = FALSE;
        return false;
    };
    HWND main = gSeen.dialog;
    session.Press(IDC_HELP);
    EXPECT_EQ(session.TopCaption(), "About Tolvane");
    EXPECT_FALSE(IsWindowEnabled(main));
    EXPECT_THROW(session.PressIn(" Tolvane", IDC_CLOSE), automation::DriveError);
    session.PressIn("About Tolvane", IDOK);  // the recording procedure takes IDOK without ending
    session.CloseCommand();                  // WM_CLOSE ends it
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_EQ(aboutResult, 0);

    session.Press(IDC_INSTALL_FIX);
    EXPECT_EQ(session.Captions(), (std::vector<std::string>{" Tolvane", " Tolvane - Warning"}));
    EXPECT_TRUE(IsWindowEnabled(main));
    // The main dialog works under the warning's loop, keys included.
    gSeen.commands.clear();
    session.PressIn(" Tolvane", IDC_TEST);
    EXPECT_EQ(gSeen.commands, (std::vector<int>{IDC_TEST}));
    EXPECT_EQ(session.TopCaption(), " Tolvane");  // the click brought it forward
    session.Key(VK_TAB);
    session.Key(VK_RETURN);
    EXPECT_EQ(gSeen.commands.back(), IDC_STOPCLOCKS);
}

TEST_F(UiDialog, TemplatesThatCannotBeBuiltFailWithMinusOneAndAReason)
{
    StartMain();
    INT_PTR missing = 0, noClass = 0;
    DWORD missingError = 0, noClassError = 0;
    uitest::gHook = [&](HWND, UINT message, WPARAM wParam, LPARAM, INT_PTR &) {
        if (message == WM_COMMAND && LOWORD(wParam) == IDC_HELP) {
            missing =
                DialogBoxParamA(nullptr, MAKEINTRESOURCEA(999), nullptr, uitest::RecordingDlg, 0);
            missingError = GetLastError();
            user::UnregisterProgramClasses();
            noClass = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                                      uitest::RecordingDlg, 0);
            noClassError = GetLastError();
        }
        return false;
    };
    session.Press(IDC_HELP);
    EXPECT_EQ(missing, -1);
    EXPECT_EQ(missingError, static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(noClass, -1);
    EXPECT_EQ(noClassError, static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST_F(UiDialog, SortedListBoxOrdersWithoutCaseAndReportsBadIndexes)
{
    StartMain();
    HWND box = GetDlgItem(gSeen.dialog, IDC_CMOS_LINE);
    for (const char *line : {"delta", "Bravo", "alpha", "Charlie", "bravo"})
        session.Send(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    EXPECT_EQ(session.Lines(IDC_CMOS_LINE),
              (std::vector<std::string>{"alpha", "Bravo", "bravo", "Charlie", "delta"}));
    EXPECT_EQ(session.Send(box, LB_GETCOUNT, 0, 0), 5);
    EXPECT_EQ(session.Send(box, LB_GETTEXTLEN, 3, 0), 7);
    char text[16] = {};
    EXPECT_EQ(session.Send(box, LB_GETTEXT, 3, reinterpret_cast<LPARAM>(text)), 7);
    EXPECT_STREQ(text, "Charlie");
    EXPECT_EQ(session.Send(box, LB_DELETESTRING, 0, 0), 4);  // the count left
    EXPECT_EQ(session.Send(box, LB_DELETESTRING, 4, 0), LB_ERR);
    EXPECT_EQ(session.Send(box, LB_DELETESTRING, static_cast<WPARAM>(-1), 0), LB_ERR);
    EXPECT_EQ(session.Send(box, LB_GETTEXTLEN, 9, 0), LB_ERR);
    session.Send(box, LB_RESETCONTENT, 0, 0);
    EXPECT_TRUE(session.Lines(IDC_CMOS_LINE).empty());
    EXPECT_EQ(session.Send(box, LB_DELETESTRING, 0, 0), LB_ERR);  // harmless on an empty box
}

TEST_F(UiDialog, TextCallsRoundTripAndFindWindowFindsTheDialog)
{
    StartMain();
    HWND main = gSeen.dialog;
    EXPECT_EQ(FindWindowA("Tolvane", nullptr), main);
    EXPECT_EQ(FindWindowA(nullptr, " Tolvane"), main);
    EXPECT_EQ(FindWindowA("#32770", nullptr), nullptr);
    EXPECT_TRUE(SetDlgItemTextA(main, IDC_INSTALL_FIX, "UnInstall Fix"));
    EXPECT_EQ(session.Text(IDC_INSTALL_FIX), "UnInstall Fix");
    char small[6];
    EXPECT_EQ(GetDlgItemTextA(main, IDC_INSTALL_FIX, small, sizeof small), 5u);
    EXPECT_STREQ(small, "UnIns");
    EXPECT_TRUE(SetWindowTextA(main, " Tolvane - Fix Running"));
    EXPECT_EQ(session.TopCaption(), " Tolvane - Fix Running");
    EXPECT_EQ(GetDlgItem(main, 4242), nullptr);
    EXPECT_EQ(GetDlgCtrlID(GetDlgItem(main, IDC_HELP)), IDC_HELP);
}

}  // namespace
