// Allocation failures in the network library, each allocation of an
// operation failing in turn: the operation returns its failure value, no
// server number stays open, no socket stays open, no event is raised, no
// client is half made or pushed out, and every byte taken is back.
#include <string>
#include <vector>

#include "net/datagram_clients.h"
#include "tests/net/net_test_support.h"
#include "tests/support/failing_heap.h"

#ifdef __linux__
#include <dirent.h>
#endif

namespace {

#ifdef __linux__
// Open descriptors of this process: a socket left open shows here.
int OpenDescriptors() {
    int count = 0;
    DIR* directory = opendir("/proc/self/fd");
    if (!directory) return -1;
    while (readdir(directory))
        ++count;
    closedir(directory);
    return count;
}
#endif

int ServersInScan() {
    int found = 0;
    ObjectNumber number;
    BeginObjectScan(Network()->servers);
    while (NextObject(Network()->servers, &number))
        ++found;
    return found;
}

class NetworkStartAllocationFailure : public ProgramHeapTest {};

TEST_F(NetworkStartAllocationFailure, NoRegistryMeansNoStartAndNothingTaken) {
    int allowed = 0;
    for (;; ++allowed) {
        ASSERT_LT(allowed, kMostAllocationsOfOneOperation);
        int32_t started;
        {
            FailingHeap failing(ProgramHeap(), allowed);
            started = StartNetwork();
        }
        bool complete = started == 1;
        if (!complete) {
            EXPECT_EQ(started, 0);
            EXPECT_EQ(Network()->servers, nullptr);
            EXPECT_EQ(OpenServer(0, 0, NetModeUdp), 0);
            EXPECT_EQ(PollServerEvents(), NetEventNone);
        }
        StopNetwork();
        EXPECT_EQ(LiveBytes(), 0u) << "allowed " << allowed;
        if (complete) break;
    }
    EXPECT_EQ(allowed, 2); // the registry, then its slot table
}

using ServerAllocationFailure = NetworkTest;

// Number 40 needs a longer slot table and then its record.
TEST_F(ServerAllocationFailure, OpenServerLeavesTheNumberFreeAndThePortUnbound) {
    for (ObjectNumber number : {ObjectNumber(0), ObjectNumber(40), DynamicNumber}) {
        int allowed = 0;
        for (;; ++allowed) {
            ASSERT_LT(allowed, kMostAllocationsOfOneOperation);
            uint16_t port = UnusedUdpPort();
            size_t before = LiveBytes();
            intptr_t opened;
            {
                FailingHeap failing(ProgramHeap(), allowed);
                opened = OpenServer(number, port, NetModeUdp, "127.0.0.1");
            }
            if (opened != 0) {
                CloseServer(number == DynamicNumber ? opened : number);
                break;
            }
            EXPECT_EQ(ServersInScan(), 0) << number << " allowed " << allowed;
            EXPECT_EQ(ServerLocalPort(number), -1);
            SocketHandle other = OpenLoopbackUdp(port); // nobody holds the port
            EXPECT_NE(other, NoSocket);
            SocketClose(other);
            if (number != 40) { // a grown slot table stays with the registry
                EXPECT_EQ(LiveBytes(), before) << number;
            }
        }
        EXPECT_EQ(allowed, number == 40 ? 2 : 1) << number;
    }
}

class DatagramServerAllocationFailure : public NetworkTest {
  protected:
    void SetUp() override {
        NetworkTest::SetUp();
        ASSERT_NE(OpenServer(0, 0, NetModeUdp, "127.0.0.1"), 0);
        port_ = static_cast<uint16_t>(ServerLocalPort(0));
        sender_ = OpenLoopbackUdp();
        ASSERT_NE(sender_, NoSocket);
    }
    void TearDown() override {
        SocketClose(sender_);
        NetworkTest::TearDown();
    }
    // One datagram, and one poll once it is there, with `allowed` allocations.
    int32_t SendAndPollAllowing(const std::string& datagram, int64_t allowed) {
        EXPECT_EQ(SendBytes(sender_, datagram, port_), static_cast<int32_t>(datagram.size()));
        EXPECT_EQ(SocketWaitReadable(Server(0)->socket, 3000), 1);
        FailingHeap failing(ProgramHeap(), allowed);
        return PollServerEvents();
    }
    size_t IndexBytes() {
        return Server(0)->datagramClients.index ? sizeof(ConnectionRecord*) * DatagramIndexSize : 0;
    }
    uint16_t port_ = 0;
    SocketHandle sender_ = NoSocket;
};

// The index, the client record and the block for the bytes fail in turn
// (each time on a server opened afresh, which has no index yet): each
// datagram that meets a failure is dropped whole, with no event.
TEST_F(DatagramServerAllocationFailure, FirstDatagramOfASenderIsDroppedWithoutATrace) {
    int allowed = 0;
    for (;; ++allowed) {
        ASSERT_LT(allowed, kMostAllocationsOfOneOperation);
        CloseServer(0);
        ASSERT_NE(OpenServer(0, port_, NetModeUdp, "127.0.0.1"), 0);
        size_t before = LiveBytes();
        std::string datagram = "attempt " + std::to_string(allowed);
        int32_t event = SendAndPollAllowing(datagram, allowed);
        if (event == NetEventData) {
            EXPECT_EQ(ReadAll(LastEventClient()), datagram);
            break;
        }
        EXPECT_EQ(event, NetEventNone);
        EXPECT_EQ(LastEventClient(), nullptr);
        EXPECT_EQ(ListFirst(&Server(0)->clients), nullptr);
        EXPECT_EQ(Server(0)->datagramClients.count, 0);
        // Only the index, which the server keeps until it closes, may stay.
        EXPECT_EQ(LiveBytes(), before + IndexBytes()) << "allowed " << allowed;
    }
    EXPECT_EQ(allowed, 3);
}

TEST_F(DatagramServerAllocationFailure, DatagramThatCannotJoinTheUnreadBytesLeavesThemWhole) {
    ASSERT_EQ(SendAndPollAllowing("first", -1), NetEventData);
    ConnectionRecord* client = LastEventClient();
    ASSERT_EQ(SendAndPollAllowing("second", 0), NetEventNone);
    EXPECT_EQ(LastEventClient(), client);
    EXPECT_EQ(client->unreadCount, 5);
    ASSERT_EQ(SendAndPollAllowing("third", -1), NetEventData);
    EXPECT_EQ(ReadAll(client), "firstthird");
}

using StreamServerAllocationFailure = NetworkTest;

// The accepted connection cannot be recorded: it is closed at once (the
// peer sees the end), no event is raised, and the next one is accepted.
TEST_F(StreamServerAllocationFailure, AcceptedConnectionWithoutARecordIsClosed) {
    ASSERT_NE(OpenServer(0, 0, NetModeTcp, "127.0.0.1"), 0);
    int32_t port = ServerLocalPort(0);
    ConnectionRecord* connection = OpenConnection("127.0.0.1", port, NetModeTcp);
    ASSERT_NE(connection, nullptr);
    ASSERT_EQ(SocketWaitReadable(Server(0)->socket, 3000), 1);
    {
        FailingHeap failing(ProgramHeap(), 0);
        EXPECT_EQ(PollServerEvents(), NetEventNone);
    }
    EXPECT_EQ(LastEventClient(), nullptr);
    EXPECT_EQ(ListFirst(&Server(0)->clients), nullptr);
    ASSERT_EQ(SocketWaitReadable(connection->streamSocket, 3000), 1);
    char byte;
    EXPECT_EQ(ReceiveData(connection, &byte, 1), 0); // orderly close
    CloseConnection(connection);

    ConnectionRecord* again = OpenConnection("127.0.0.1", port, NetModeTcp);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(WaitForEvent(), NetEventConnect);
    CloseConnection(again);
}

using ConnectionAllocationFailure = NetworkTest;

TEST_F(ConnectionAllocationFailure, DatagramConnectionWithoutARecordIsNullWithItsSocketClosed) {
#ifdef __linux__
    int descriptors = OpenDescriptors();
#endif
    size_t before = LiveBytes();
    {
        FailingHeap failing(ProgramHeap(), 0);
        EXPECT_EQ(OpenConnection("127.0.0.1", UnusedUdpPort(), NetModeUdp), nullptr);
    }
    EXPECT_EQ(LiveBytes(), before);
#ifdef __linux__
    EXPECT_EQ(OpenDescriptors(), descriptors);
#endif
    ConnectionRecord* connection = OpenConnection("127.0.0.1", UnusedUdpPort(), NetModeUdp);
    ASSERT_NE(connection, nullptr);
    CloseConnection(connection);
}

// The connect succeeds and then the record cannot be had: the connection
// is closed, which the server sees as its client's end.
TEST_F(ConnectionAllocationFailure, StreamConnectionWithoutARecordIsNullAndClosed) {
    ASSERT_NE(OpenServer(0, 0, NetModeTcp, "127.0.0.1"), 0);
    int32_t port = ServerLocalPort(0);
    size_t before = LiveBytes();
    {
        FailingHeap failing(ProgramHeap(), 0);
        EXPECT_EQ(OpenConnection("127.0.0.1", port, NetModeTcp), nullptr);
    }
    EXPECT_EQ(LiveBytes(), before);
    ASSERT_EQ(WaitForEvent(), NetEventConnect);
    EXPECT_EQ(WaitForEvent(), NetEventDisconnect);
    EXPECT_EQ(ListFirst(&Server(0)->clients), nullptr);
}

// The store alone, at its bound of clients, none of them holding bytes: a
// newcomer whose record or bytes cannot be had pushes nobody out.
class FullStoreAllocationFailure : public ProgramHeapTest {
  protected:
    void SetUp() override {
        ProgramHeapTest::SetUp();
        server_ = static_cast<ServerRecord*>(ProgramHeapAllocate(sizeof(ServerRecord)));
        ASSERT_NE(server_, nullptr);
        char byte;
        for (int i = 0; i < MaxDatagramClients; ++i) {
            ConnectionRecord* client = KeepDatagram(server_, Loopback(), PortOf(i), "x", 1);
            ASSERT_NE(client, nullptr);
            ASSERT_EQ(ReadDatagramBytes(client, &byte, 1), 1);
            Network()->lastEventClient = client; // as the poll leaves it
        }
    }
    void TearDown() override {
        while (auto* client = static_cast<ConnectionRecord*>(ListFirst(&server_->clients)))
            RemoveDatagramClient(server_, client);
        ReleaseDatagramClients(server_);
        ProgramHeapFree(server_);
        Network()->lastEventClient = nullptr;
        EXPECT_EQ(LiveBytes(), 0u);
        ProgramHeapTest::TearDown();
    }
    static uint16_t PortOf(int sender) { return static_cast<uint16_t>(30000 + sender); }
    ServerRecord* server_ = nullptr;
};

TEST_F(FullStoreAllocationFailure, NewcomerThatCannotBeKeptPushesNobodyOut) {
    int allowed = 0;
    for (;; ++allowed) {
        ASSERT_LT(allowed, kMostAllocationsOfOneOperation);
        size_t before = LiveBytes();
        ConnectionRecord* newcomer;
        {
            FailingHeap failing(ProgramHeap(), allowed);
            newcomer = KeepDatagram(server_, Loopback(), PortOf(MaxDatagramClients), "new", 3);
        }
        if (newcomer) break;
        EXPECT_EQ(server_->datagramClients.count, MaxDatagramClients);
        EXPECT_NE(FindDatagramClient(server_, Loopback(), PortOf(0)), nullptr) << allowed;
        EXPECT_EQ(FindDatagramClient(server_, Loopback(), PortOf(MaxDatagramClients)), nullptr);
        EXPECT_EQ(LiveBytes(), before) << "allowed " << allowed;
    }
    EXPECT_EQ(allowed, 2); // the record, then the block for its bytes
    // Now the least recently active one has made way.
    EXPECT_EQ(server_->datagramClients.count, MaxDatagramClients);
    EXPECT_EQ(FindDatagramClient(server_, Loopback(), PortOf(0)), nullptr);
    EXPECT_NE(FindDatagramClient(server_, Loopback(), PortOf(1)), nullptr);
}

} // namespace
