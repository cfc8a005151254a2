// Allocation failures in the network library, each allocation of an
// operation failing in turn: the operation returns its failure value, and
// no server, socket, client or heap byte of the failed attempt is left.
#include "net/datagram_clients.h"
#include "tests/net/net_test_support.h"
#include "tests/support/failing_heap.h"

namespace {

using NetworkStartAllocationFailure = ProgramHeapTest;

TEST_F(NetworkStartAllocationFailure, NetworkStartWithoutARegistryReportsZeroAndTakesNothing) {
    FailEachAllocation(
        ProgramHeap(), [] {}, [] { return StartNetwork() == 1; },
        [&](int) {
            EXPECT_EQ(Network()->servers, nullptr);
            EXPECT_EQ(OpenServer(0, 0, NetModeUdp), 0);
            EXPECT_EQ(PollServerEvents(), NetEventNone);
            CloseServer(DynamicNumber);
            StopNetwork();
            EXPECT_EQ(LiveBytes(), 0u);
        });
    StopNetwork();
    EXPECT_EQ(LiveBytes(), 0u);
}

using NetworkAllocationFailure = NetworkTest;

// Number 40 needs a longer slot table, which stays with the registry once
// grown, and then its record.
TEST_F(NetworkAllocationFailure, ServerThatCannotBeMadeLeavesItsNumberAndPortFree) {
    for (ObjectNumber number : {ObjectNumber(0), ObjectNumber(40), DynamicNumber}) {
        SCOPED_TRACE(number);
        uint16_t port = 0;
        size_t before = 0;
        intptr_t opened = 0;
        FailEachAllocation(
            ProgramHeap(),
            [&] {
                port = UnusedUdpPort();
                before = LiveBytes();
            },
            [&] { return (opened = OpenServer(number, port, NetModeUdp, "127.0.0.1")) != 0; },
            [&](int) {
                SocketHandle other = OpenLoopbackUdp(port);
                EXPECT_NE(other, NoSocket);
                SocketClose(other);
                if (number != 40) EXPECT_EQ(LiveBytes(), before);
            });
        CloseServer(number == DynamicNumber ? opened : number);
    }
}

// The socket is made (for a stream, connected) before the record: without
// the record the socket is closed, which a server sees as its client's end.
TEST_F(NetworkAllocationFailure, ConnectionWithoutARecordIsNullWithItsSocketClosed) {
    ASSERT_NE(OpenServer(0, 0, NetModeTcp, "127.0.0.1"), 0);
    for (int32_t mode : {NetModeUdp, NetModeTcp}) {
        SCOPED_TRACE(mode);
        size_t before = 0;
        int descriptors = 0;
        ConnectionRecord* connection = nullptr;
        FailEachAllocation(
            ProgramHeap(),
            [&] {
                before = LiveBytes();
                descriptors = OpenDescriptors();
            },
            [&] {
                return (connection = OpenConnection("127.0.0.1", ServerLocalPort(0), mode)) !=
                       nullptr;
            },
            [&](int) {
                EXPECT_EQ(LiveBytes(), before);
                EXPECT_EQ(OpenDescriptors(), descriptors);
                if (mode != NetModeTcp) return;
                EXPECT_EQ(WaitForEvent(), NetEventConnect);
                EXPECT_EQ(WaitForEvent(), NetEventDisconnect);
            });
        CloseConnection(connection);
    }
}

// At the bound of clients, none of them holding bytes: a newcomer whose
// record or bytes cannot be had is dropped and pushes nobody out. (The
// datagram whose record could not be made once took an idle client with
// it.)
using DatagramStoreAllocationFailure = ProgramHeapTest;

TEST_F(DatagramStoreAllocationFailure, NewcomerThatCannotBeKeptPushesNobodyOut) {
    auto* server = static_cast<ServerRecord*>(ProgramHeapAllocate(sizeof(ServerRecord)));
    auto port = [](int sender) { return static_cast<uint16_t>(30000 + sender); };
    auto find = [&](int sender) { return FindDatagramClient(server, Loopback(), port(sender)); };
    char byte;
    for (int i = 0; i < MaxDatagramClients; ++i) {
        Network()->lastEventClient = KeepDatagram(server, Loopback(), port(i), "x", 1);
        ASSERT_EQ(ReadDatagramBytes(Network()->lastEventClient, &byte, 1), 1);
    }
    size_t before = 0;
    ConnectionRecord* newcomer = nullptr;
    FailEachAllocation(
        ProgramHeap(), [&] { before = LiveBytes(); },
        [&] {
            return (newcomer = KeepDatagram(server, Loopback(), port(MaxDatagramClients), "new",
                                            3)) != nullptr;
        },
        [&](int) {
            EXPECT_EQ(server->datagramClients.count, MaxDatagramClients);
            EXPECT_NE(find(0), nullptr);
            EXPECT_EQ(find(MaxDatagramClients), nullptr);
            EXPECT_EQ(LiveBytes(), before);
        });
    EXPECT_EQ(server->datagramClients.count, MaxDatagramClients);
    EXPECT_EQ(find(0), nullptr); // the least recently active one made way
    EXPECT_EQ(ReadAll(newcomer), "new");
    while (auto* client = static_cast<ConnectionRecord*>(ListFirst(&server->clients)))
        RemoveDatagramClient(server, client);
    ReleaseDatagramClients(server);
    ProgramHeapFree(server);
    Network()->lastEventClient = nullptr;
    EXPECT_EQ(LiveBytes(), 0u);
}

} // namespace
