#pragma once
// The network library's process-wide state and its start and end. The
// library's servers (server.h) and connections (connection.h) need
// StartNetwork first.
#include <cstdint>

#include "net/net_constants.h"
#include "runtime/object_registry.h"

struct ConnectionRecord;

struct NetworkState {
    int16_t started;                   // 1 when the sockets layer started
    int32_t newerResolver;             // 1 when getaddrinfo and friends are there (IPv6 paths)
    ObjectRegistry* servers;           // the numbered servers
    ConnectionRecord* lastEventClient; // connection of the latest server event, or null
};

// The one state of the process. Other parts of the library read it
// directly; tests may clear newerResolver to see the IPv6 paths without it.
NetworkState* Network();

// Starts the sockets layer, looks for the newer resolver and creates the
// server registry (from the program heap). 1 when sockets can be used, 0
// when not; the registry is made either way, so later calls fail one by one
// when they need a socket. Call once, with the program heap in place.
int32_t StartNetwork();
// Closes every server with its clients, then ends the sockets layer and lets
// the resolver go. Client connections are the caller's and stay as they are
// (their sockets then no longer work). Leaves the state as before the start.
void StopNetwork();
