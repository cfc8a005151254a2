#include "tools/peer/peer_report.h"

#include <cstdio>
#include <cstring>

#include "runtime/cp1251.h"

namespace {

// People see at most this much of one datagram; JSON carries it all.
constexpr size_t kShownBytes = 128;

std::string HexByte(unsigned char byte, bool upper) {
    char text[3];
    std::snprintf(text, sizeof text, upper ? "%02X" : "%02x", byte);
    return text;
}

bool IsControl(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F || byte == 0x98;
}

std::string Payload(const std::string& bytes) {
    return bytes.size() > static_cast<size_t>(FrameHeaderSize) ? bytes.substr(FrameHeaderSize)
                                                               : std::string();
}

std::string Bool(bool value) {
    return value ? "true" : "false";
}

// What is wrong with a datagram as a frame, for people.
std::string Faults(const std::string& bytes, const FrameCheck& check) {
    if (!check.longEnough)
        return "only " + std::to_string(bytes.size()) + " bytes, a frame has at least 5";
    std::string faults;
    auto add = [&](const std::string& fault) { faults += (faults.empty() ? "" : "; ") + fault; };
    auto byteAt = [&](size_t at) { return static_cast<unsigned char>(bytes[at]); };
    if (!check.markerRight) add("byte 0 is 0x" + HexByte(byteAt(0), true) + ", not 0x10");
    if (!check.lengthRight)
        add("byte 1 is " + std::to_string(byteAt(1)) + ", the message has " +
            std::to_string(bytes.size() - 5) + " bytes");
    if (!check.reservedZero) add("byte 2 is 0x" + HexByte(byteAt(2), true) + ", not 0");
    if (!check.flagRight)
        add("byte 4 is 0x" + HexByte(byteAt(4), true) + ", nonce " + std::to_string(check.nonce) +
            " needs 0x" + HexByte(static_cast<unsigned char>(FrameFlagByte(check.nonce)), true));
    if (!check.nonceFresh)
        add("nonce " + std::to_string(check.nonce) + " repeats this sender's previous one");
    return faults;
}

} // namespace

std::string AddressText(uint32_t address) {
    unsigned char parts[4];
    std::memcpy(parts, &address, 4);
    return std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." +
           std::to_string(parts[2]) + "." + std::to_string(parts[3]);
}

std::string HexText(const std::string& bytes, bool spaced) {
    std::string text;
    text.reserve(bytes.size() * 3);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (spaced && i > 0) text += ' ';
        text += HexByte(static_cast<unsigned char>(bytes[i]), spaced);
    }
    return text;
}

std::string EscapedText(const std::string& bytes) {
    std::string text;
    size_t plainStart = std::string::npos;
    auto flushPlain = [&](size_t end) {
        if (plainStart == std::string::npos) return;
        text += Cp1251ToUtf8(std::string_view(bytes).substr(plainStart, end - plainStart));
        plainStart = std::string::npos;
    };
    for (size_t i = 0; i < bytes.size(); ++i) {
        auto byte = static_cast<unsigned char>(bytes[i]);
        if (!IsControl(byte) && byte != '\\' && byte != '"') {
            if (plainStart == std::string::npos) plainStart = i;
            continue;
        }
        flushPlain(i);
        switch (byte) {
        case '\n':
            text += "\\n";
            break;
        case '\r':
            text += "\\r";
            break;
        case '\t':
            text += "\\t";
            break;
        case 0:
            text += "\\0";
            break;
        case '\\':
            text += "\\\\";
            break;
        case '"':
            text += "\\\"";
            break;
        default:
            text += "\\x" + HexByte(byte, true);
            break;
        }
    }
    flushPlain(bytes.size());
    return text;
}

// Cp1251ToUtf8 stops at a zero byte; datagrams may hold them.
static std::string Utf8OfBytes(const std::string& bytes) {
    std::string utf8;
    size_t start = 0;
    for (size_t i = 0; i <= bytes.size(); ++i) {
        if (i < bytes.size() && bytes[i] != '\0') continue;
        utf8 += Cp1251ToUtf8(std::string_view(bytes).substr(start, i - start));
        if (i < bytes.size()) utf8 += '\0';
        start = i + 1;
    }
    return utf8;
}

std::string JsonString(const std::string& utf8) {
    std::string json = "\"";
    for (char c : utf8) {
        auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            json += "\\\"";
            break;
        case '\\':
            json += "\\\\";
            break;
        case '\n':
            json += "\\n";
            break;
        case '\r':
            json += "\\r";
            break;
        case '\t':
            json += "\\t";
            break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", byte);
                json += escape;
            } else {
                json += c;
            }
        }
    }
    return json + "\"";
}

std::string JsonText(const std::string& bytes) {
    return JsonString(Utf8OfBytes(bytes));
}

std::string DatagramReport(const ReceivedDatagram& datagram, bool json) {
    const std::string& bytes = datagram.bytes;
    const FrameCheck& check = datagram.check;
    std::string header = bytes.substr(0, FrameHeaderSize);
    std::string payload = Payload(bytes);
    if (json) {
        Text shown = ReceivedPayloadText(bytes.data(), bytes.size());
        return "{\"event\":\"datagram\",\"from\":\"" + AddressText(datagram.address) +
               "\",\"port\":" + std::to_string(datagram.port) +
               ",\"length\":" + std::to_string(bytes.size()) + ",\"header\":\"" +
               HexText(header, false) + "\",\"frame\":" + Bool(check.wellFormed) +
               ",\"nonce\":" + std::to_string(check.nonce) +
               ",\"checks\":{\"length_ok\":" + Bool(check.longEnough) +
               ",\"marker\":" + Bool(check.markerRight) +
               ",\"length_byte\":" + Bool(check.lengthRight) +
               ",\"reserved\":" + Bool(check.reservedZero) + ",\"flag\":" + Bool(check.flagRight) +
               ",\"nonce_fresh\":" + Bool(check.nonceFresh) +
               "},\"payload_zero\":" + Bool(check.payloadHasZero) +
               ",\"text\":" + JsonText(payload) + ",\"shown\":" + JsonText(shown) + ",\"hex\":\"" +
               HexText(payload, false) + "\"}\n";
    }
    std::string report = AddressText(datagram.address) + ":" + std::to_string(datagram.port) +
                         "  " + std::to_string(bytes.size()) + " bytes  header " +
                         (header.empty() ? "(none)" : HexText(header, true)) + "\n";
    report += check.wellFormed ? "    frame: well-formed, nonce " + std::to_string(check.nonce)
                               : "    frame: NOT well-formed (" + Faults(bytes, check) + ")";
    if (check.payloadHasZero) report += "; the message holds a zero byte";
    report += "\n";
    std::string visible = payload.substr(0, kShownBytes);
    std::string more = payload.size() > kShownBytes
                           ? " ... (" + std::to_string(payload.size() - kShownBytes) + " more)"
                           : "";
    report += "    text: \"" + EscapedText(visible) + "\"" + more + "\n";
    report += "    hex:  " + HexText(visible, true) + more + "\n";
    return report;
}

std::string ListeningReport(const std::string& address, int32_t port, bool json) {
    if (json)
        return "{\"event\":\"listening\",\"address\":" + JsonString(address) +
               ",\"port\":" + std::to_string(port) + "}\n";
    return "listening on " + address + ":" + std::to_string(port) + " (UDP)\n";
}

static std::string Outgoing(const char* event, const std::string& to, int32_t port,
                            const std::string& datagram, bool frame, bool json) {
    int nonce = frame && datagram.size() >= 5 ? static_cast<unsigned char>(datagram[3]) : -1;
    if (json)
        return std::string("{\"event\":\"") + event + "\",\"to\":" + JsonString(to) +
               ",\"port\":" + std::to_string(port) +
               ",\"length\":" + std::to_string(datagram.size()) + ",\"frame\":" + Bool(frame) +
               ",\"nonce\":" + std::to_string(nonce) + "}\n";
    return std::string(event) + " " + std::to_string(datagram.size()) + " bytes to " + to + ":" +
           std::to_string(port) +
           (frame ? " (frame, nonce " + std::to_string(nonce) + ")" : " (raw)") + "\n";
}

std::string SentReport(const std::string& to, int32_t port, const std::string& datagram, bool frame,
                       bool json) {
    return Outgoing("sent", to, port, datagram, frame, json);
}

std::string AnsweredReport(const std::string& to, int32_t port, const std::string& datagram,
                           bool json) {
    return Outgoing("answered", to, port, datagram, true, json);
}

std::string ErrorReport(const std::string& message, bool json) {
    if (json) return "{\"event\":\"error\",\"message\":" + JsonString(message) + "}\n";
    return "q7700-peer: " + message + "\n";
}

std::string DoneReport(int64_t received, int64_t sent, bool json) {
    if (json)
        return "{\"event\":\"done\",\"received\":" + std::to_string(received) +
               ",\"sent\":" + std::to_string(sent) + "}\n";
    return "done: " + std::to_string(received) + " received, " + std::to_string(sent) + " sent\n";
}
