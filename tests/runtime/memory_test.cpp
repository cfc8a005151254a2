#include "runtime/memory.h"

#include <gtest/gtest.h>

#include <cstring>

#include "runtime/platform.h"

class MemoryTest : public ::testing::Test {
  protected:
    void SetUp() override { MemoryInit(); }
    void TearDown() override { MemoryEnd(); }
};

TEST_F(MemoryTest, SizesOfZeroOrLessGiveNothing) {
    EXPECT_EQ(MemoryAllocate(0), nullptr);
    EXPECT_EQ(MemoryAllocate(-5), nullptr);
    auto* one = static_cast<unsigned char*>(MemoryAllocate(1));
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one[0], 0);
    EXPECT_NE(MemoryFree(one), 0);
    EXPECT_EQ(MemoryFree(nullptr), 0);
}

TEST_F(MemoryTest, ReusedMemoryComesZeroFilled) {
    for (int round = 0; round < 20; ++round) {
        auto* block = static_cast<unsigned char*>(MemoryAllocate(1000));
        ASSERT_NE(block, nullptr);
        for (int i = 0; i < 1000; ++i)
            ASSERT_EQ(block[i], 0) << "round " << round;
        std::memset(block, 0x5A, 1000);
        MemoryFree(block);
    }
}

TEST_F(MemoryTest, PokeStoresTheLowByteAndPeekReadsUpToTheZero) {
    auto* block = static_cast<char*>(MemoryAllocate(8));
    EXPECT_EQ(MemoryPeekText(block), "");
    EXPECT_EQ(MemoryPokeByte(block, 0x1234), 0x34);
    EXPECT_EQ(static_cast<unsigned char>(block[0]), 0x34);
    std::memcpy(block, "abc\0def", 8);
    EXPECT_EQ(MemoryPeekText(block), "abc");
    EXPECT_EQ(MemoryPeekText(nullptr), "");
    MemoryFree(block);
}

TEST_F(MemoryTest, BoundedPeekNeverReadsPastTheBlock) {
    // Exactly 6 bytes and no zero among them: AddressSanitizer would report
    // a read past the block.
    auto* block = static_cast<char*>(MemoryAllocate(6));
    std::memcpy(block, "abcdef", 6);
    EXPECT_EQ(MemoryPeekTextBounded(block, 6), "abcdef");
    EXPECT_EQ(MemoryPeekTextBounded(block + 5, 1), "f");
    block[3] = 0;
    EXPECT_EQ(MemoryPeekTextBounded(block, 6), "abc");
    EXPECT_EQ(MemoryPeekTextBounded(nullptr, 6), "");
    MemoryFree(block);
}

TEST_F(MemoryTest, EndReleasesEveryBlockStillHeld) {
    for (int i = 0; i < 10; ++i)
        MemoryAllocate(100);
    EXPECT_EQ(PlatformHeapLiveBytes(MemoryHeap()), 1000u);
    MemoryEnd(); // a leak here would be reported by AddressSanitizer
    EXPECT_EQ(MemoryHeap(), nullptr);
    EXPECT_EQ(MemoryAllocate(10), nullptr); // no heap, no block
    MemoryInit();
}
