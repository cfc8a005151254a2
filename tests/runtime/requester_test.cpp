#include "runtime/pause.h"
#include "runtime/requester.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "runtime/program_heap.h"
#include "runtime/threads.h"
#include "tests/support/wait_until.h"

namespace {

class RequesterTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(ProgramHeapCreate());
        ThreadsInit();
        RequesterInit();
    }
    void TearDown() override {
        for (HWND window : windows_)
            DestroyWindow(window);
    }

    // A visible top-level window of the calling thread.
    HWND MakeWindow(bool topmost, int x = 100) {
        HWND window = MakeThreadWindow(topmost, x);
        windows_.push_back(window);
        return window;
    }

  public:
    static HWND MakeThreadWindow(bool topmost, int x) {
        static ATOM registered = [] {
            WNDCLASSW windowClass{};
            windowClass.lpfnWndProc = DefWindowProcW;
            windowClass.hInstance = GetModuleHandleW(nullptr);
            windowClass.lpszClassName = L"RequesterTestWindow";
            return RegisterClassW(&windowClass);
        }();
        (void)registered;
        return CreateWindowExW(topmost ? WS_EX_TOPMOST : 0, L"RequesterTestWindow", L"held",
                               WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, 100, 200, 150, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    }

  private:
    std::vector<HWND> windows_;
};

bool IsTopmost(HWND window) {
    return GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST;
}

std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

struct BoxSearch {
    const std::vector<HWND>* known;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM argument) {
    auto* search = reinterpret_cast<BoxSearch*>(argument);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (std::wstring(className) != L"#32770" || process != GetCurrentProcessId() ||
        !IsWindowVisible(window))
        return TRUE;
    for (HWND known : *search->known)
        if (known == window) return TRUE;
    search->found = window;
    return FALSE;
}

// A message box of this process that is on screen, other than those in
// `known`; null if none appears within the time.
HWND WaitForMessageBox(const std::vector<HWND>& known = {}) {
    BoxSearch search{&known, nullptr};
    WaitUntil(
        [&] {
            EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        10000);
    return search.found;
}

BOOL CALLBACK FindText(HWND child, LPARAM argument) {
    wchar_t className[16] = {};
    GetClassNameW(child, className, 16);
    std::wstring childText = WindowText(child);
    if (_wcsicmp(className, L"Static") == 0 && !childText.empty()) {
        *reinterpret_cast<std::wstring*>(argument) = childText;
        return FALSE;
    }
    return TRUE;
}

// The text of the box: its static control that holds text.
std::wstring MessageBoxText(HWND box) {
    std::wstring text;
    EnumChildWindows(box, FindText, reinterpret_cast<LPARAM>(&text));
    return text;
}

// Runs observe(box) on a helper thread once a box is up, then presses OK.
// Should no box appear, the waiting thread is sent a quit message, which
// ends the box's loop, so that a failing test does not hang.
template <typename Observe>
std::thread Dismisser(Observe observe, DWORD waitingThread = GetCurrentThreadId()) {
    return std::thread([observe, waitingThread] {
        HWND box = WaitForMessageBox();
        if (!box) {
            PostThreadMessageW(waitingThread, WM_QUIT, 0, 0);
            return;
        }
        observe(box);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
}

struct Held {
    HWND owner = nullptr;
    bool enabled = true;
    bool topmost = true;
    int32_t entries = -1;
};

} // namespace

TEST_F(RequesterTest, MessageBeforeAnyWindowHasNoOwnerAndHoldsNothing) {
    Held during;
    std::thread dismiss = Dismisser([&](HWND box) {
        during.owner = GetWindow(box, GW_OWNER);
        during.entries = RequesterHeldWindows();
    });
    int32_t result = ShowMessage("Virtual Q7700-Ethernet demo", "no window yet", 0);
    dismiss.join();
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(during.owner, nullptr);
    EXPECT_EQ(during.entries, 0);
    EXPECT_EQ(RequesterHeldWindows(), 0);
}

TEST_F(RequesterTest, ForegroundAlwaysOnTopWindowOwnsTheBoxAndIsRestoredAfter) {
    HWND window = MakeWindow(true);
    SetForegroundWindow(window);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == window; }));
    Held during;
    std::thread dismiss = Dismisser([&](HWND box) {
        during.owner = GetWindow(box, GW_OWNER);
        during.enabled = IsWindowEnabled(window);
        during.topmost = IsTopmost(window);
        during.entries = RequesterHeldWindows();
    });
    EXPECT_EQ(ShowMessage("title", "text", 0), IDOK);
    dismiss.join();
    EXPECT_EQ(during.owner, window);
    EXPECT_FALSE(during.enabled); // modal to it
    EXPECT_FALSE(during.topmost);
    EXPECT_EQ(during.entries, 1);
    EXPECT_TRUE(IsWindowEnabled(window));
    EXPECT_TRUE(IsTopmost(window));
    EXPECT_EQ(RequesterHeldWindows(), 0);
}

TEST_F(RequesterTest, AlwaysOnTopWindowBehindTheForegroundIsDisabledAndRestored) {
    HWND onTop = MakeWindow(true, 50);
    HWND front = MakeWindow(false, 400);
    HWND hidden = MakeWindow(false, 600);
    ShowWindow(hidden, SW_HIDE);
    SetForegroundWindow(front);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == front; }));
    Held during;
    std::thread dismiss = Dismisser([&](HWND) {
        during.enabled = IsWindowEnabled(onTop);
        during.topmost = IsTopmost(onTop);
        during.entries = RequesterHeldWindows();
    });
    EXPECT_EQ(ShowMessage("title", "text", MB_OK), IDOK);
    dismiss.join();
    EXPECT_FALSE(during.enabled);
    EXPECT_FALSE(during.topmost);
    EXPECT_EQ(during.entries, 2); // the hidden window is left alone
    EXPECT_TRUE(IsWindowEnabled(onTop));
    EXPECT_TRUE(IsWindowEnabled(front));
    EXPECT_TRUE(IsWindowEnabled(hidden));
    EXPECT_TRUE(IsTopmost(onTop));
    EXPECT_FALSE(IsTopmost(front));
}

TEST_F(RequesterTest, MessageFromAThreadWithoutWindowsIsModalToTheForegroundWindow) {
    HWND window = MakeWindow(false);
    SetForegroundWindow(window);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == window; }));
    static std::atomic<int32_t> result{0};
    int32_t worker = StartThread(
        [](intptr_t) -> uint32_t {
            result = ShowMessage("worker", "from the worker", 0);
            return 0;
        },
        0);
    ASSERT_NE(worker, 0);
    // The box is owned by a window of this thread, which must keep pumping.
    HWND box = WaitForMessageBox();
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
    HWND mine = MakeWindow(true, 50);
    static std::atomic<HWND> theirs{nullptr};
    static std::atomic<int> theirsRestored{0};
    static std::atomic<int32_t> theirResult{0};
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread other([ready] {
        HWND window = RequesterTest::MakeThreadWindow(true, 500);
        theirs = window;
        SetEvent(ready);
        theirResult = ShowMessage("other", "from the other thread", 0);
        theirsRestored = IsWindowEnabled(window) && IsTopmost(window);
        DestroyWindow(window);
    });
    ASSERT_EQ(WaitForSingleObject(ready, 5000), WAIT_OBJECT_0);
    CloseHandle(ready);

    Held during;
    std::thread dismiss([&] {
        HWND first = WaitForMessageBox();
        HWND second = first ? WaitForMessageBox({first}) : nullptr;
        if (second) {
            during.entries = RequesterHeldWindows();
            during.topmost = IsTopmost(mine) || IsTopmost(theirs.load());
        }
        if (first) PostMessageW(first, WM_COMMAND, IDOK, 0);
        if (second) PostMessageW(second, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(ShowMessage("main", "from the main thread", 0), IDOK);
    dismiss.join();
    other.join();
    EXPECT_EQ(theirResult.load(), IDOK);
    EXPECT_EQ(during.entries, 2); // one window of each thread
    EXPECT_FALSE(during.topmost);
    EXPECT_EQ(theirsRestored.load(), 1);
    EXPECT_TRUE(IsWindowEnabled(mine));
    EXPECT_TRUE(IsTopmost(mine));
    EXPECT_EQ(RequesterHeldWindows(), 0);
}

// The test runs with LC_ALL=en_US.UTF-8 (see CMakeLists.txt): an ANSI code
// page other than 1251, under which the texts would turn unreadable if they
// went through the A functions.
TEST_F(RequesterTest, Windows1251TextsShowTheSameWhateverTheCodePage) {
    EXPECT_NE(GetACP(), 1251u);
    const Text title = "\xCE\xF8\xE8\xE1\xEA\xE0"; // "Ошибка"
    const Text text = "\xCF\xF0\xEE\xE1\xEB\xE5\xEC\xFB \xE8\xED\xE8\xF6\xE8\xE0\xEB\xE8\xE7\xE0"
                      "\xF6\xE8\xE8 \xF1\xE5\xF2\xE5\xE2\xEE\xE3\xEE \xE0\xE4\xE0\xEF\xF2\xE5"
                      "\xF0\xE0. \xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0 \xE1\xF3\xE4\xE5\xF2 "
                      "\xE7\xE0\xEA\xF0\xFB\xF2\xE0.";
    std::wstring shownTitle, shownText;
    std::thread dismiss = Dismisser([&](HWND box) {
        shownTitle = WindowText(box);
        shownText = MessageBoxText(box);
    });
    EXPECT_EQ(ShowMessage(title, text, 0), IDOK);
    dismiss.join();
    EXPECT_EQ(shownTitle, L"Ошибка");
    EXPECT_EQ(shownText, L"Проблемы инициализации сетевого адаптера. Программа будет закрыта.");
}

TEST_F(RequesterTest, PauseWaitsAtLeastTheTimeAskedAndNegativeTimesNotAtAll) {
    double start = NowMs();
    PauseMs(30);
    EXPECT_GE(NowMs() - start, 29.0);
    // A negative time would be an endless sleep to the system.
    int32_t sleeper = StartThread(
        [](intptr_t) -> uint32_t {
            PauseMs(-1);
            PauseMs(-100);
            return 0;
        },
        0);
    ASSERT_NE(sleeper, 0);
    EXPECT_EQ(WaitForThread(sleeper, 5000), 1);
}
