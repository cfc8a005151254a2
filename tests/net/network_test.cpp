// Starting and stopping the network library.
#include "net/network.h"
#include "tests/net/net_test_support.h"

namespace {

class NetworkStart : public ProgramHeapTest {
  protected:
    void TearDown() override {
        StopNetwork();
        EXPECT_EQ(LiveBytes(), 0u);
        ProgramHeapTest::TearDown();
    }
};

TEST_F(NetworkStart, StartReportsUsableSocketsAndMakesTheServerRegistry) {
    ASSERT_EQ(StartNetwork(), 1);
    EXPECT_EQ(Network()->started, 1);
    EXPECT_EQ(Network()->newerResolver, 1);
    ASSERT_NE(Network()->servers, nullptr);
    EXPECT_EQ(Network()->servers->recordSize, static_cast<int32_t>(sizeof(ServerRecord)));
    EXPECT_EQ(Network()->servers->growthStep, 16);
    EXPECT_EQ(Network()->lastEventClient, nullptr);
}

TEST_F(NetworkStart, WithoutSocketsStartReportsZeroAndLaterCallsFailOneByOne) {
    SocketsFailNextStart();
    EXPECT_EQ(StartNetwork(), 0);
    EXPECT_EQ(Network()->started, 0);
    // The rest of the state is there all the same.
    EXPECT_NE(Network()->servers, nullptr);
    EXPECT_EQ(OpenServer(0, 0, NetModeUdp), 0);
    EXPECT_EQ(OpenConnection("127.0.0.1", 2048, NetModeUdp), nullptr);
    EXPECT_EQ(PollServerEvents(), NetEventNone);
}

TEST_F(NetworkStart, WithoutTheHeapForTheRegistryStartReportsZero) {
    PlatformHeapFailAfter(ProgramHeap(), 0);
    EXPECT_EQ(StartNetwork(), 0);
    EXPECT_EQ(Network()->servers, nullptr);
    PlatformHeapFailAfter(ProgramHeap(), -1);
    EXPECT_EQ(OpenServer(0, 0, NetModeUdp), 0);
    EXPECT_EQ(PollServerEvents(), NetEventNone);
    CloseServer(0);
    CloseServer(-1);
}

TEST_F(NetworkStart, StopWithoutStartAndTwiceIsHarmless) {
    StopNetwork();
    ASSERT_EQ(StartNetwork(), 1);
    StopNetwork();
    StopNetwork();
    EXPECT_EQ(Network()->servers, nullptr);
    EXPECT_EQ(Network()->started, 0);
}

#ifdef _WIN32
// A library that is there but lacks the functions leaves the flag at 0.
TEST(SocketResolver, LibraryWithoutTheFunctionsLeavesTheResolverOut) {
    EXPECT_FALSE(SocketResolverLoad("kernel32.dll"));
    EXPECT_FALSE(SocketResolverAvailable());
    EXPECT_FALSE(SocketResolverLoad("no-such-library.dll"));
    EXPECT_TRUE(SocketResolverLoad("ws2_32.dll"));
    EXPECT_TRUE(SocketResolverAvailable());
    SocketResolverUnload();
    EXPECT_FALSE(SocketResolverAvailable());
}
#endif

} // namespace
