// The payload of a received block, as the network worker shows it: the
// bytes from offset 5 up to the first zero byte, never read past the block's
// end. The input is the block itself, at its exact size (libFuzzer's copy of
// it ends where the input does, so any read beyond it is caught).
#include "app/frame.h"
#include "runtime/memory.h"
#include "runtime/program_heap.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr int32_t kWorkerBlockSize = 1000; // what the worker reads per data event

std::string ExpectedPayload(const uint8_t* block, size_t size) {
    if (size <= static_cast<size_t>(FrameHeaderSize)) return std::string();
    std::string payload;
    for (size_t at = FrameHeaderSize; at < size && block[at] != 0; ++at)
        payload += static_cast<char>(block[at]);
    return payload;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ProgramHeapCreate();
    MemoryInit();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Text shown = ReceivedPayloadText(data, size);
    FUZZ_CHECK(shown == ExpectedPayload(data, size));
    FUZZ_CHECK(shown.find('\0') == std::string::npos);
    FUZZ_CHECK(MemoryPeekTextBounded(data, size) == TextFromBytes(data, size));

    // The worker's way: a zero-filled 1000-byte block that a read fills with
    // at most 1000 bytes of the datagram.
    auto* block = static_cast<uint8_t*>(MemoryAllocate(kWorkerBlockSize));
    FUZZ_CHECK(block != nullptr);
    size_t read = size < kWorkerBlockSize ? size : kWorkerBlockSize;
    if (read > 0) std::memcpy(block, data, read);
    FUZZ_CHECK(ReceivedPayloadText(block, kWorkerBlockSize) == ExpectedPayload(data, read));
    FUZZ_CHECK(MemoryFree(block) != 0);
    return 0;
}
