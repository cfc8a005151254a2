#include "app/frame.h"

#include <cstring>

#include "runtime/memory.h"
#include "runtime/random.h"

void* FrameBuffer;
int32_t LastNonce;

void ResetFrameBuilder() {
    FrameBuffer = nullptr;
    LastNonce = 0;
}

int32_t FrameFlagByte(int32_t nonce) {
    return FrameMarker | (nonce & 0xC0);
}

// LastNonce starts at 0, so the first frame of a run never has nonce 0.
int32_t NextNonce() {
    int32_t nonce;
    do
        nonce = RandomUpTo(255);
    while (nonce == LastNonce);
    LastNonce = nonce;
    return nonce;
}

void* BuildFrameOfBytes(const void* bytes, int32_t count) {
    FrameBuffer = nullptr;
    if (count < 0 || count > INT32_MAX - FrameHeaderSize) return nullptr;
    auto* frame = static_cast<unsigned char*>(MemoryAllocate(count + FrameHeaderSize));
    if (!frame) return nullptr;
    FrameBuffer = frame;
    MemoryPokeByte(frame + 0, FrameMarker);
    MemoryPokeByte(frame + 1, count); // the low 8 bits
    MemoryPokeByte(frame + 2, 0);
    int32_t nonce = NextNonce();
    MemoryPokeByte(frame + 3, nonce);
    MemoryPokeByte(frame + 4, FrameFlagByte(nonce));
    if (count > 0) std::memcpy(frame + FrameHeaderSize, bytes, static_cast<size_t>(count));
    return frame;
}

void* BuildFrame(const Text& message) {
    return BuildFrameOfBytes(message.data(), TextLength(message));
}

Text ReceivedPayloadText(const void* block, size_t blockSize) {
    if (!block || blockSize <= static_cast<size_t>(FrameHeaderSize)) return Text();
    // A block without a zero byte still ends the text at its own end.
    return MemoryPeekTextBounded(static_cast<const unsigned char*>(block) + FrameHeaderSize,
                                 blockSize - FrameHeaderSize);
}

FrameCheck CheckFrame(const void* bytes, size_t length, int32_t previousNonce) {
    FrameCheck check{};
    check.nonce = -1;
    const auto* frame = static_cast<const unsigned char*>(bytes);
    check.longEnough = frame && length >= static_cast<size_t>(FrameHeaderSize);
    if (!check.longEnough) return check;
    size_t messageLength = length - FrameHeaderSize;
    check.markerRight = frame[0] == FrameMarker;
    check.lengthRight = frame[1] == (messageLength & 0xFF);
    check.reservedZero = frame[2] == 0;
    check.nonce = frame[3];
    check.flagRight = frame[4] == FrameFlagByte(check.nonce);
    check.nonceFresh = check.nonce != previousNonce;
    check.payloadHasZero = std::memchr(frame + FrameHeaderSize, 0, messageLength) != nullptr;
    check.wellFormed = check.markerRight && check.lengthRight && check.reservedZero &&
                       check.flagRight && check.nonceFresh;
    return check;
}
