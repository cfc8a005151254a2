// The virtual device's frame check and its report, on any datagram and any
// previous nonce of its sender: every verdict against the bytes themselves,
// reports that are UTF-8 (and, with --json, one line of valid JSON), and a
// frame built by the program's own builder that the check always passes.
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
    std::string json = DatagramReport(datagram, true);
    FUZZ_CHECK(!json.empty() && json.back() == '\n');
    FUZZ_CHECK(json.find('\n') == json.size() - 1); // one line per datagram
    FUZZ_CHECK(IsUtf8(json));
    FUZZ_CHECK(IsJson(json));
    std::string people = DatagramReport(datagram, false);
    FUZZ_CHECK(!people.empty() && people.back() == '\n');
    FUZZ_CHECK(IsUtf8(people));
    size_t lines = 0;
    for (char c : people) {
        lines += c == '\n';
        // Control bytes of the datagram are escaped, never printed raw.
        FUZZ_CHECK(c == '\n' || static_cast<unsigned char>(c) >= 0x20);
    }
    FUZZ_CHECK(lines == 4);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ProgramHeapCreate(); // the nonce generator's state
    MemoryInit();        // frames
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
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
