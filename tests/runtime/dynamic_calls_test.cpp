#include "runtime/dynamic_calls_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

// How many procedures of the table are filled: the slots read as plain
// entries, whatever their types.
int FilledProcedures() {
    FARPROC slots[sizeof(DynamicCalls) / sizeof(FARPROC)];
    std::memcpy(slots, &Dynamic(), sizeof slots);
    return static_cast<int>(std::count_if(slots, std::end(slots), [](FARPROC p) { return p; }));
}

class DynamicCallsTest : public ::testing::TestWithParam<std::pair<RuntimeLibrary, int>> {};

// Each procedure is found in its own library: a misspelt name or a row of
// the wrong library would leave a slot empty or fill another's. A library
// without the procedures fills none (every caller copes with null), and one
// that cannot be loaded is asked for again, not remembered absent.
TEST_P(DynamicCallsTest, ItsOwnFileFillsExactlyItsProcedures) {
    auto [library, procedures] = GetParam();
    HMODULE loaded = LoadRuntimeLibrary(library);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(FilledProcedures(), procedures);
    EXPECT_EQ(LoadRuntimeLibrary(library), loaded) << "loaded once, then held";
    ReleaseRuntimeLibrary(library);
    EXPECT_EQ(RuntimeLibraryHandle(library), nullptr);
    EXPECT_EQ(FilledProcedures(), 0);
    EXPECT_NE(LoadRuntimeLibrary(library, "kernel32.dll"), nullptr);
    EXPECT_EQ(FilledProcedures(), 0);
    EXPECT_EQ(LoadRuntimeLibrary(library, "no-such-library.dll"), nullptr);
    EXPECT_NE(LoadRuntimeLibrary(library), nullptr);
    ReleaseRuntimeLibrary(library);
}

INSTANTIATE_TEST_SUITE_P(EveryLibrary, DynamicCallsTest,
                         ::testing::Values(std::pair{RuntimeLibrary::CommonControls, 1},
                                           std::pair{RuntimeLibrary::Theme, 7},
                                           std::pair{RuntimeLibrary::Image, 1},
                                           std::pair{RuntimeLibrary::Resolver, 3},
                                           std::pair{RuntimeLibrary::Multimedia, 2}));

} // namespace
