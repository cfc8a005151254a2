#pragma once
// The datagram clients of a server: one connection record per sender
// (IPv4 address and port), holding that sender's unread bytes. Bounded, so
// that no sender can make the server hold memory without limit, and
// indexed, so that a known sender's record is found in a step or two.
#include <cstdint>

struct ConnectionRecord;
struct ServerRecord;

// A datagram that would take its sender's unread bytes past MaxUnreadBytes
// is dropped with no event. A new sender at MaxDatagramClients takes the
// place of the least recently active client that holds no unread bytes, or
// its datagram is dropped when every client still holds some.
constexpr int32_t MaxUnreadBytes = 64 * 1024; // a slow reader must not exhaust the heap
constexpr int32_t MaxDatagramClients = 256;   // a new port per datagram must not pile up records

// Open addressing over the client records, keyed by address and port. The
// table is twice the client bound, so it is never more than half full.
constexpr int32_t DatagramIndexSize = 2 * MaxDatagramClients;

// Part of the server record; all zero is an empty store.
struct DatagramClients {
    ConnectionRecord** index; // DatagramIndexSize slots from the program heap, or null
    int32_t count;            // datagram clients in the server's list
    uint64_t clock;           // counts stored datagrams; stamps lastActivity
};

// The client of this sender, or null.
ConnectionRecord* FindDatagramClient(ServerRecord* server, uint32_t address, uint16_t port);
// Keeps a received datagram for its sender, whose client is made if it is
// new, at the front of the server's list. At the bound of MaxDatagramClients
// the least recently active client without unread bytes gives way (never the
// last event's client). The client, or null when the datagram is dropped: it
// is empty, finds no room (every client still holds unread bytes), would
// take the sender past MaxUnreadBytes, or memory runs out. A dropped datagram
// changes no client: none is made, none makes way, and unread bytes stay as
// they were.
ConnectionRecord* KeepDatagram(ServerRecord* server, uint32_t address, uint16_t port,
                               const void* datagram, int32_t length);
// Appends a datagram to the client's unread bytes. False when it is dropped:
// it would take them past MaxUnreadBytes, or memory runs out.
bool StoreDatagram(ServerRecord* server, ConnectionRecord* client, const void* datagram,
                   int32_t length);
// Copies up to length unread bytes to buffer and returns the count.
int32_t ReadDatagramBytes(ConnectionRecord* client, void* buffer, int32_t length);
// Takes a client out of the server's list and frees it with its bytes.
void RemoveDatagramClient(ServerRecord* server, ConnectionRecord* client);
// Frees the index; the server's list must be empty by then.
void ReleaseDatagramClients(ServerRecord* server);
