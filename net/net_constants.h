#pragma once
// Mode words of OpenServer and OpenConnection, and the event codes of
// PollServerEvents.
#include <cstdint>

// Modes: the socket kind, with NetFlagIPv6 or-ed in for an IPv6 socket. A
// mode of 0 counts as NetModeTcp.
constexpr int32_t NetModeTcp = 1;
constexpr int32_t NetModeUdp = 2;
constexpr int32_t NetFlagIPv6 = 0x10000000;

// Events. 3 is never returned; a datagram server raises only NetEventData.
constexpr int32_t NetEventNone = 0;       // nothing happened on any server
constexpr int32_t NetEventConnect = 1;    // a stream server accepted a connection
constexpr int32_t NetEventData = 2;       // a datagram arrived, or a stream client has bytes
constexpr int32_t NetEventDisconnect = 4; // a stream client was closed or reset by its peer
