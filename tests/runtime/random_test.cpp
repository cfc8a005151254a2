#include "runtime/random.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "tests/support/failing_heap.h"
#include "tests/support/program_heap_fixture.h"

namespace {

// Expected outputs, computed independently with these lines of Python:
//   M = 0xffffffff; rol = lambda x, b: ((x << b) | (x >> (32 - b))) & M
//   def seed(s):
//       A = [0] * 17; B = [0] * 17
//       for k in range(17):
//           s = (s * 2891336453 + 1) & M; B[k] = s
//           s = (s * 2891336453 + 1) & M; A[k] = s
//       st = [0, 10, A, B]
//       for _ in range(31): step(st)
//       return st
//   def step(st):
//       i, j, A, B = st
//       x = (rol(B[i], 19) + B[j]) & M; y = (rol(A[i], 27) + A[j]) & M
//       A[i] = x; B[i] = y
//       st[0] = 16 if i == 0 else i - 1; st[1] = 16 if j == 0 else j - 1
//       return x
TEST(RandomGenerator, KnownSeedsGiveKnownSequences) {
    RandomState state;
    RandomSeed(&state, 0);
    for (uint32_t expected : {0x8b910d61u, 0xc8afe081u, 0xa90e502fu, 0x60ee47bfu})
        EXPECT_EQ(RandomStep(&state), expected);
    RandomSeed(&state, 0xDEADBEEF);
    for (uint32_t expected : {0x2aa86fcau, 0x826ed709u, 0x354f0ef5u, 0x741cd390u})
        EXPECT_EQ(RandomStep(&state), expected);
}

using RandomUpToTest = ProgramHeapTest;

// Every number from 0 to the maximum comes, and nothing else; -1 gives all
// 32 bits of an output, the top one and the bottom one included.
TEST_F(RandomUpToTest, GivesEveryNumberUpToTheMaximumAndNoOther) {
    for (int32_t maximum : {0, 1, 6, 255, -1}) {
        SCOPED_TRACE(maximum);
        std::set<int32_t> seen;
        for (int k = 0; k < 20000; ++k) {
            int32_t r = RandomUpTo(maximum);
            seen.insert(maximum == -1 ? (r < 0) * 2 + (r & 1) : r);
        }
        EXPECT_EQ(seen.size(), maximum == -1 ? 4u : maximum + 1u);
        EXPECT_EQ(*seen.begin(), 0);
        EXPECT_EQ(*seen.rbegin(), maximum == -1 ? 3 : maximum);
    }
}

// Each thread seeds a state of its own; without memory for one, draws still
// differ from one another, not only when the clock moves on (a caller that
// draws until the number changes would wait for the tick), and take nothing.
TEST_F(RandomUpToTest, EachThreadHasAStateOfItsOwnAndDrawsWithoutOneStillDiffer) {
    RandomUpTo(255);
    size_t mine = LiveBytes();
    std::thread([] { RandomUpTo(255); }).join();
    RandomUpTo(255); // this thread's state is still its own
    EXPECT_EQ(LiveBytes(), mine + sizeof(RandomState));
    RandomForgetThreadState();
    size_t before = LiveBytes();
    std::set<int32_t> seen;
    {
        FailingHeap failing(ProgramHeap(), 0);
        for (int i = 0; i < 200; ++i)
            seen.insert(RandomUpTo(-1));
    }
    EXPECT_GE(seen.size(), 195u) << "draws only change with the clock";
    EXPECT_EQ(LiveBytes(), before);
}

} // namespace
