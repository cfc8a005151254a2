#pragma once
// The test hooks of the platform heaps (PlatformHeapFailAfter and
// PlatformHeapFailLargerThan), shared by both platform implementations.
#include <atomic>
#include <cstddef>
#include <cstdint>

struct HeapFailureBudget {
    std::atomic<int64_t> failAfter{-1}; // allocations left before failing; -1: never
    std::atomic<size_t> failLargerThan{SIZE_MAX};

    // One allocation or growth of size bytes may proceed unless a test has
    // run the budget out or set a smaller size limit.
    bool MayAllocate(size_t size) {
        if (size > failLargerThan.load(std::memory_order_relaxed)) return false;
        int64_t left = failAfter.load(std::memory_order_relaxed);
        while (left >= 0) {
            if (left == 0) return false;
            if (failAfter.compare_exchange_weak(left, left - 1)) return true;
        }
        return true;
    }
};
