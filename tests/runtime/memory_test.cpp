#include "runtime/memory.h"

#include <gtest/gtest.h>

#include "runtime/platform.h"

TEST(Memory, BlocksComeZeroFilledForSizesAboveZeroOnlyAndWhileTheHeapExists) {
    MemoryInit();
    EXPECT_EQ(MemoryAllocate(0), nullptr);
    EXPECT_EQ(MemoryAllocate(-5), nullptr);
    auto* block = static_cast<unsigned char*>(MemoryAllocate(8));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(MemoryPeekText(block), "");
    EXPECT_EQ(MemoryPokeByte(block, 0x1234), '4'); // the low byte, 0x34
    EXPECT_EQ(MemoryPokeByte(block + 1, 'b'), 'b');
    EXPECT_EQ(MemoryPeekText(block), "4b");
    EXPECT_EQ(MemoryPeekText(nullptr), "");
    EXPECT_EQ(MemoryFree(nullptr), 0);
    EXPECT_NE(MemoryFree(block), 0);
    MemoryAllocate(100);
    MemoryEnd(); // releases the block still held (AddressSanitizer would report a leak)
    EXPECT_EQ(MemoryHeap(), nullptr);
    EXPECT_EQ(MemoryAllocate(10), nullptr);
}
