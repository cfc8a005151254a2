// The bounds on datagram clients: unread bytes per sender, senders per
// server, and the index that finds a sender's record.
#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "net/datagram_clients.h"
#include "runtime/random.h"
#include "tests/net/net_test_support.h"

namespace {

class DatagramBounds : public NetworkTest {
  protected:
    void SetUp() override {
        NetworkTest::SetUp();
        ASSERT_NE(OpenServer(0, 0, NetModeUdp, "127.0.0.1"), 0);
        port_ = static_cast<uint16_t>(ServerLocalPort(0));
    }
    // Sends one datagram and makes exactly one poll once it is there.
    int32_t SendAndPollOnce(SocketHandle sender, const std::string& datagram) {
        EXPECT_EQ(SendBytes(sender, datagram, port_), static_cast<int32_t>(datagram.size()));
        EXPECT_EQ(SocketWaitReadable(Server(0)->socket, 3000), 1);
        return PollServerEvents();
    }
    uint16_t port_ = 0;
};

// The program reads 1000 bytes per event while datagrams of up to 2048
// arrive: without a bound the difference piles up until the heap gives out.
TEST_F(DatagramBounds, SenderThatOutrunsItsReaderIsHeldToTheBound) {
    SocketHandle sender = OpenLoopbackUdp();
    std::string datagram = Pattern(2000);
    char buffer[1000];
    int events = 0;
    int32_t highestUnread = 0;
    size_t highestLiveBytes = 0;
    for (int i = 0; i < 10000; ++i) {
        int32_t event = SendAndPollOnce(sender, datagram);
        if (event == NetEventData) {
            ++events;
            ASSERT_EQ(ReceiveData(LastEventClient(), buffer, 1000), 1000);
        } else {
            ASSERT_EQ(event, NetEventNone);
        }
        auto* client = static_cast<ConnectionRecord*>(ListFirst(&Server(0)->clients));
        ASSERT_NE(client, nullptr);
        highestUnread = std::max(highestUnread, client->unreadCount);
        highestLiveBytes = std::max(highestLiveBytes, LiveBytes());
    }
    EXPECT_LE(highestUnread, MaxUnreadBytes);
    EXPECT_GT(highestUnread, MaxUnreadBytes - 2000); // it did reach the bound
    // About 64 events fill the bound (1000 bytes stay behind each); after
    // that every datagram is dropped without an event.
    EXPECT_GE(events, MaxUnreadBytes / 1000 - 2);
    EXPECT_LE(events, MaxUnreadBytes / 1000 + 2);
    EXPECT_LT(highestLiveBytes, static_cast<size_t>(MaxUnreadBytes) + 16 * 1024);

    // Read out, the sender is served again.
    auto* client = static_cast<ConnectionRecord*>(ListFirst(&Server(0)->clients));
    ASSERT_NE(client, nullptr);
    auto unread = static_cast<size_t>(client->unreadCount);
    EXPECT_EQ(ReadAll(client).size(), unread);
    EXPECT_EQ(SendAndPollOnce(sender, datagram), NetEventData);
    EXPECT_EQ(ReadAll(LastEventClient()), datagram);
    SocketClose(sender);
}

TEST_F(DatagramBounds, UnreadBytesMayFillTheBoundExactly) {
    SocketHandle sender = OpenLoopbackUdp();
    std::string datagram = Pattern(2048);
    for (int i = 0; i < MaxUnreadBytes / 2048; ++i)
        ASSERT_EQ(SendAndPollOnce(sender, datagram), NetEventData) << i;
    ConnectionRecord* client = LastEventClient();
    EXPECT_EQ(client->unreadCount, MaxUnreadBytes);
    EXPECT_EQ(SendAndPollOnce(sender, "1"), NetEventNone); // one byte too many
    EXPECT_EQ(client->unreadCount, MaxUnreadBytes);
    std::string all = ReadAll(client);
    ASSERT_EQ(all.size(), static_cast<size_t>(MaxUnreadBytes));
    EXPECT_EQ(all.substr(all.size() - 2048), datagram);
    SocketClose(sender);
}

// Each of this program's frames comes from a new port: 1000 senders that
// send once each must not leave 1000 records behind.
TEST_F(DatagramBounds, ThousandSendersOnDistinctPortsKeepTheClientsBounded) {
    size_t liveBytesAtBound = 0;
    for (int i = 0; i < 1000; ++i) {
        ConnectionRecord* connection = OpenConnection("127.0.0.1", port_, NetModeUdp);
        ASSERT_NE(connection, nullptr);
        std::string datagram = "sender " + std::to_string(i);
        ASSERT_EQ(SendData(connection, datagram.data(), static_cast<int32_t>(datagram.size())),
                  static_cast<int32_t>(datagram.size()));
        ASSERT_EQ(SocketWaitReadable(Server(0)->socket, 3000), 1);
        ASSERT_EQ(PollServerEvents(), NetEventData) << i;
        ConnectionRecord* client = LastEventClient();
        EXPECT_EQ(client->datagramPort, SocketLocalPort(connection->sendSocket));
        EXPECT_EQ(ReadAll(client), datagram);
        CloseConnection(connection);
        ASSERT_LE(Server(0)->datagramClients.count, MaxDatagramClients);
        if (i == MaxDatagramClients + 10) liveBytesAtBound = LiveBytes();
    }
    EXPECT_EQ(Server(0)->datagramClients.count, MaxDatagramClients);
    EXPECT_EQ(LiveBytes(), liveBytesAtBound); // nothing grows past the bound
}

class FullServer : public DatagramBounds {
  protected:
    // MaxDatagramClients senders with one datagram each; those in
    // `keepUnread` are left unread, the others are read out.
    void Fill(const std::vector<bool>& keepUnread) {
        for (int i = 0; i < MaxDatagramClients; ++i) {
            SocketHandle sender = OpenLoopbackUdp();
            ASSERT_NE(sender, NoSocket);
            senders_.push_back(sender);
            ASSERT_EQ(SendAndPollOnce(sender, "hello"), NetEventData);
            if (!keepUnread[i]) ReadAll(LastEventClient());
        }
    }
    void TearDown() override {
        for (SocketHandle sender : senders_)
            SocketClose(sender);
        DatagramBounds::TearDown();
    }
    ConnectionRecord* ClientOf(SocketHandle sender) {
        return FindDatagramClient(Server(0), Loopback(),
                                  static_cast<uint16_t>(SocketLocalPort(sender)));
    }
    std::vector<SocketHandle> senders_;
};

TEST_F(FullServer, NewSenderReplacesTheLeastRecentlyActiveIdleClient) {
    Fill(std::vector<bool>(MaxDatagramClients, false));
    // The oldest sender speaks again and so is no longer the least recent.
    ASSERT_EQ(SendAndPollOnce(senders_[0], "again"), NetEventData);
    ReadAll(LastEventClient());
    SocketHandle newcomer = OpenLoopbackUdp();
    ASSERT_EQ(SendAndPollOnce(newcomer, "new"), NetEventData);
    EXPECT_EQ(ReadAll(LastEventClient()), "new");
    EXPECT_NE(ClientOf(senders_[0]), nullptr);
    EXPECT_EQ(ClientOf(senders_[1]), nullptr); // the one that gave way
    EXPECT_NE(ClientOf(senders_[2]), nullptr);
    EXPECT_NE(ClientOf(newcomer), nullptr);
    EXPECT_EQ(Server(0)->datagramClients.count, MaxDatagramClients);
    SocketClose(newcomer);
}

TEST_F(FullServer, ClientsWithUnreadBytesNeverGiveWay) {
    std::vector<bool> keepUnread(MaxDatagramClients, true);
    Fill(keepUnread);
    SocketHandle newcomer = OpenLoopbackUdp();
    EXPECT_EQ(SendAndPollOnce(newcomer, "dropped"), NetEventNone);
    EXPECT_EQ(ClientOf(newcomer), nullptr);
    // Once one client is read out, the next newcomer takes its place.
    ConnectionRecord* readOut = ClientOf(senders_[100]);
    ASSERT_NE(readOut, nullptr);
    EXPECT_EQ(ReadAll(readOut), "hello");
    EXPECT_EQ(SendAndPollOnce(newcomer, "admitted"), NetEventData);
    EXPECT_EQ(ReadAll(LastEventClient()), "admitted");
    EXPECT_EQ(ClientOf(senders_[100]), nullptr);
    for (int i : {0, 99, 101, MaxDatagramClients - 1}) {
        ConnectionRecord* client = ClientOf(senders_[static_cast<size_t>(i)]);
        ASSERT_NE(client, nullptr) << i;
        EXPECT_EQ(client->unreadCount, 5) << i;
    }
    SocketClose(newcomer);
}

// The index alone, against a model, through many additions and removals
// with keys that crowd together (one address, neighbouring ports).
class DatagramIndex : public ProgramHeapTest {};

TEST_F(DatagramIndex, FindsEverySenderThroughAddsAndRemovals) {
    auto* server = static_cast<ServerRecord*>(ProgramHeapAllocate(sizeof(ServerRecord)));
    ASSERT_NE(server, nullptr);
    std::map<std::pair<uint32_t, uint16_t>, ConnectionRecord*> model;
    RandomState random;
    RandomSeed(&random, 20240611);
    const uint32_t addresses[] = {Loopback(), SocketParseIPv4("127.0.0.2")};
    for (int step = 0; step < 20000; ++step) {
        uint32_t address = addresses[RandomStep(&random) % 2];
        auto port = static_cast<uint16_t>(40000 + RandomStep(&random) % 600);
        auto key = std::make_pair(address, port);
        ConnectionRecord* found = FindDatagramClient(server, address, port);
        auto known = model.find(key);
        ASSERT_EQ(found, known == model.end() ? nullptr : known->second) << step;
        if (found && RandomStep(&random) % 2) {
            RemoveDatagramClient(server, found);
            model.erase(known);
        } else if (!found && static_cast<int32_t>(model.size()) < MaxDatagramClients) {
            // Its unread byte keeps it from making way for another.
            ConnectionRecord* added = KeepDatagram(server, address, port, "x", 1);
            ASSERT_NE(added, nullptr);
            model[key] = added;
        }
        ASSERT_EQ(server->datagramClients.count, static_cast<int32_t>(model.size()));
    }
    for (auto& [key, client] : model) {
        ASSERT_EQ(FindDatagramClient(server, key.first, key.second), client);
        RemoveDatagramClient(server, client);
    }
    EXPECT_EQ(ListFirst(&server->clients), nullptr);
    ReleaseDatagramClients(server);
    ProgramHeapFree(server);
    EXPECT_EQ(LiveBytes(), 0u);
}

} // namespace
