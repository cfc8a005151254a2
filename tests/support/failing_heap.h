#pragma once
// Allocation failures for tests: while a FailingHeap is in scope, the first
// `allowed` allocations or growths of the heap succeed and every later one
// fails. A test runs an operation with allowed = 0, 1, 2, ... so that each
// of its allocations fails once, until the operation completes.
#include <cstdint>

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
