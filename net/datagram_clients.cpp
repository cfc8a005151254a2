#include "net/datagram_clients.h"

#include <cstring>

#include "net/network.h"
#include "net/server.h"
#include "runtime/program_heap.h"
#include "runtime/record_list.h"

static_assert((DatagramIndexSize & (DatagramIndexSize - 1)) == 0, "a power of two");
static_assert(DatagramIndexSize > MaxDatagramClients, "an empty slot ends every search");
constexpr uint32_t kIndexMask = DatagramIndexSize - 1;

// Senders on one host differ in their port only, and ports come in runs:
// a multiplicative hash of the whole key spreads them over the table.
static uint32_t HomeSlot(uint32_t address, intptr_t port) {
    uint64_t key = (static_cast<uint64_t>(address) << 16) ^ static_cast<uint64_t>(port & 0xFFFF);
    return static_cast<uint32_t>((key * 0x9E3779B97F4A7C15ull) >> 40) & kIndexMask;
}

static uint32_t HomeSlotOf(const ConnectionRecord* client) {
    return HomeSlot(client->peerAddress, client->datagramPort);
}

ConnectionRecord* FindDatagramClient(ServerRecord* server, uint32_t address, uint16_t port) {
    ConnectionRecord** index = server->datagramClients.index;
    if (!index) return nullptr;
    for (uint32_t slot = HomeSlot(address, port);; slot = (slot + 1) & kIndexMask) {
        ConnectionRecord* client = index[slot];
        if (!client) return nullptr;
        if (client->peerAddress == address && client->datagramPort == port) return client;
    }
}

static void Index(ConnectionRecord** index, ConnectionRecord* client) {
    uint32_t slot = HomeSlotOf(client);
    while (index[slot])
        slot = (slot + 1) & kIndexMask;
    index[slot] = client;
}

// Linear probing without tombstones: after emptying a slot, later entries
// of the same run move back into it unless their home lies between.
static void Unindex(ConnectionRecord** index, ConnectionRecord* client) {
    uint32_t hole = HomeSlotOf(client);
    while (index[hole] != client) {
        if (!index[hole]) return; // not indexed
        hole = (hole + 1) & kIndexMask;
    }
    index[hole] = nullptr;
    for (uint32_t next = (hole + 1) & kIndexMask; index[next]; next = (next + 1) & kIndexMask) {
        uint32_t home = HomeSlotOf(index[next]);
        bool stays = hole <= next ? (hole < home && home <= next) : (hole < home || home <= next);
        if (stays) continue;
        index[hole] = index[next];
        index[next] = nullptr;
        hole = next;
    }
}

// The client without unread bytes whose latest datagram is the oldest. The
// last event's client is spared: its caller may still be reading it.
static ConnectionRecord* LeastRecentlyActiveIdle(ServerRecord* server) {
    ConnectionRecord* chosen = nullptr;
    for (void* p = ListFirst(&server->clients); p; p = ListNext(p)) {
        auto* client = static_cast<ConnectionRecord*>(p);
        if (client->unreadCount > 0 || client == Network()->lastEventClient) continue;
        if (!chosen || client->lastActivity < chosen->lastActivity) chosen = client;
    }
    return chosen;
}

static bool HasIndex(DatagramClients* store) {
    if (!store->index)
        store->index = static_cast<ConnectionRecord**>(
            ProgramHeapAllocate(sizeof(ConnectionRecord*) * DatagramIndexSize));
    return store->index != nullptr;
}

// Room for one more client. At the bound, *givesWay is the client that is
// to make way for it; false when there is none.
static bool RoomForOneMore(ServerRecord* server, ConnectionRecord** givesWay) {
    *givesWay = nullptr;
    if (server->datagramClients.count < MaxDatagramClients) return true;
    *givesWay = LeastRecentlyActiveIdle(server);
    return *givesWay != nullptr;
}

// A record for a new sender, in the server's list but not yet a client in
// full (not indexed, not counted), so that it can still go without a trace.
static ConnectionRecord* NewClientRecord(ServerRecord* server, uint32_t address, uint16_t port) {
    auto* client =
        static_cast<ConnectionRecord*>(AddListRecord(&server->clients, sizeof(ConnectionRecord)));
    if (!client) return nullptr;
    client->kind = ConnectionDatagram;
    client->peerAddress = address;
    client->datagramPort = port;
    client->owner = server;
    client->sendSocket = server->socket;
    return client;
}

// The new record becomes a client; only now does the idle one make way, so
// that a failure before this point leaves every client as it was.
static void Admit(ServerRecord* server, ConnectionRecord* client, ConnectionRecord* givesWay) {
    if (givesWay) RemoveDatagramClient(server, givesWay);
    Index(server->datagramClients.index, client);
    ++server->datagramClients.count;
}

ConnectionRecord* KeepDatagram(ServerRecord* server, uint32_t address, uint16_t port,
                               const void* datagram, int32_t length) {
    if (length <= 0 || length > MaxUnreadBytes) return nullptr;
    if (ConnectionRecord* known = FindDatagramClient(server, address, port))
        return StoreDatagram(server, known, datagram, length) ? known : nullptr;
    ConnectionRecord* givesWay;
    if (!HasIndex(&server->datagramClients) || !RoomForOneMore(server, &givesWay)) return nullptr;
    ConnectionRecord* client = NewClientRecord(server, address, port);
    if (!client) return nullptr;
    if (!StoreDatagram(server, client, datagram, length)) {
        RemoveListRecord(&server->clients, client); // never indexed nor counted
        return nullptr;
    }
    Admit(server, client, givesWay);
    return client;
}

bool StoreDatagram(ServerRecord* server, ConnectionRecord* client, const void* datagram,
                   int32_t length) {
    if (length <= 0 || length > MaxUnreadBytes - client->unreadCount) return false;
    if (!client->unreadBlock) {
        auto* block = static_cast<unsigned char*>(ProgramHeapAllocate(static_cast<size_t>(length)));
        if (!block) return false;
        std::memcpy(block, datagram, static_cast<size_t>(length));
        client->unreadBlock = client->readPosition = block;
        client->unreadCount = length;
    } else {
        // One block holds exactly the unread bytes followed by the new ones.
        auto unread = static_cast<size_t>(client->unreadCount);
        if (client->readPosition != client->unreadBlock)
            std::memmove(client->unreadBlock, client->readPosition, unread);
        client->readPosition = client->unreadBlock;
        void* grown = ProgramHeapReAllocate(client->unreadBlock, unread + length);
        if (!grown) return false;
        client->unreadBlock = client->readPosition = static_cast<unsigned char*>(grown);
        std::memcpy(client->unreadBlock + unread, datagram, static_cast<size_t>(length));
        client->unreadCount += length;
    }
    client->lastActivity = ++server->datagramClients.clock;
    return true;
}

int32_t ReadDatagramBytes(ConnectionRecord* client, void* buffer, int32_t length) {
    if (!client->unreadBlock || length < 1) return 0;
    int32_t count = length < client->unreadCount ? length : client->unreadCount;
    std::memcpy(buffer, client->readPosition, static_cast<size_t>(count));
    client->unreadCount -= count;
    client->readPosition += count;
    if (client->unreadCount == 0) {
        ProgramHeapFree(client->unreadBlock);
        client->unreadBlock = client->readPosition = nullptr;
    }
    return count;
}

void RemoveDatagramClient(ServerRecord* server, ConnectionRecord* client) {
    DatagramClients* store = &server->datagramClients;
    if (store->index) Unindex(store->index, client);
    ProgramHeapFree(client->unreadBlock);
    RemoveListRecord(&server->clients, client);
    if (store->count > 0) --store->count;
}

void ReleaseDatagramClients(ServerRecord* server) {
    ProgramHeapFree(server->datagramClients.index);
    server->datagramClients = DatagramClients{};
}
