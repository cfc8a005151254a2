#pragma once
// Gives each test a fresh program heap, as the entry point would;
// MemoryHeapTest adds the memory heap of application buffers and checks that
// the test gave back every block it took from it.
#include <gtest/gtest.h>

#include "runtime/memory.h"
#include "runtime/platform.h"
#include "runtime/program_heap.h"
#include "runtime/random.h"

class ProgramHeapTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(ProgramHeapCreate()); }
    void TearDown() override {
        RandomForgetThreadState();
        ProgramHeapDestroy();
    }
    static size_t LiveBytes() { return PlatformHeapLiveBytes(ProgramHeap()); }
};

class MemoryHeapTest : public ProgramHeapTest {
  protected:
    void SetUp() override {
        ProgramHeapTest::SetUp();
        MemoryInit();
    }
    void TearDown() override {
        EXPECT_EQ(MemoryLiveBytes(), 0u) << "memory blocks left behind";
        MemoryEnd();
        ProgramHeapTest::TearDown();
    }
    static size_t MemoryLiveBytes() { return PlatformHeapLiveBytes(MemoryHeap()); }
};
