#include "runtime/random.h"

#include <atomic>

#include "runtime/platform.h"
#include "runtime/program_heap.h"

static uint32_t RotateLeft(uint32_t x, int bits) {
    return (x << bits) | (x >> (32 - bits));
}

void RandomSeed(RandomState* state, uint32_t seed) {
    uint32_t s = seed;
    for (int k = 0; k < 17; ++k) {
        s = s * 2891336453u + 1;
        state->b[k] = s;
        s = s * 2891336453u + 1;
        state->a[k] = s;
    }
    state->i = 0;
    state->j = 10;
    for (int k = 0; k < 31; ++k)
        RandomStep(state);
}

uint32_t RandomStep(RandomState* state) {
    int i = state->i, j = state->j;
    uint32_t x = RotateLeft(state->b[i], 19) + state->b[j];
    uint32_t y = RotateLeft(state->a[i], 27) + state->a[j];
    state->a[i] = x;
    state->b[i] = y;
    state->i = i == 0 ? 16 : i - 1;
    state->j = j == 0 ? 16 : j - 1;
    return x;
}

// The slot is made once for the process; RunOnce makes the first use safe
// even when several threads draw their first number at the same moment.
static ThreadSlot gStateSlot;
static bool gSlotReady;
static OnceFlag gSlotOnce;
static std::atomic<uint32_t> gFallbackDraws;

static RandomState* ThreadState() {
    RunOnce(&gSlotOnce, [] { gSlotReady = ThreadSlotAllocate(&gStateSlot); });
    if (!gSlotReady) return nullptr;
    auto* state = static_cast<RandomState*>(ThreadSlotGet(gStateSlot));
    if (!state) {
        state = static_cast<RandomState*>(ProgramHeapAllocate(sizeof(RandomState)));
        if (!state) return nullptr;
        RandomSeed(state, CurrentThreadId() ^ TickCountMs());
        ThreadSlotSet(gStateSlot, state);
    }
    return state;
}

int32_t RandomUpTo(int32_t maximum) {
    RandomState* state = ThreadState();
    // Without a state (no slot, or the heap is exhausted) a seed of the
    // moment still gives numbers in range rather than none. The count of such
    // draws goes into it too, so that draws within one clock tick differ: a
    // caller that draws until the number changes must not wait for the tick.
    RandomState fallback;
    if (!state) {
        uint32_t draw = gFallbackDraws.fetch_add(1, std::memory_order_relaxed);
        RandomSeed(&fallback, CurrentThreadId() ^ TickCountMs() ^ draw * 2654435761u);
        state = &fallback;
    }
    uint32_t x = RandomStep(state);
    uint32_t m = static_cast<uint32_t>(maximum) + 1u;
    if (m == 0) return static_cast<int32_t>(x);
    return static_cast<int32_t>((static_cast<uint64_t>(x) * m) >> 32);
}

void RandomForgetThreadState() {
    RunOnce(&gSlotOnce, [] { gSlotReady = ThreadSlotAllocate(&gStateSlot); });
    if (gSlotReady) ThreadSlotSet(gStateSlot, nullptr);
}
