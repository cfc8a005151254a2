#pragma once
// Numbered servers: a listening stream socket or a bound datagram socket on
// a local port, kept in the server registry (network.h), polled without
// ever blocking. A stream server's clients are its accepted connections; a
// datagram server's clients are its senders (datagram_clients.h), whose
// datagrams wait in the record until read. One thread at a time works with
// a server and its clients.
#include <cstdint>

#include "net/connection.h"
#include "net/datagram_clients.h"
#include "net/net_constants.h"
#include "runtime/object_registry.h"
#include "runtime/record_list.h"
#include "runtime/socket.h"

struct ServerRecord {
    SocketHandle socket;        // in-use marker: non-zero while the server exists
    SocketAddress localAddress; // what the socket is bound to (port as given)
    int16_t socketType;         // NetModeTcp or NetModeUdp
    int16_t ipv6;               // 1 for an IPv6 socket
    RecordList clients;         // ConnectionRecords, newest first
    DatagramClients datagramClients;
};

// The size of the datagram buffer of each receive: longer datagrams are
// dropped whole.
constexpr int32_t ServerDatagramSize = 2048;

// Opens a server under number (0 and up, or DynamicNumber) on port 0-65535,
// listening on bindAddress (null or empty: all interfaces). A server that
// already had the number is closed first, even when the new one then fails.
// Non-zero on success: the server's socket for a given number, the record's
// address (the new number) for DynamicNumber. 0 on failure, with no server
// left under the number.
intptr_t OpenServer(ObjectNumber number, int32_t port, int32_t mode,
                    const char* bindAddress = nullptr);
// Closes the server and all its clients; DynamicNumber (-1) closes every
// server; a number without a server changes nothing. Also the registry's
// free callback.
void CloseServer(ObjectNumber number);
// One non-blocking step over all servers (numbered ones in ascending order,
// then dynamic ones oldest first): at most one accept or one datagram per
// server, then one 8-byte peek per stream client. Returns the first event
// (net_constants.h) and stops there; NetEventNone when nothing happened.
int32_t PollServerEvents();
// The client of the latest event; null before the first. After
// NetEventDisconnect (or once the client or its server is closed) the
// address only compares: it names no record any more.
ConnectionRecord* LastEventClient();
// Reads a client's bytes into buffer (length 1 or more). Stream: one recv,
// its result (0 when the peer closed, -1 on error or nothing waiting on a
// non-blocking socket). Datagram: up to length unread bytes, in arrival
// order with the datagrams of that sender joined; 0 when nothing is unread.
int32_t ReceiveData(ConnectionRecord* connection, void* buffer, int32_t length);
// recv with MSG_PEEK of size bytes (-1: of all that is waiting): the count,
// -2 when the peer closed or the connection broke, 0 for nothing or any
// other error.
int32_t PeekConnection(SocketHandle socket, int32_t size, void* buffer);
// The local port a server is bound to (the system's choice for port 0),
// or -1 when there is no such server.
int32_t ServerLocalPort(ObjectNumber number);

// Takes a client out of its server's list and frees the record (with its
// unread bytes); a stream client's socket must be closed by the caller.
void RemoveServerClient(ServerRecord* server, ConnectionRecord* client);
