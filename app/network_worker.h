#pragma once
// The network worker: the thread that owns UDP server 0 for one run, shows
// what arrives in the received box and sends a frame per send request.
#include <cstddef>
#include <cstdint>

#include "runtime/text.h"

// Thread procedure; the argument is ignored. Returns 0 on every path.
uint32_t NetworkWorker(intptr_t unused);

// Sends one frame of message to address:port over a fresh UDP connection;
// tells the operator when no connection can be opened.
void SendFrame(const Text& address, int32_t port, const Text& message);

// The message of a send request: the message field followed by the two
// characters of the code fields (codes read first, then the message).
Text ComposeMessage();

// Received payloads are shown only while this much address space (in one
// block) is left; the rest are dropped. 64 MB; 0 restores that. For tests.
void SetShowHeadroom(size_t bytes);
