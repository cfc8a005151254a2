#pragma once
// Allocation failures for tests: while a FailingHeap is in scope, the first
// `allowed` allocations or growths of the heap succeed and every later one
// fails. FailEachAllocation runs an operation so that each of its
// allocations fails once, in turn, until it completes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "runtime/platform.h"

class FailingHeap {
  public:
    FailingHeap(PlatformHeap* heap, int64_t allowed) : heap_(heap) {
        PlatformHeapFailAfter(heap_, allowed);
    }
    ~FailingHeap() { PlatformHeapFailAfter(heap_, -1); }
    FailingHeap(const FailingHeap&) = delete;
    FailingHeap& operator=(const FailingHeap&) = delete;

  private:
    PlatformHeap* heap_;
};

// Enough for any one operation of this system; a loop that gets here has
// met an operation that never completes.
constexpr int kMostAllocationsOfOneOperation = 32;

// The prepare() of an operation that needs nothing made before each attempt.
inline void NoPreparation() {}

// For allowed = 0, 1, 2, ...: prepare() with the heap working, then
// attempt() with only `allowed` allocations of the heap let through, until
// attempt() reports that it completed (true). After each failed attempt,
// afterFailure(allowed) checks that the failure left no trace. Returns the
// number of failed attempts, or -1 (and fails the test) when the operation
// never completes.
template <typename Prepare, typename Attempt, typename AfterFailure>
int FailEachAllocation(PlatformHeap* heap, Prepare prepare, Attempt attempt,
                       AfterFailure afterFailure) {
    for (int allowed = 0; allowed < kMostAllocationsOfOneOperation; ++allowed) {
        prepare();
        bool completed;
        {
            FailingHeap failing(heap, allowed);
            completed = attempt();
        }
        if (completed) return allowed;
        SCOPED_TRACE("allocations allowed: " + std::to_string(allowed));
        afterFailure(allowed);
    }
    ADD_FAILURE() << "the operation never completed";
    return -1;
}
