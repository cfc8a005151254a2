// The frame builder's nonces, and the builder when memory runs out. The
// header and message bytes of any built frame, the check of any datagram
// and the payload of any received block are the fuzz targets' models
// (tests/fuzz/fuzz_frame.cpp), run over its seeds in every test run.
#include "app/frame.h"

#include <gtest/gtest.h>

#include <set>

#include "tests/support/failing_heap.h"
#include "tests/support/program_heap_fixture.h"

namespace {

using Frame = MemoryHeapTest;

// No nonce repeats the one before it, and the first of a run is never 0;
// otherwise every byte comes.
TEST_F(Frame, FirstNonceOfARunIsNeverZeroAndLaterOnesTakeEveryByte) {
    std::set<int32_t> seen;
    for (int i = 0; i < 20000; ++i) {
        bool first = i % 8 == 0;
        if (first) ResetFrameBuilder(); // as the entry point does
        int32_t before = LastNonce;
        int32_t nonce = NextNonce();
        ASSERT_TRUE(nonce != before && !(first && nonce == 0)) << i;
        seen.insert(nonce);
    }
    EXPECT_EQ(seen.size(), 256u);
    EXPECT_TRUE(*seen.begin() == 0 && *seen.rbegin() == 255);
}

// Without a block nothing is drawn or kept, and a stale address left in
// FrameBuffer does not pass for a frame. A negative count gets no frame.
TEST_F(Frame, WithoutABlockThereIsNoFrameAndTheNonceStays) {
    int32_t nonce = 0;
    auto stale = [&] { FrameBuffer = &(nonce = LastNonce); };
    auto build = [] { return BuildFrame("Hello\n\r") != nullptr; };
    auto untouched = [&](int) {
        EXPECT_EQ(FrameBuffer, nullptr);
        EXPECT_EQ(LastNonce, nonce);
        EXPECT_EQ(MemoryLiveBytes(), 0u);
    };
    EXPECT_GE(FailEachAllocation(MemoryHeap(), stale, build, untouched), 1);
    EXPECT_EQ(ReceivedPayloadText(FrameBuffer, 12), "Hello\n\r");
    MemoryFree(FrameBuffer);
    EXPECT_EQ(BuildFrameOfBytes("x", -1), nullptr);
    EXPECT_EQ(FrameBuffer, nullptr);
}

} // namespace
