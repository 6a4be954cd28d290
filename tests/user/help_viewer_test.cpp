// WinHelpA as user32 has it: a request handed on unchanged to the help viewer
// a layer above registers, whose answer is WinHelpA's; with no viewer, a
// request to close succeeds and any other fails.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "user/help_viewer.h"

namespace {

struct Recorded {
    HWND owner = nullptr;
    std::string file;
    bool noFile = false;
    UINT command = 0;
    ULONG_PTR data = 0;
    int requests = 0;
};

class RecordingViewer : public user::HelpViewer {
public:
    explicit RecordingViewer(BOOL answer) : answer_(answer) {}
    BOOL Request(HWND owner, LPCSTR file, UINT command, ULONG_PTR data) override
    {
        seen.owner = owner;
        seen.noFile = file == nullptr;
        seen.file = file ? file : "";
        seen.command = command;
        seen.data = data;
        ++seen.requests;
        return answer_;
    }
    Recorded seen;

private:
    BOOL answer_;
};

TEST(HelpViewer, WithoutAViewerOnlyTheRequestToCloseSucceeds)
{
    user::SetHelpViewer(nullptr);
    SetLastError(0);
    EXPECT_TRUE(WinHelpA(nullptr, "Tolvaneeval.hlp", HELP_QUIT, 0));
    EXPECT_FALSE(WinHelpA(nullptr, "Tolvaneeval.hlp", HELP_CONTENTS, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(HelpViewer, RequestsReachTheViewerUnchangedAndItsAnswerIsWinHelpsOwn)
{
    RecordingViewer refusing(FALSE), taking(TRUE);
    const HWND owner = reinterpret_cast<HWND>(0x1234);

    user::SetHelpViewer(&refusing);
    EXPECT_FALSE(WinHelpA(owner, "dir\\Other.hlp", HELP_CONTEXT, 42));
    EXPECT_EQ(refusing.seen.owner, owner);
    EXPECT_EQ(refusing.seen.file, "dir\\Other.hlp");
    EXPECT_EQ(refusing.seen.command, static_cast<UINT>(HELP_CONTEXT));
    EXPECT_EQ(refusing.seen.data, 42u);

    // Closing is the viewer's to answer too, and needs no file.
    user::SetHelpViewer(&taking);
    EXPECT_TRUE(WinHelpA(owner, nullptr, HELP_QUIT, 0));
    EXPECT_TRUE(taking.seen.noFile);
    EXPECT_EQ(taking.seen.command, static_cast<UINT>(HELP_QUIT));
    EXPECT_EQ(refusing.seen.requests, 1) << "the viewer replaced hears nothing more";

    user::SetHelpViewer(nullptr);
    EXPECT_FALSE(WinHelpA(owner, "Tolvaneeval.hlp", HELP_CONTENTS, 0));
    EXPECT_EQ(taking.seen.requests, 1) << "a viewer taken away hears nothing more";
}

}  // namespace
