// Numbered threads, per-thread variables and thread-exit callbacks. Every
// wait of a test and of its threads is bounded.
#include "runtime/threads.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>

#include "runtime/platform.h"
#include "runtime/program_heap.h"
#include "tests/support/wait_until.h"

namespace {

// Threads, variables and watchers are process-wide, so the heap under them
// lives as long as the test process.
class ThreadsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(ProgramHeapCreate()); }
    static size_t LiveBytes() { return PlatformHeapLiveBytes(ProgramHeap()); }
};

struct Event {
    HANDLE handle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~Event() { CloseHandle(handle); }
    intptr_t parameter() const { return reinterpret_cast<intptr_t>(handle); }
    void set() const { SetEvent(handle); }
    bool wait(DWORD ms = 5000) const { return WaitForSingleObject(handle, ms) == WAIT_OBJECT_0; }
};

// Numbered threads' procedures: wait for the event passed (10 s at most).
uint32_t WaitForEvent(intptr_t event) {
    WaitForSingleObject(reinterpret_cast<HANDLE>(event), 10000);
    return 0;
}
uint32_t ReturnAtOnce(intptr_t) {
    return 0;
}

// A number is never given twice (0 is "no thread"); ended threads are
// forgotten at the next start and CloseThreadHandles forgets every thread
// but stops none. A wait that runs out leaves the thread running; only -1
// means no limit (another negative time has run out at once).
TEST_F(ThreadsTest, NumberedThreadsAreNeverStoppedAndTheirNumbersNeverReused) {
    static std::atomic<int> finished{0};
    CloseThreadHandles();
    Event release;
    int32_t first =
        StartThread([](intptr_t event) -> uint32_t { return finished = WaitForEvent(event) + 1; },
                    release.parameter());
    EXPECT_GE(first, 1);
    EXPECT_EQ(WaitForThread(first, 50) + WaitForThread(first, -5), 0);
    EXPECT_EQ(ThreadRunning(first), 1);
    int32_t ended = StartThread(ReturnAtOnce, 0);
    EXPECT_EQ(ended, first + 1);
    ASSERT_EQ(WaitForThread(ended, 5000), 1);
    EXPECT_EQ(KnownThreadCount(), 2); // a wait forgets nothing
    EXPECT_EQ(StartThread(ReturnAtOnce, 0), first + 2);
    EXPECT_EQ(KnownThreadCount(), 2); // the ended one is gone, the new one known
    CloseThreadHandles();
    EXPECT_EQ(KnownThreadCount(), 0);
    EXPECT_EQ(ThreadRunning(first), 0); // forgotten
    release.set();
    EXPECT_TRUE(WaitUntil([] { return finished.load() == 1; }));
    for (int32_t nothing : {first, 0, 1000000})
        EXPECT_EQ(WaitForThread(nothing, -1) - ThreadRunning(nothing), 1) << nothing;
}

Event* gInWait;
Event* gLeaveWait;
std::atomic<int32_t> gWaitResult{-1};

// A waiter uses the handle outside the thread lock. Neither the sweep of a
// start nor CloseThreadHandles may close it under the waiter: a new thread
// runs on meanwhile, so a waiter left with a closed handle (or with the new
// thread's, which may well get the same value) fails.
TEST_F(ThreadsTest, HandleOfAWaiterStaysValidWhileTheThreadIsForgotten) {
    for (bool closeAll : {false, true}) {
        SCOPED_TRACE(closeAll ? "CloseThreadHandles" : "sweep");
        Event release, inWait, leaveWait, releaseNew;
        gInWait = &inWait;
        gLeaveWait = &leaveWait;
        gWaitResult = -1;
        int32_t watched = StartThread(WaitForEvent, release.parameter());
        SetThreadWaitHookForTests([](int32_t) {
            gInWait->set();
            gLeaveWait->wait();
        });
        StartThread(
            [](intptr_t number) -> uint32_t {
                gWaitResult = WaitForThread(static_cast<int32_t>(number), 8000);
                return 0;
            },
            watched);
        ASSERT_TRUE(inWait.wait()); // the waiter has the handle and has let go of the lock
        SetThreadWaitHookForTests(nullptr);
        if (closeAll) CloseThreadHandles();
        release.set();
        ASSERT_TRUE(WaitUntil([&] { return ThreadRunning(watched) == 0; }));
        StartThread(WaitForEvent, releaseNew.parameter()); // sweeps the watched thread
        leaveWait.set();
        ASSERT_TRUE(WaitUntil([] { return gWaitResult.load() != -1; }, 10000));
        EXPECT_EQ(gWaitResult.load(), 1);
        releaseNew.set();
    }
}

// --- Per-thread variables and exit callbacks ------------------------------

struct Counter {
    uint32_t marker; // set by the constructor
    uint32_t word;
};
int32_t gEarly, gLate, gThread;
std::atomic<int> gConstructed{0}, gDestroyed{0}, gDestroyedRight{0}, gCallbackFirst{0};
Counter* gThreadCopy;
Event gRegistered, gUsed;
void Construct(void* copy) {
    static_cast<Counter*>(copy)->marker = 0xC0FFEE;
    ++gConstructed;
}
// Right: the copy intact, its thread ended.
void Destroy(void* copy) {
    gDestroyedRight += static_cast<Counter*>(copy)->marker == 0xC0FFEEu && !ThreadRunning(gThread);
    ++gDestroyed;
}

// A thread whose block was made before a variable was registered gets it on
// its next use: the block grows (and moves: a large variable comes first),
// and the destructor still finds it after the thread has ended. A callback
// of the thread registered after its block's runs before the destructor:
// a thread's callbacks run newest first.
TEST_F(ThreadsTest, EachThreadGetsItsOwnCopyAlsoOfALaterVariableDestroyedAfterItEnds) {
    EXPECT_EQ(RegisterThreadVariable(-1, nullptr, nullptr), -1);
    EXPECT_EQ(ThreadVariable(-4), nullptr);
    gEarly = RegisterThreadVariable(8, nullptr, nullptr);
    ASSERT_TRUE(WaitUntil([] { return ExitWatcherCount() == 0; }));
    CloseThreadHandles(); // numbered threads' records are not the variables'
    size_t baseline = LiveBytes();
    gThread = StartThread(
        [](intptr_t) -> uint32_t {
            ThreadVariable(gEarly); // the thread's block exists from here
            OnThreadExit([](void*) { gCallbackFirst += gDestroyed == 0; }, nullptr);
            gRegistered.wait();
            gThreadCopy = static_cast<Counter*>(ThreadVariable(gLate));
            gUsed.set();
            return 0;
        },
        0);
    ASSERT_TRUE(WaitUntil([] { return ExitWatcherCount() > 0; })); // its block is watched
    size_t beforeRegistering = LiveBytes();
    ASSERT_GE(RegisterThreadVariable(100000, nullptr, nullptr), 0);
    gLate = RegisterThreadVariable(sizeof(Counter), Construct, Destroy);
    // The registering thread's copy is made and constructed at once.
    size_t registering = LiveBytes() - beforeRegistering;
    auto* mine = static_cast<Counter*>(ThreadVariable(gLate));
    ASSERT_NE(mine, nullptr);
    EXPECT_TRUE(gConstructed == 1 && mine->marker == 0xC0FFEEu);
    mine->word = 99;

    gRegistered.set();
    ASSERT_TRUE(gUsed.wait());
    ASSERT_NE(gThreadCopy, nullptr);
    EXPECT_NE(gThreadCopy, mine);
    // Zero-filled, then constructed.
    EXPECT_TRUE(gConstructed == 2 && gThreadCopy->marker == 0xC0FFEEu && gThreadCopy->word == 0);
    // Destroyed (on a watcher thread) once the thread has ended; the block,
    // the callbacks and the watcher go back to the heap.
    ASSERT_TRUE(WaitUntil([] { return gDestroyed.load() == 1; }));
    EXPECT_TRUE(gDestroyedRight == 1 && gCallbackFirst == 1);
    CloseThreadHandles();
    EXPECT_TRUE(WaitUntil([&] { return LiveBytes() == baseline + registering; }))
        << LiveBytes() - baseline << " " << registering;
}

// A wait takes at most 64 handles: one watcher watches 62 threads beside
// its wake semaphore, and the 63rd needs a second one. Every callback runs.
constexpr int kWatched = 63;
std::atomic<int> gWatching{0}, gExitCalls{0};
Event gReleaseWatched;

TEST_F(ThreadsTest, SixtyThirdWatchedThreadGetsASecondWatcher) {
    ASSERT_TRUE(WaitUntil([] { return ExitWatcherCount() == 0; }));
    for (int i = 0; i < kWatched; ++i) {
        auto watched = [](intptr_t) -> uint32_t {
            OnThreadExit([](void*) { ++gExitCalls; }, nullptr);
            ++gWatching;
            return WaitForEvent(gReleaseWatched.parameter());
        };
        ASSERT_NE(StartThread(watched, 0), 0);
        // One at a time, so that the 63rd is the last.
        ASSERT_TRUE(WaitUntil([&] { return gWatching.load() == i + 1; }));
        EXPECT_EQ(ExitWatcherCount(), i < 62 ? 1 : 2) << i;
    }
    gReleaseWatched.set();
    ASSERT_TRUE(WaitUntil([] { return gExitCalls.load() == kWatched; }, 10000));
    // A watcher with nothing left to watch ends and frees its record.
    EXPECT_TRUE(WaitUntil([] { return ExitWatcherCount() == 0; }));
}

} // namespace
