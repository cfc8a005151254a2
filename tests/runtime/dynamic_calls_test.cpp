#include "runtime/dynamic_calls_win.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// How many procedures of the table are filled: the slots read as plain
// entries, whatever their types.
int FilledProcedures() {
    FARPROC slots[sizeof(DynamicCalls) / sizeof(FARPROC)];
    std::memcpy(slots, &Dynamic(), sizeof slots);
    int filled = 0;
    for (FARPROC slot : slots)
        filled += slot != nullptr;
    return filled;
}

struct LibraryCase {
    RuntimeLibrary library;
    int procedures; // all of them are in the library's own file
};

class DynamicCallsTest : public ::testing::TestWithParam<LibraryCase> {
  protected:
    void TearDown() override { ReleaseRuntimeLibrary(GetParam().library); }
};

// Each procedure is found in its own library: a misspelt name or a row of
// the wrong library would leave a slot empty or fill another's.
TEST_P(DynamicCallsTest, ItsOwnFileFillsExactlyItsProcedures) {
    HMODULE loaded = LoadRuntimeLibrary(GetParam().library);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(FilledProcedures(), GetParam().procedures);
    EXPECT_EQ(LoadRuntimeLibrary(GetParam().library), loaded) << "loaded once, then held";
    ReleaseRuntimeLibrary(GetParam().library);
    EXPECT_EQ(RuntimeLibraryHandle(GetParam().library), nullptr);
    EXPECT_EQ(FilledProcedures(), 0);
}

// Every caller copes with null: a library without the procedures fills none.
TEST_P(DynamicCallsTest, AStandInWithoutTheProceduresLeavesThemNull) {
    EXPECT_NE(LoadRuntimeLibrary(GetParam().library, "kernel32.dll"), nullptr);
    EXPECT_EQ(FilledProcedures(), 0);
}

// A library that cannot be loaded is asked for again, not remembered absent.
TEST_P(DynamicCallsTest, AMissingLibraryIsTriedAgainNextTime) {
    EXPECT_EQ(LoadRuntimeLibrary(GetParam().library, "no-such-library.dll"), nullptr);
    EXPECT_EQ(FilledProcedures(), 0);
    EXPECT_NE(LoadRuntimeLibrary(GetParam().library), nullptr);
}

INSTANTIATE_TEST_SUITE_P(EveryLibrary, DynamicCallsTest,
                         ::testing::Values(LibraryCase{RuntimeLibrary::CommonControls, 1},
                                           LibraryCase{RuntimeLibrary::Theme, 7},
                                           LibraryCase{RuntimeLibrary::Image, 1},
                                           LibraryCase{RuntimeLibrary::Resolver, 3},
                                           LibraryCase{RuntimeLibrary::Multimedia, 2}));

} // namespace
