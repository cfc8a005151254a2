// The frame builder when memory runs out: without a block for the frame
// nothing is drawn and nothing kept; without the program heap (no state for
// the nonce generator) frames are still built with fresh nonces.
#include <gtest/gtest.h>

#include <cstring>

#include "app/frame.h"
#include "runtime/memory.h"
#include "runtime/random.h"
#include "tests/support/failing_heap.h"
#include "tests/support/program_heap_fixture.h"

namespace {

class FrameAllocationFailure : public ProgramHeapTest {
  protected:
    void SetUp() override {
        ProgramHeapTest::SetUp();
        MemoryInit();
        ResetFrameBuilder();
        RandomForgetThreadState();
    }
    void TearDown() override {
        EXPECT_EQ(PlatformHeapLiveBytes(MemoryHeap()), 0u) << "frame blocks left behind";
        MemoryEnd();
        ProgramHeapTest::TearDown();
    }
    // Frees a built frame, as the sender does.
    static void Sent() {
        MemoryFree(FrameBuffer);
        FrameBuffer = nullptr;
    }
};

TEST_F(FrameAllocationFailure, NoBlockLeavesNoFrameAndTheNonceAsItWas) {
    ASSERT_NE(BuildFrame("before"), nullptr);
    Sent();
    int32_t nonce = LastNonce;
    // A stale address in the word must not look like a frame either.
    FrameBuffer = &nonce;
    int allowed = 0;
    for (;; ++allowed) {
        ASSERT_LT(allowed, kMostAllocationsOfOneOperation);
        void* frame;
        {
            FailingHeap failing(MemoryHeap(), allowed);
            frame = BuildFrame("Hello\n\r");
        }
        if (frame) break;
        EXPECT_EQ(FrameBuffer, nullptr);
        EXPECT_EQ(LastNonce, nonce);
        EXPECT_EQ(PlatformHeapLiveBytes(MemoryHeap()), 0u);
    }
    EXPECT_EQ(allowed, 1);
    EXPECT_NE(LastNonce, nonce);
    EXPECT_EQ(std::memcmp(static_cast<char*>(FrameBuffer) + FrameHeaderSize, "Hello\n\r", 7), 0);
    Sent();
}

TEST_F(FrameAllocationFailure, WithoutTheProgramHeapFramesStillGetFreshNonces) {
    FailingHeap failing(ProgramHeap(), 0);
    int32_t previous = LastNonce;
    for (int i = 0; i < 500; ++i) {
        auto* frame = static_cast<const unsigned char*>(BuildFrame("m"));
        ASSERT_NE(frame, nullptr);
        ASSERT_NE(frame[3], previous) << i;
        ASSERT_EQ(frame[4], FrameFlagByte(frame[3]));
        previous = frame[3];
        Sent();
    }
    EXPECT_EQ(LiveBytes(), 0u); // no generator state was made
}

} // namespace
