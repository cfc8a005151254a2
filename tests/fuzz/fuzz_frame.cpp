// The frame on any datagram. The virtual device's check and its report,
// with any previous nonce of the sender: every verdict against the bytes
// themselves, and the message in both reports as a byte-by-byte reading of
// the escapes says (one line with --json, four for people); a frame of the
// program's own builder carrying the bytes, which the check always passes;
// and the payload the network worker shows of the input as a block of its
// exact size (any read past it is caught).
#include <algorithm>
#include <cstring>

#include "app/frame.h"
#include "runtime/cp1251.h"
#include "runtime/memory.h"
#include "runtime/program_heap.h"
#include "tests/fuzz/fuzz_support.h"
#include "tools/peer/peer_report.h"

namespace {

void CheckVerdicts(const std::string& bytes, int32_t previousNonce, const FrameCheck& check) {
    bool full = bytes.size() >= 5; // a header to judge; otherwise every verdict is false
    auto byteAt = [&](size_t at) { return full ? static_cast<uint8_t>(bytes[at]) : -1; };
    static const int32_t kFlagOfQuarter[] = {0x10, 0x50, 0x90, 0xD0};
    FUZZ_CHECK(check.longEnough == full && check.nonce == byteAt(3));
    FUZZ_CHECK(check.markerRight == (byteAt(0) == 0x10));
    FUZZ_CHECK(check.lengthRight ==
               (full && byteAt(1) == static_cast<int>((bytes.size() - 5) % 256)));
    FUZZ_CHECK(check.reservedZero == (byteAt(2) == 0));
    FUZZ_CHECK(check.flagRight == (full && byteAt(4) == kFlagOfQuarter[byteAt(3) / 64]));
    FUZZ_CHECK(check.nonceFresh == (full && byteAt(3) != previousNonce));
    FUZZ_CHECK(check.payloadHasZero == (bytes.find('\0', 5) != std::string::npos));
    FUZZ_CHECK(check.wellFormed == (check.markerRight && check.lengthRight && check.reservedZero &&
                                    check.flagRight && check.nonceFresh));
}

// Windows-1251 bytes as a report prints them, byte by byte: for people with
// the control bytes (and 0x98, which has no character) escaped, in JSON as a
// string literal.
std::string Printed(const std::string& bytes, bool json) {
    std::string text;
    static const char kNamed[] = "\n\r\t\"\\", kLetters[] = "nrt\"\\";
    for (unsigned char byte : bytes) {
        const char* named = byte ? std::strchr(kNamed, byte) : nullptr;
        char code[8];
        if (named)
            text += std::string{'\\', kLetters[named - kNamed]};
        else if (!json && byte == 0)
            text += "\\0";
        else if (byte < 0x20 || byte == 0x7F || (!json && byte == 0x98))
            text.append(code, std::snprintf(code, 8, json ? "\\u%04x" : "\\x%02X", byte));
        else
            text += Cp1251ToUtf8(std::string(1, static_cast<char>(byte)));
    }
    return json ? '"' + text + '"' : text;
}

void CheckReports(const ReceivedDatagram& datagram) {
    std::string payload = datagram.bytes.size() > 5 ? datagram.bytes.substr(5) : "";
    std::string shown = ReceivedPayloadText(datagram.bytes.data(), datagram.bytes.size());
    std::string json = DatagramReport(datagram, true);
    FUZZ_CHECK(json.find(",\"text\":" + Printed(payload, true) +
                         ",\"shown\":" + Printed(shown, true) + ",") != std::string::npos);
    FUZZ_CHECK(json.find('\n') == json.size() - 1);
    std::string people = DatagramReport(datagram, false);
    FUZZ_CHECK(std::count(people.begin(), people.end(), '\n') == 4 && people.back() == '\n');
    FUZZ_CHECK(people.find("\n    text: \"" + Printed(payload.substr(0, 128), false) + "\"") !=
               std::string::npos);
}

// The text a block shows: from byte 5 up to the first zero or the block's end.
std::string ExpectedPayload(const uint8_t* block, size_t size) {
    std::string payload;
    for (size_t at = 5; at < size && block[at] != 0; ++at)
        payload += static_cast<char>(block[at]);
    return payload;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ProgramHeapCreate(); // the nonce generator's state
    MemoryInit();        // frames
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FUZZ_CHECK(ReceivedPayloadText(data, size) == ExpectedPayload(data, size));
    FuzzInput input(data, size);
    int32_t previousNonce = input.Word() % 257 - 1; // -1: no frame from this sender yet
    ReceivedDatagram datagram{};
    datagram.address = input.Long();
    datagram.port = input.Word();
    const std::string& bytes = datagram.bytes = input.Rest();
    datagram.check = CheckFrame(bytes.data(), bytes.size(), previousNonce);
    CheckVerdicts(bytes, previousNonce, datagram.check);
    CheckReports(datagram);

    // The same bytes as the message of a frame of our own builder.
    int32_t nonceBefore = LastNonce;
    const auto* frame = static_cast<const char*>(
        BuildFrameOfBytes(bytes.data(), static_cast<int32_t>(bytes.size())));
    FUZZ_CHECK(frame != nullptr && frame == FrameBuffer &&
               std::string(frame + 5, bytes.size()) == bytes);
    FrameCheck ours = CheckFrame(frame, bytes.size() + 5, nonceBefore);
    FUZZ_CHECK(ours.wellFormed && ours.nonce == LastNonce);
    FUZZ_CHECK(MemoryFree(FrameBuffer) != 0);
    FrameBuffer = nullptr;
    return 0;
}
