#include "runtime/threads.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <map>
#include <vector>

#include "runtime/platform.h"
#include "runtime/program_heap.h"
#include "tests/support/wait_until.h"

namespace {

// Threads, variables and watchers are process-wide, so the heap under them
// lives as long as the test process.
class ThreadsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(ProgramHeapCreate());
        ThreadsInit();
    }
    static size_t LiveBytes() { return PlatformHeapLiveBytes(ProgramHeap()); }
};

// Set by tests that start numbered threads, so that the test of the first
// number knows whether it runs first in its process.
int gThreadsStartedHere = 0;

int32_t Start(ThreadProcedure procedure, intptr_t parameter = 0) {
    ++gThreadsStartedHere;
    return StartThread(procedure, parameter);
}

uint32_t ReturnAtOnce(intptr_t) {
    return 0;
}

// Waits for the manual-reset event passed as parameter.
uint32_t WaitForEvent(intptr_t parameter) {
    WaitForSingleObject(reinterpret_cast<HANDLE>(parameter), INFINITE);
    return 7;
}

// A system thread running body(argument), for tests that need the thread's
// own handle; body may be a capture-less lambda.
struct RawStart {
    void (*body)(void*);
    void* argument;
};
DWORD WINAPI RawThreadMain(LPVOID start) {
    RawStart copy = *static_cast<RawStart*>(start);
    delete static_cast<RawStart*>(start);
    copy.body(copy.argument);
    return 0;
}
HANDLE RawThread(void (*body)(void*), void* argument = nullptr) {
    return CreateThread(nullptr, 0, RawThreadMain, new RawStart{body, argument}, 0, nullptr);
}

struct Event {
    HANDLE handle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~Event() { CloseHandle(handle); }
    intptr_t parameter() const { return reinterpret_cast<intptr_t>(handle); }
    void set() const { SetEvent(handle); }
    bool wait(DWORD ms = 5000) const { return WaitForSingleObject(handle, ms) == WAIT_OBJECT_0; }
};

} // namespace

// --- Numbered threads ----------------------------------------------------

TEST_F(ThreadsTest, NumbersStartAtOneAndGoUpWhetherOrNotEarlierThreadsEnded) {
    bool firstInProcess = gThreadsStartedHere == 0;
    Event release;
    int32_t first = Start(WaitForEvent, release.parameter());
    int32_t second = Start(ReturnAtOnce);
    ASSERT_NE(first, 0);
    if (firstInProcess) {
        EXPECT_EQ(first, 1);
    }
    EXPECT_EQ(second, first + 1);
    ASSERT_EQ(WaitForThread(second, 5000), 1);
    // The second has ended and is swept by the next start; its number stays used.
    int32_t third = Start(ReturnAtOnce);
    EXPECT_EQ(third, first + 2);
    release.set();
    EXPECT_EQ(WaitForThread(first, 5000), 1);
    EXPECT_EQ(WaitForThread(third, 5000), 1);
}

TEST_F(ThreadsTest, ParameterReachesTheProcedure) {
    static std::atomic<intptr_t> seen{0};
    int32_t number = Start(
        [](intptr_t parameter) -> uint32_t {
            seen = parameter;
            return 0;
        },
        static_cast<intptr_t>(0x5A5A1234));
    ASSERT_NE(number, 0);
    ASSERT_EQ(WaitForThread(number, 5000), 1);
    EXPECT_EQ(seen.load(), 0x5A5A1234);
}

TEST_F(ThreadsTest, WaitThatTimesOutLeavesTheThreadRunning) {
    Event release;
    int32_t number = Start(WaitForEvent, release.parameter());
    ASSERT_NE(number, 0);
    double start = NowMs();
    EXPECT_EQ(WaitForThread(number, 50), 0);
    EXPECT_GE(NowMs() - start, 40.0); // it did wait, up to the limit
    EXPECT_EQ(ThreadRunning(number), 1);
    release.set();
    EXPECT_EQ(WaitForThread(number, -1), 1);
    EXPECT_EQ(ThreadRunning(number), 0);
}

TEST_F(ThreadsTest, NumbersWithoutARunningThreadAnswerAtOnce) {
    EXPECT_EQ(WaitForThread(1000000, -1), 1); // never started: no wait at all
    EXPECT_EQ(ThreadRunning(1000000), 0);
    EXPECT_EQ(ThreadRunning(0), 0);
    int32_t number = Start(ReturnAtOnce);
    ASSERT_EQ(WaitForThread(number, 5000), 1);
    EXPECT_EQ(WaitForThread(number, -1), 1);
    EXPECT_EQ(ThreadRunning(number), 0);
}

TEST_F(ThreadsTest, StartingAThreadForgetsEndedOnesAndClosesTheirHandles) {
    CloseThreadHandles();
    Event release, endTogether;
    int32_t running = Start(WaitForEvent, release.parameter());
    std::vector<int32_t> ended;
    for (int i = 0; i < 20; ++i)
        ended.push_back(Start(WaitForEvent, endTogether.parameter()));
    endTogether.set();
    for (int32_t number : ended)
        ASSERT_EQ(WaitForThread(number, 5000), 1);
    EXPECT_EQ(KnownThreadCount(), 21);                       // waits do not forget anything
    int32_t next = Start(WaitForEvent, release.parameter()); // sweeps the twenty
    EXPECT_EQ(KnownThreadCount(), 2);                        // the two that still run
    EXPECT_EQ(ThreadRunning(ended[0]), 0);
    EXPECT_EQ(ThreadRunning(running), 1);
    release.set();
    EXPECT_EQ(WaitForThread(running, 5000), 1);
    EXPECT_EQ(WaitForThread(next, 5000), 1);
}

namespace {
Event* gInWaitHook;
Event* gLeaveWaitHook;
void PauseInsideWait(int32_t) {
    gInWaitHook->set();
    gLeaveWaitHook->wait();
}
std::atomic<int32_t> gWaitResult{-1};
} // namespace

TEST_F(ThreadsTest, HandleOfAWaiterStaysValidWhileAnotherThreadSweeps) {
    Event release, inHook, leaveHook;
    gInWaitHook = &inHook;
    gLeaveWaitHook = &leaveHook;
    int32_t watched = Start(WaitForEvent, release.parameter());
    ASSERT_NE(watched, 0);
    SetThreadWaitHookForTests(PauseInsideWait);
    int32_t waiter = Start(
        [](intptr_t number) -> uint32_t {
            gWaitResult = WaitForThread(static_cast<int32_t>(number), 5000);
            return 0;
        },
        watched);
    // The waiter has found the handle and let go of the lock; now the
    // watched thread ends and a new start sweeps ended threads.
    ASSERT_TRUE(inHook.wait());
    SetThreadWaitHookForTests(nullptr);
    release.set();
    ASSERT_TRUE(WaitUntil([&] { return ThreadRunning(watched) == 0; }));
    // The new thread runs on, so a waiter that waited on a closed handle (or
    // on the new thread's handle, which may well get the same value) fails.
    Event releaseSweeper;
    int32_t sweeper = Start(WaitForEvent, releaseSweeper.parameter());
    leaveHook.set();
    ASSERT_EQ(WaitForThread(waiter, 10000), 1);
    EXPECT_EQ(gWaitResult.load(), 1);
    releaseSweeper.set();
    EXPECT_EQ(WaitForThread(sweeper, 5000), 1);
}

TEST_F(ThreadsTest, CloseThreadHandlesForgetsThreadsWithoutStoppingThem) {
    static std::atomic<int> finished{0};
    Event release;
    int32_t number = Start(
        [](intptr_t parameter) -> uint32_t {
            WaitForSingleObject(reinterpret_cast<HANDLE>(parameter), INFINITE);
            finished = 1;
            return 0;
        },
        release.parameter());
    ASSERT_EQ(ThreadRunning(number), 1);
    CloseThreadHandles();
    EXPECT_EQ(ThreadRunning(number), 0);
    EXPECT_EQ(WaitForThread(number, -1), 1);
    release.set();
    EXPECT_TRUE(WaitUntil([] { return finished.load() == 1; }));
}

// --- Per-thread variables ------------------------------------------------

TEST_F(ThreadsTest, SizesAreRoundedUpToTheWord) {
    int32_t a = RegisterThreadVariable(5, nullptr, nullptr);
    int32_t b = RegisterThreadVariable(4, nullptr, nullptr);
    int32_t c = RegisterThreadVariable(1, nullptr, nullptr);
    ASSERT_GE(a, 0);
    EXPECT_EQ(b - a, 8);
#if INTPTR_MAX == INT32_MAX
    EXPECT_EQ(c - b, 4);
#else
    EXPECT_EQ(c - b, 8);
#endif
    EXPECT_EQ(RegisterThreadVariable(-1, nullptr, nullptr), -1);
    EXPECT_EQ(ThreadVariable(-4), nullptr);
}

namespace {
struct Counter {
    uint32_t marker;
    uint32_t words[3];
};

// Constructor and destructor of one test's variable, counted apart from
// those of other tests' variables, which every new thread constructs too.
template <int Test> struct Counted {
    static inline std::atomic<int> constructed{0};
    static inline std::atomic<int> destroyed{0};
    static inline std::atomic<int> destroyedIntact{0};
    static inline std::atomic<int> destroyedAfterEnd{0};
    static inline std::atomic<DWORD> destroyedOn{0};
    static inline HANDLE watchedThread = nullptr;

    static void Construct(void* variable) {
        static_cast<Counter*>(variable)->marker = 0xC0FFEE;
        ++constructed;
    }
    static void Destroy(void* variable) {
        if (static_cast<Counter*>(variable)->marker == 0xC0FFEEu) ++destroyedIntact;
        destroyedOn = GetCurrentThreadId();
        if (watchedThread && WaitForSingleObject(watchedThread, 0) == WAIT_OBJECT_0)
            ++destroyedAfterEnd;
        ++destroyed;
    }
    static int32_t Register() {
        return RegisterThreadVariable(sizeof(Counter), Construct, Destroy);
    }
};
} // namespace

TEST_F(ThreadsTest, RegisteringConstructsTheCallersCopyAtOnce) {
    using Count = Counted<1>;
    int32_t offset = Count::Register();
    ASSERT_GE(offset, 0);
    EXPECT_EQ(Count::constructed, 1);
    auto* mine = static_cast<Counter*>(ThreadVariable(offset));
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(mine->marker, 0xC0FFEEu);
    EXPECT_EQ(ThreadVariable(offset), mine); // the same copy every time
}

namespace {
struct Probe {
    int32_t offset;
    Counter* copy;
    Counter seen;
    DWORD threadId;
};
void UseVariable(void* argument) {
    auto* probe = static_cast<Probe*>(argument);
    probe->copy = static_cast<Counter*>(ThreadVariable(probe->offset));
    if (probe->copy) probe->seen = *probe->copy;
    probe->threadId = GetCurrentThreadId();
}
} // namespace

TEST_F(ThreadsTest, EachThreadGetsItsOwnZeroFilledCopyDestroyedAfterItEnds) {
    using Count = Counted<2>;
    int32_t offset = Count::Register();
    static_cast<Counter*>(ThreadVariable(offset))->words[0] = 99; // the main copy only
    size_t baseline = LiveBytes();

    Probe probe{offset, nullptr, {}, 0};
    HANDLE thread = RawThread(UseVariable, &probe);
    ASSERT_NE(thread, nullptr);
    Count::watchedThread = thread;
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    ASSERT_NE(probe.copy, nullptr);
    EXPECT_NE(probe.copy, ThreadVariable(offset));
    EXPECT_EQ(probe.seen.marker, 0xC0FFEEu);
    EXPECT_EQ(probe.seen.words[0], 0u);
    EXPECT_EQ(Count::constructed, 2); // the main copy and the thread's

    // Destroyed on a watcher thread once the thread has ended, and the
    // block, the callback and the watcher go back to the heap.
    ASSERT_TRUE(WaitUntil([&] { return Count::destroyed.load() == 1; }));
    EXPECT_EQ(Count::destroyedAfterEnd.load(), 1);
    EXPECT_EQ(Count::destroyedIntact.load(), 1);
    EXPECT_NE(Count::destroyedOn.load(), probe.threadId);
    EXPECT_NE(Count::destroyedOn.load(), GetCurrentThreadId());
    EXPECT_TRUE(WaitUntil([&] { return LiveBytes() == baseline; })) << LiveBytes() - baseline;
    Count::watchedThread = nullptr;
    CloseHandle(thread);
}

TEST_F(ThreadsTest, CopyMadeBeforeALaterRegistrationGrowsOnItsNextUse) {
    using Count = Counted<3>;
    static int32_t early;
    static int32_t late = -1;
    static Event* registered;
    static Event* used;
    early = RegisterThreadVariable(8, nullptr, nullptr);
    Event registeredEvent, usedEvent;
    registered = &registeredEvent;
    used = &usedEvent;
    static std::atomic<Counter*> lateCopy{nullptr};
    ASSERT_TRUE(WaitUntil([] { return ExitWatcherCount() == 0; }));
    size_t baseline = LiveBytes();

    HANDLE thread = RawThread([](void*) {
        ThreadVariable(early); // the thread's block exists from here
        registered->wait();
        lateCopy = static_cast<Counter*>(ThreadVariable(late));
        used->set();
    });
    ASSERT_NE(thread, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return ExitWatcherCount() > 0; }));
    size_t beforeRegistering = LiveBytes();
    // A large variable first, so that the thread's block has to move when it grows.
    ASSERT_GE(RegisterThreadVariable(100000, nullptr, nullptr), 0);
    late = Count::Register();
    size_t registering = LiveBytes() - beforeRegistering; // the main copy and the variable record
    registeredEvent.set();
    ASSERT_TRUE(usedEvent.wait());
    ASSERT_NE(lateCopy.load(), nullptr);
    EXPECT_EQ(lateCopy.load()->marker, 0xC0FFEEu); // constructed on the grown block
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    // The destructor found the block where it had moved to, and freed it.
    ASSERT_TRUE(WaitUntil([&] { return Count::destroyed.load() == 1; }));
    EXPECT_EQ(Count::destroyedIntact.load(), 1);
    EXPECT_TRUE(WaitUntil([&] { return LiveBytes() == baseline + registering; }))
        << LiveBytes() - baseline;
}

// --- Thread-exit callbacks -----------------------------------------------

namespace {
struct ExitLog {
    std::atomic<int> calls{0};
    int order[4] = {};
    DWORD ranOn = 0;
};
ExitLog gExitLog;
void RecordExit(void* data) {
    int call = gExitLog.calls++;
    if (call < 4) gExitLog.order[call] = static_cast<int>(reinterpret_cast<intptr_t>(data));
    gExitLog.ranOn = GetCurrentThreadId();
}
} // namespace

TEST_F(ThreadsTest, ExitCallbacksRunNewestFirstOnAnotherThreadAfterTheEnd) {
    static DWORD ended;
    static std::atomic<int> callsWhileRunning{-1};
    HANDLE thread = RawThread([](void*) {
        ended = GetCurrentThreadId();
        OnThreadExit(RecordExit, reinterpret_cast<void*>(1));
        OnThreadExit(RecordExit, reinterpret_cast<void*>(2));
        OnThreadExit(RecordExit, reinterpret_cast<void*>(3));
        Sleep(50);
        callsWhileRunning = gExitLog.calls.load();
    });
    ASSERT_NE(thread, nullptr);
    ASSERT_TRUE(WaitUntil([] { return gExitLog.calls.load() == 3; }));
    EXPECT_EQ(callsWhileRunning.load(), 0); // nothing ran while the thread did
    EXPECT_EQ(gExitLog.order[0], 3);
    EXPECT_EQ(gExitLog.order[1], 2);
    EXPECT_EQ(gExitLog.order[2], 1);
    EXPECT_NE(gExitLog.ranOn, ended);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_TRUE(WaitUntil([] { return ExitWatcherCount() == 0; }));
}

namespace {
constexpr int kWatched = 63;
std::atomic<int> gExitCalls{0};
DWORD gExitThreads[kWatched];
void RecordExitThread(void* data) {
    gExitThreads[reinterpret_cast<intptr_t>(data)] = GetCurrentThreadId();
    ++gExitCalls;
}
struct WatchedStart {
    intptr_t index;
    HANDLE registered;
    HANDLE release;
};
void RegisterAndWait(void* argument) {
    auto* start = static_cast<WatchedStart*>(argument);
    OnThreadExit(RecordExitThread, reinterpret_cast<void*>(start->index));
    SetEvent(start->registered);
    WaitForSingleObject(start->release, INFINITE);
}
} // namespace

TEST_F(ThreadsTest, SixtyThirdWatchedThreadGetsASecondWatcher) {
    ASSERT_TRUE(WaitUntil([] { return ExitWatcherCount() == 0; }));
    Event release;
    std::vector<HANDLE> threads;
    std::vector<WatchedStart> starts(kWatched);
    for (int i = 0; i < kWatched; ++i) {
        Event registered;
        starts[i] = WatchedStart{i, registered.handle, release.handle};
        HANDLE thread = RawThread(RegisterAndWait, &starts[i]);
        ASSERT_NE(thread, nullptr);
        threads.push_back(thread);
        ASSERT_TRUE(registered.wait()); // one at a time, so the 63rd is the last
        EXPECT_EQ(ExitWatcherCount(), i < 62 ? 1 : 2) << i;
    }
    release.set();
    ASSERT_TRUE(WaitUntil([] { return gExitCalls.load() == kWatched; }, 10000));
    // The first 62 were handed out by one watcher thread, the 63rd by another.
    for (int i = 1; i < 62; ++i)
        EXPECT_EQ(gExitThreads[i], gExitThreads[0]) << i;
    EXPECT_NE(gExitThreads[62], gExitThreads[0]);
    for (HANDLE thread : threads) {
        WaitForSingleObject(thread, 5000);
        CloseHandle(thread);
    }
    // A watcher with nothing left to watch ends and frees its record.
    EXPECT_TRUE(WaitUntil([] { return ExitWatcherCount() == 0; }));
}

TEST_F(ThreadsTest, SecondCallbackOfAWatchedThreadJoinsItsSlot) {
    static std::atomic<int> calls{0};
    static std::atomic<int> watchersGrew{-1};
    HANDLE thread = RawThread([](void*) {
        OnThreadExit([](void*) { ++calls; }, nullptr);
        int32_t watchers = ExitWatcherCount();
        OnThreadExit([](void*) { ++calls; }, nullptr);
        watchersGrew = ExitWatcherCount() - watchers;
    });
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(WaitUntil([] { return calls.load() == 2; }));
    EXPECT_EQ(watchersGrew.load(), 0);
    CloseHandle(thread);
}
