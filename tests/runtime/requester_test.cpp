// The message requester. The program's own messages (no owner before its
// window, owned by the foreground panel when its worker shows one, the
// texts under a code page other than 1251) are the end-to-end message
// tests'; here what the program never does: a message of the thread's own
// while its windows are open.
#include "runtime/requester.h"

#include <thread>

#include "tests/support/ui_fixture.h"

namespace {

bool IsTopmost(HWND window) {
    return GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST;
}

class RequesterTest : public UiTest {
  protected:
    static void SetUpTestSuite() {
        UiTest::SetUpTestSuite();
        RequesterInit();
    }
};

} // namespace

// The visible windows are held disabled and below the top band while the
// box is open (a hidden one is left alone), and given back after. A helper
// thread notes what it sees once the box is up and presses OK; should no box
// appear, or the box not close, it sends this thread a quit message, which
// ends the box's loop, so that a failure cannot hang.
TEST_F(RequesterTest, WindowsAreHeldDisabledAndBelowTheTopBandWhileTheBoxIsOpen) {
    HWND onTop = RawWindow(WS_EX_TOPMOST, 50), hidden = RawWindow(0, 600);
    ShowWindow(hidden, SW_HIDE);
    SetForegroundWindow(onTop);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == onTop; }));
    HWND owner = nullptr;
    int32_t held = -1;
    bool enabled = true, topmost = true;
    DWORD waiting = GetCurrentThreadId();
    std::thread helper([&] {
        HWND box = nullptr;
        WaitUntil([&] { return (box = FindWindowW(L"#32770", L"the title")) != nullptr; }, 10000);
        if (box) {
            owner = GetWindow(box, GW_OWNER);
            held = RequesterHeldWindows();
            enabled = IsWindowEnabled(onTop);
            topmost = IsTopmost(onTop);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        if (!box || !WaitUntil([&] { return !IsWindow(box); }, 10000))
            PostThreadMessageW(waiting, WM_QUIT, 0, 0);
    });
    EXPECT_EQ(ShowMessage("the title", "text", 0), IDOK) << "no box, or it did not close on OK";
    helper.join();
    EXPECT_TRUE(owner == onTop && held == 1 && !enabled && !topmost);
    EXPECT_TRUE(IsWindowEnabled(onTop) && IsTopmost(onTop) && RequesterHeldWindows() == 0);
}
