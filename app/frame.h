#pragma once
// The frame: how a message leaves the program as one datagram, and how the
// payload of a received datagram is read. A frame is a 5-byte header
//   0x10, length of the message modulo 256, 0x00, nonce, flag byte
// followed by the message bytes, nothing after them. The nonce never
// repeats the previous frame's; the flag byte is 0x10 with the nonce's top
// two bits in bits 7-6.
#include <cstddef>
#include <cstdint>

#include "runtime/text.h"

constexpr int32_t FrameHeaderSize = 5;
constexpr int32_t FrameMarker = 0x10;

// The frame being built (a MemoryAllocate block, freed by whoever sends it)
// and the nonce of the previous frame. Process-wide, used by the network
// worker's thread only; 0 at start.
extern void* FrameBuffer;
extern int32_t LastNonce;
// Clears FrameBuffer and LastNonce, as the entry point does first.
void ResetFrameBuilder();

// 0x10, 0x50, 0x90 or 0xD0 for nonces 0-63, 64-127, 128-191, 192-255.
int32_t FrameFlagByte(int32_t nonce);
// A nonce 0-255 other than LastNonce, which it becomes.
int32_t NextNonce();

// Builds the frame of a message into a new zero-filled block of its length
// plus 5 and stores the block in FrameBuffer (also returned). When no block
// can be had, FrameBuffer is null, no nonce is drawn and the send is to be
// skipped.
void* BuildFrame(const Text& message);
// The same for message bytes that may hold zero bytes (tools and tests).
void* BuildFrameOfBytes(const void* bytes, int32_t count);

// The text a received block shows: its bytes from offset 5 up to the first
// zero byte, never past the block's end. Empty for blocks of 5 bytes or less.
Text ReceivedPayloadText(const void* block, size_t blockSize);

// What a datagram looks like next to the frame format.
struct FrameCheck {
    bool longEnough;     // at least the 5 header bytes
    bool markerRight;    // byte 0 is 0x10
    bool lengthRight;    // byte 1 is the message length modulo 256
    bool reservedZero;   // byte 2 is 0
    bool flagRight;      // byte 4 is the flag byte of the nonce
    bool nonceFresh;     // the nonce differs from the sender's previous one
    bool payloadHasZero; // the message holds a zero byte (never so in frames we build)
    bool wellFormed;     // all of the above but the last
    int32_t nonce;       // byte 3, or -1 for a datagram too short to hold it
};
// previousNonce: the nonce of the sender's previous frame, or -1 for none.
FrameCheck CheckFrame(const void* bytes, size_t length, int32_t previousNonce);
