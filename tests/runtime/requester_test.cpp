// The message requester: modal message boxes, from any thread, and the
// windows they hold while they are open.
#include "runtime/requester.h"

#include <atomic>
#include <thread>

#include "runtime/pause.h"
#include "tests/support/ui_fixture.h"

namespace {

bool IsTopmost(HWND window) {
    return GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST;
}

// A message box of this process other than skip; null if none appears in time.
HWND WaitForMessageBox(HWND skip = nullptr) {
    HWND box = nullptr;
    auto ours = [&] {
        DWORD process = 0;
        GetWindowThreadProcessId(box, &process);
        return box != skip && process == GetCurrentProcessId() && IsWindowVisible(box);
    };
    WaitUntil(
        [&] {
            box = FindWindowExW(nullptr, nullptr, L"#32770", nullptr);
            while (box && !ours())
                box = FindWindowExW(nullptr, box, L"#32770", nullptr);
            return box != nullptr;
        },
        10000);
    return box;
}

// What was seen while the box was open.
struct Seen {
    HWND owner;
    int32_t held;
    std::vector<bool> enabled, topmost; // of the windows watched
    std::wstring title, text;
};

// Shows a message on this thread; a helper thread notes what it sees once
// the box is up and presses OK. Should no box appear, this thread is sent a
// quit message, which ends the box's loop, so that a failure cannot hang.
// A box already open (skip) is not the one looked for.
Seen ShowAndWatch(const Text& title, const Text& text, std::vector<HWND> watched = {},
                  HWND skip = nullptr) {
    Seen seen{};
    DWORD waiting = GetCurrentThreadId();
    std::thread helper([&] {
        HWND box = WaitForMessageBox(skip);
        if (!box) {
            PostThreadMessageW(waiting, WM_QUIT, 0, 0);
            return;
        }
        seen.owner = GetWindow(box, GW_OWNER);
        seen.held = RequesterHeldWindows();
        for (HWND window : watched) {
            seen.enabled.push_back(IsWindowEnabled(window));
            seen.topmost.push_back(IsTopmost(window));
        }
        seen.title = reinterpret_cast<const wchar_t*>(Native(box).c_str());
        HWND label = FindWindowExW(box, nullptr, L"Static", nullptr);
        while (label && !GetWindowTextLengthW(label))
            label = FindWindowExW(box, label, L"Static", nullptr);
        seen.text = reinterpret_cast<const wchar_t*>(Native(label).c_str());
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(ShowMessage(title, text, 0), IDOK);
    helper.join();
    return seen;
}

class RequesterTest : public UiTest {
  protected:
    static void SetUpTestSuite() {
        UiTest::SetUpTestSuite();
        RequesterInit();
    }
    HWND Window(bool topmost, int x) { return RawWindow(topmost ? WS_EX_TOPMOST : 0, x); }
    static bool Foreground(HWND window) {
        SetForegroundWindow(window);
        return WaitUntil([&] { return GetForegroundWindow() == window; });
    }
};

} // namespace

// Before any window a message has no owner. The test runs under a code page
// other than 1251 (see CMakeLists.txt), under which the texts would turn
// unreadable if they went through the A functions.
TEST_F(RequesterTest, WindowsAreHeldDisabledAndBelowTheTopBandWhileTheBoxIsOpen) {
    EXPECT_NE(GetACP(), 1251u);
    Seen seen = ShowAndWatch("\xCE\xF8\xE8\xE1\xEA\xE0", "\xCF\xF0\xEE\xE1\xEB\xE5\xEC\xFB.");
    EXPECT_TRUE(seen.owner == nullptr && seen.held == 0);
    EXPECT_EQ(seen.title, L"Ошибка");
    EXPECT_EQ(seen.text, L"Проблемы.");
    HWND onTop = Window(true, 50), hidden = Window(false, 600);
    ShowWindow(hidden, SW_HIDE);
    ASSERT_TRUE(Foreground(onTop));
    seen = ShowAndWatch("title", "text", {onTop});
    EXPECT_TRUE(seen.owner == onTop && seen.held == 1);    // the hidden window is left alone
    EXPECT_TRUE(seen.enabled == std::vector<bool>{false}); // modal to its owner
    EXPECT_TRUE(seen.topmost == std::vector<bool>{false});
    EXPECT_TRUE(IsWindowEnabled(onTop) && IsTopmost(onTop));
    // One behind the foreground window is disabled too; the foreground
    // window is not put into the band afterwards.
    HWND front = Window(false, 300);
    ASSERT_TRUE(Foreground(front));
    seen = ShowAndWatch("title", "text", {onTop});
    EXPECT_TRUE(seen.held == 2 && seen.enabled == std::vector<bool>{false});
    EXPECT_TRUE(seen.topmost == std::vector<bool>{false});
    EXPECT_TRUE(IsWindowEnabled(onTop) && IsWindowEnabled(front) && IsWindowEnabled(hidden));
    EXPECT_TRUE(IsTopmost(onTop) && !IsTopmost(front) && !IsTopmost(hidden));
    EXPECT_EQ(RequesterHeldWindows(), 0);
}

TEST_F(RequesterTest, MessageFromAThreadWithoutWindowsIsModalToTheForegroundWindow) {
    HWND window = Window(false, 100);
    ASSERT_TRUE(Foreground(window));
    static std::atomic<int32_t> result{0};
    int32_t worker = StartThread(
        [](intptr_t) -> uint32_t {
            result = ShowMessage("worker", "from the worker", 0);
            return 0;
        },
        0);
    ASSERT_NE(worker, 0);
    HWND box = WaitForMessageBox(); // this thread's window owns it, so it keeps pumping
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), window);
    EXPECT_FALSE(IsWindowEnabled(window)); // takes no input until the box closes
    EXPECT_EQ(RequesterHeldWindows(), 0);  // the worker owns no windows
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return ThreadRunning(worker) == 0; }));
    EXPECT_EQ(result.load(), IDOK);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(window) != FALSE; }));
}

TEST_F(RequesterTest, TwoThreadsShowingMessagesAtOnceEachRestoreTheirOwnWindows) {
    HWND mine = Window(true, 50);
    std::atomic<HWND> theirs{nullptr};
    std::atomic<bool> theirsRestored{false};
    std::thread other([&] {
        HWND window = PlainWindow(WS_EX_TOPMOST, 500);
        theirs = window;
        EXPECT_EQ(ShowMessage("other", "from the other thread", 0), IDOK);
        theirsRestored = IsWindowEnabled(window) && IsTopmost(window);
        DestroyWindow(window);
    });
    HWND first = WaitForMessageBox(); // theirs
    ASSERT_NE(first, nullptr);
    Seen seen = ShowAndWatch("main", "from the main thread", {mine, theirs.load()}, first);
    PostMessageW(first, WM_COMMAND, IDOK, 0);
    other.join();
    EXPECT_EQ(seen.held, 2); // one window of each thread
    EXPECT_EQ(seen.topmost, (std::vector<bool>{false, false}));
    EXPECT_TRUE(theirsRestored && IsWindowEnabled(mine) && IsTopmost(mine));
    EXPECT_EQ(RequesterHeldWindows(), 0);
}

TEST_F(RequesterTest, PauseWaitsAtLeastTheTimeAskedAndNegativeTimesNotAtAll) {
    double start = NowMs();
    PauseMs(30);
    EXPECT_GE(NowMs() - start, 29.0);
    int32_t sleeper = StartThread( // a negative time would be an endless sleep to the system
        [](intptr_t) -> uint32_t {
            PauseMs(-1);
            PauseMs(-100);
            return 0;
        },
        0);
    ASSERT_NE(sleeper, 0);
    EXPECT_EQ(WaitForThread(sleeper, 5000), 1);
}
