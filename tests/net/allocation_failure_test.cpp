// Allocation failures in the network library, each allocation of an
// operation failing in turn: the operation returns its failure value, and
// no server, socket, client or heap byte of the failed attempt is left.
#include <cstring>

#include "net/datagram_clients.h"
#include "tests/net/net_test_support.h"
#include "tests/support/failing_heap.h"

namespace {

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
                EXPECT_TRUE(PortIsFree(port));
                if (number != 40) {
                    EXPECT_EQ(LiveBytes(), before);
                }
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

// At the bound of clients, none of them holding bytes, a newcomer whose
// record or bytes cannot be had is dropped and pushes nobody out. (Once the
// datagram whose record could not be made took an idle client with it.)
// Ports three apart share home slots in the index, so that its searches
// probe on and its removals move entries back.
TEST_F(NetworkAllocationFailure, NewcomerThatCannotBeKeptPushesNobodyOut) {
    ASSERT_NE(OpenServer(0, 0, NetModeUdp, "127.0.0.1"), 0);
    auto keep = [](int sender, const char* bytes) {
        return KeepDatagram(Server(0), Loopback(), static_cast<uint16_t>(30000 + 3 * sender), bytes,
                            static_cast<int32_t>(std::strlen(bytes)));
    };
    auto known = [](int sender) {
        return FindDatagramClient(Server(0), Loopback(), static_cast<uint16_t>(30000 + 3 * sender));
    };
    for (int i = 0; i < MaxDatagramClients; ++i) // as the poll leaves the last event's client
        ReadAll(Network()->lastEventClient = keep(i, "x"));
    size_t before = 0;
    ConnectionRecord* newcomer = nullptr;
    FailEachAllocation(
        ProgramHeap(), [&] { before = LiveBytes(); },
        [&] { return (newcomer = keep(MaxDatagramClients, "new")) != nullptr; },
        [&](int) {
            EXPECT_EQ(Server(0)->datagramClients.count, MaxDatagramClients);
            EXPECT_NE(known(0), nullptr);
            EXPECT_EQ(known(MaxDatagramClients), nullptr);
            EXPECT_EQ(LiveBytes(), before);
        });
    EXPECT_EQ(known(0), nullptr); // now the least recently active one made way
    EXPECT_EQ(ReadAll(newcomer), "new");
}

} // namespace
