#pragma once
// Gives each test a fresh program heap, as the entry point would, and checks
// that the test gave back what it took unless it says otherwise.
#include <gtest/gtest.h>

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
