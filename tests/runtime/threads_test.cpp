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

// --- Per-thread variables and exit callbacks ------------------------------

struct Counter {
    uint32_t marker; // set by the constructor
    uint32_t word;
};
int32_t gVariable, gThread;
std::atomic<int> gConstructed{0}, gDestroyed{0}, gDestroyedRight{0}, gCallbackFirst{0};
std::atomic<Counter*> gThreadCopy;
void Construct(void* copy) {
    static_cast<Counter*>(copy)->marker = 0xC0FFEE;
    ++gConstructed;
}
// Right: the copy intact, its thread ended.
void Destroy(void* copy) {
    gDestroyedRight += static_cast<Counter*>(copy)->marker == 0xC0FFEEu && !ThreadRunning(gThread);
    ++gDestroyed;
}

// Each thread gets a copy of its own, zero-filled and constructed at its
// first use (the registering thread's at once), and destroyed on a watcher
// thread after the thread has ended, after the thread's own exit callback (a
// thread's callbacks run newest first); then the block, the callbacks and
// the watcher go back to the heap.
TEST_F(ThreadsTest, EachThreadGetsItsOwnCopyDestroyedAfterItEnds) {
    EXPECT_EQ(RegisterThreadVariable(-1, nullptr, nullptr), -1);
    ASSERT_TRUE(WaitUntil([] { return ExitWatcherCount() == 0; }));
    CloseThreadHandles(); // numbered threads' records are not the variables'
    gVariable = RegisterThreadVariable(sizeof(Counter), Construct, Destroy);
    auto* mine = static_cast<Counter*>(ThreadVariable(gVariable));
    ASSERT_TRUE(mine && gConstructed == 1 && mine->marker == 0xC0FFEEu);
    mine->word = 99;
    const size_t baseline = LiveBytes();
    gThread = StartThread(
        [](intptr_t) -> uint32_t {
            auto* copy = static_cast<Counter*>(ThreadVariable(gVariable));
            gThreadCopy = copy && copy->word == 0 ? copy : nullptr;
            OnThreadExit([](void*) { gCallbackFirst += gDestroyed == 0; }, nullptr);
            return 0;
        },
        0);
    ASSERT_TRUE(WaitUntil([] { return gDestroyed.load() == 1; })) << "its copy was not destroyed";
    EXPECT_TRUE(gThreadCopy && gThreadCopy != mine && gConstructed == 2);
    EXPECT_TRUE(gDestroyedRight == 1 && gCallbackFirst == 1);
    CloseThreadHandles();
    EXPECT_TRUE(WaitUntil([&] { return LiveBytes() == baseline; })) << LiveBytes() - baseline;
}

} // namespace
