// The frame on any datagram. The virtual device's check and its report,
// with any previous nonce of the sender: every verdict against the bytes
// themselves, reports in UTF-8 whose texts are JSON strings (one line with
// --json); a frame of the program's own builder carrying the bytes, which
// the check always passes; and the payload the network worker shows of the
// datagram as a block of its exact size (any read past it is caught) and as
// the worker reads it, into a zero-filled block of 1000 bytes.
#include "app/frame.h"
#include "runtime/memory.h"
#include "runtime/program_heap.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/text_checks.h"
#include "tools/peer/peer_report.h"

namespace {

void CheckVerdicts(const std::string& bytes, int32_t previousNonce, const FrameCheck& check) {
    auto byteAt = [&](size_t at) { return static_cast<int32_t>(static_cast<uint8_t>(bytes[at])); };
    FUZZ_CHECK(check.longEnough == (bytes.size() >= 5));
    if (!check.longEnough) {
        FUZZ_CHECK(check.nonce == -1 && !check.wellFormed && !check.markerRight &&
                   !check.lengthRight && !check.reservedZero && !check.flagRight &&
                   !check.nonceFresh && !check.payloadHasZero);
        return;
    }
    FUZZ_CHECK(check.markerRight == (byteAt(0) == 0x10));
    FUZZ_CHECK(check.lengthRight == (byteAt(1) == static_cast<int32_t>((bytes.size() - 5) % 256)));
    FUZZ_CHECK(check.reservedZero == (byteAt(2) == 0));
    FUZZ_CHECK(check.nonce == byteAt(3));
    static const int32_t kFlagOfQuarter[] = {0x10, 0x50, 0x90, 0xD0};
    FUZZ_CHECK(check.flagRight == (byteAt(4) == kFlagOfQuarter[check.nonce / 64]));
    FUZZ_CHECK(check.nonceFresh == (check.nonce != previousNonce));
    FUZZ_CHECK(check.payloadHasZero == (bytes.find('\0', 5) != std::string::npos));
    FUZZ_CHECK(check.wellFormed == (check.markerRight && check.lengthRight && check.reservedZero &&
                                    check.flagRight && check.nonceFresh));
}

void CheckReports(const ReceivedDatagram& datagram) {
    std::string payload = datagram.bytes.size() > 5 ? datagram.bytes.substr(5) : "";
    std::string text = JsonText(payload);
    std::string shown = JsonText(ReceivedPayloadText(datagram.bytes.data(), datagram.bytes.size()));
    FUZZ_CHECK(IsJsonString(text) && IsJsonString(shown));
    std::string json = DatagramReport(datagram, true);
    FUZZ_CHECK(json.find(",\"text\":" + text + ",\"shown\":" + shown + ",") != std::string::npos);
    FUZZ_CHECK(json.find('\n') == json.size() - 1); // one line per datagram
    std::string people = DatagramReport(datagram, false);
    FUZZ_CHECK(IsUtf8(json) && IsUtf8(people));
    // Four lines, control bytes of the datagram escaped, never printed raw.
    FUZZ_CHECK(std::count(people.begin(), people.end(), '\n') == 4 && people.back() == '\n');
    FUZZ_CHECK(std::find_if(people.begin(), people.end(),
                            [](unsigned char c) { return c < 0x20 && c != '\n'; }) == people.end());
}

std::string ExpectedPayload(const uint8_t* block, size_t size) {
    std::string payload;
    for (size_t at = 5; at < size && block[at] != 0; ++at)
        payload += static_cast<char>(block[at]);
    return payload;
}

void CheckPayload(const uint8_t* data, size_t size) {
    FUZZ_CHECK(ReceivedPayloadText(data, size) == ExpectedPayload(data, size));
    FUZZ_CHECK(MemoryPeekTextBounded(data, size) == TextFromBytes(data, size));
    auto* block = static_cast<uint8_t*>(MemoryAllocate(1000));
    size_t read = std::min<size_t>(size, 1000);
    if (read > 0) std::memcpy(block, data, read);
    FUZZ_CHECK(ReceivedPayloadText(block, 1000) == ExpectedPayload(data, read));
    FUZZ_CHECK(MemoryFree(block) != 0);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ProgramHeapCreate(); // the nonce generator's state
    MemoryInit();        // frames
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckPayload(data, size);
    FuzzInput input(data, size);
    int32_t previousNonce = input.Word() % 257 - 1; // -1: no frame from this sender yet
    ReceivedDatagram datagram{};
    datagram.address = input.Long();
    datagram.port = input.Word();
    datagram.bytes = input.Rest();
    datagram.check = CheckFrame(datagram.bytes.data(), datagram.bytes.size(), previousNonce);
    CheckVerdicts(datagram.bytes, previousNonce, datagram.check);
    CheckReports(datagram);

    // The same bytes as the message of a frame of our own builder.
    int32_t nonceBefore = LastNonce;
    auto count = static_cast<int32_t>(datagram.bytes.size());
    const auto* frame =
        static_cast<const uint8_t*>(BuildFrameOfBytes(datagram.bytes.data(), count));
    FUZZ_CHECK(frame != nullptr && frame == FrameBuffer);
    FrameCheck ours = CheckFrame(frame, datagram.bytes.size() + 5, nonceBefore);
    FUZZ_CHECK(ours.wellFormed && ours.nonce == LastNonce);
    FUZZ_CHECK(std::memcmp(frame + 5, datagram.bytes.data(), datagram.bytes.size()) == 0);
    FUZZ_CHECK(MemoryFree(FrameBuffer) != 0);
    FrameBuffer = nullptr;
    return 0;
}
