#include "tools/peer/peer_options.h"

#include <cstdlib>

#include "runtime/cp1251.h"

const char* PeerUsage() {
    return R"(Usage: q7700-peer [options]

Stands in for the Q7700-Ethernet device: listens for UDP datagrams, prints
each with its sender, header and payload and says whether it is a
well-formed frame; answers frames on request; sends frames or raw datagrams.

Listening (what it does when nothing is to be sent, or with --listen):
  -p, --port N          UDP port to listen on (default 2048; 0: any free port)
  -b, --bind ADDRESS    listen on this IPv4 address only (default: all)
      --echo            answer each well-formed frame with a frame carrying
                        the same message
      --answer TEXT     answer each well-formed frame with a frame carrying TEXT
      --answer-hex HEX  the same with the message given in hexadecimal
      --answer-port N   port the answers go to (default: the listening port,
                        as the program listens on the port it sends to)
      --max N           stop after N datagrams
      --timeout MS      stop after MS milliseconds

Sending (to the program, or to another peer):
      --send TEXT       send a frame whose message is TEXT
      --send-hex HEX    send a frame whose message is these bytes
      --raw TEXT        send TEXT as a bare datagram, with no header
      --raw-hex HEX     send these bytes as a bare datagram
      --length N        repeat the given bytes to exactly N bytes (message of
                        a frame up to 65502, raw datagram up to 65507)
      --to ADDRESS      destination address or host name (default 127.0.0.1)
      --to-port N       destination port (default 2048)
      --count N         how many datagrams to send (default 1)
      --rate N          datagrams per second (default 100)
      --fresh-port      send every datagram from a new port, as the program does
      --listen          listen as well (before the first send, and on after)

Output:
      --json            one JSON object per line, for scripts and tests
  -h, --help            this text

TEXT is UTF-8 on the command line and goes out as Windows-1251; the escapes
\n \r \t \0 \\ and \xHH give single bytes. HEX is pairs of digits, e.g.
"48 65 6c 6c 6f". The program's own messages end in \n\r.

Exit codes: 0 done, 1 the network failed (e.g. the port is in use),
2 bad arguments.
)";
}

namespace {

bool ParseNumber(const std::string& text, int64_t low, int64_t high, int64_t* value) {
    if (text.empty() || text.size() > 12) return false;
    size_t start = text[0] == '-' ? 1 : 0;
    if (start == text.size()) return false;
    for (size_t i = start; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    int64_t parsed = std::strtoll(text.c_str(), nullptr, 10);
    if (parsed < low || parsed > high) return false;
    *value = parsed;
    return true;
}

// Four decimal numbers 0-255 joined by dots; checked here without the
// sockets layer, which may not be started yet.
bool IsDottedQuad(const std::string& text) {
    int parts = 0, digits = 0, value = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '.') {
            if (digits == 0 || value > 255) return false;
            ++parts;
            digits = value = 0;
        } else if (text[i] >= '0' && text[i] <= '9' && digits < 3) {
            value = value * 10 + (text[i] - '0');
            ++digits;
        } else {
            return false;
        }
    }
    return parts == 4;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

struct Parser {
    const std::vector<std::string>& arguments;
    size_t next = 0;
    std::string* error;

    bool Fail(const std::string& reason) {
        *error = reason;
        return false;
    }
    // The value of an option, from "--name=value" or the next argument.
    bool Value(const std::string& name, const std::string* inlineValue, std::string* value) {
        if (inlineValue) {
            *value = *inlineValue;
            return true;
        }
        if (next >= arguments.size()) return Fail(name + " needs a value");
        *value = arguments[next++];
        return true;
    }
    bool Number(const std::string& name, const std::string* inlineValue, int64_t low, int64_t high,
                int64_t* out) {
        std::string value;
        if (!Value(name, inlineValue, &value)) return false;
        if (ParseNumber(value, low, high, out)) return true;
        return Fail(name + " needs a number from " + std::to_string(low) + " to " +
                    std::to_string(high) + ", not \"" + value + "\"");
    }
    bool Port(const std::string& name, const std::string* inlineValue, int64_t low, int32_t* out) {
        int64_t value;
        if (!Number(name, inlineValue, low, 65535, &value)) return false;
        *out = static_cast<int32_t>(value);
        return true;
    }
    bool Bytes(const std::string& name, const std::string* inlineValue, bool hex,
               std::string* out) {
        std::string value, reason;
        if (!Value(name, inlineValue, &value)) return false;
        bool parsed =
            hex ? ParseHexArgument(value, out, &reason) : ParseTextArgument(value, out, &reason);
        return parsed || Fail(name + ": " + reason);
    }
};

} // namespace

bool ParseTextArgument(const std::string& utf8, std::string* bytes, std::string* error) {
    bytes->clear();
    std::string literal;
    auto flush = [&]() {
        Text converted = Utf8ToCp1251(literal);
        // Characters outside Windows-1251 (and broken UTF-8) came back as
        // '?': say so rather than send something else than was typed.
        if (Cp1251ToUtf8(converted) != literal) return false;
        bytes->append(converted);
        literal.clear();
        return true;
    };
    for (size_t i = 0; i < utf8.size(); ++i) {
        char c = utf8[i];
        if (c != '\\') {
            literal += c;
            continue;
        }
        if (!flush()) {
            *error = "the text holds characters that Windows-1251 does not have";
            return false;
        }
        if (++i == utf8.size()) {
            *error = "a lone \\ at the end (write \\\\ for a backslash)";
            return false;
        }
        switch (utf8[i]) {
        case 'n':
            bytes->push_back('\n');
            break;
        case 'r':
            bytes->push_back('\r');
            break;
        case 't':
            bytes->push_back('\t');
            break;
        case '0':
            bytes->push_back('\0');
            break;
        case '\\':
            bytes->push_back('\\');
            break;
        case 'x': {
            int high = i + 1 < utf8.size() ? HexDigit(utf8[i + 1]) : -1;
            int low = i + 2 < utf8.size() ? HexDigit(utf8[i + 2]) : -1;
            if (high < 0 || low < 0) {
                *error = "\\x needs two hexadecimal digits";
                return false;
            }
            bytes->push_back(static_cast<char>(high * 16 + low));
            i += 2;
            break;
        }
        default:
            *error =
                std::string("unknown escape \\") + utf8[i] + " (known: \\n \\r \\t \\0 \\\\ \\xHH)";
            return false;
        }
    }
    if (!flush()) {
        *error = "the text holds characters that Windows-1251 does not have";
        return false;
    }
    return true;
}

bool ParseHexArgument(const std::string& text, std::string* bytes, std::string* error) {
    bytes->clear();
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == ':' || c == '-' || c == ',' || c == '\t') {
            if (high >= 0) {
                *error = "hexadecimal bytes need two digits each";
                return false;
            }
            continue;
        }
        int digit = HexDigit(c);
        if (digit < 0) {
            *error = std::string("'") + c + "' is not a hexadecimal digit";
            return false;
        }
        if (high < 0) {
            high = digit;
        } else {
            bytes->push_back(static_cast<char>(high * 16 + digit));
            high = -1;
        }
    }
    if (high >= 0) {
        *error = "hexadecimal bytes need two digits each";
        return false;
    }
    return true;
}

bool ParsePeerOptions(const std::vector<std::string>& arguments, PeerOptions* options,
                      std::string* error) {
    *options = PeerOptions{};
    Parser parser{arguments, 0, error};
    bool listenAsked = false;
    bool answerGiven = false;
    int64_t length = -1;
    while (parser.next < arguments.size()) {
        std::string argument = arguments[parser.next++];
        std::string inlineText;
        const std::string* inlineValue = nullptr;
        size_t equals = argument.find('=');
        if (argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            inlineText = argument.substr(equals + 1);
            inlineValue = &inlineText;
            argument.resize(equals);
        }
        const std::string& name = argument;
        int64_t number = 0;
        bool ok = true;
        auto flagOnly = [&]() { return !inlineValue || parser.Fail(name + " takes no value"); };
        auto oneAnswer = [&]() {
            if (answerGiven) return parser.Fail("give only one of --echo, --answer, --answer-hex");
            answerGiven = true;
            return true;
        };
        auto oneSend = [&]() {
            if (options->send != PeerSend::None)
                return parser.Fail("give only one of --send, --send-hex, --raw, --raw-hex");
            return true;
        };
        if (name == "-h" || name == "--help") {
            options->help = true;
            return true;
        } else if (name == "--json") {
            ok = flagOnly() && (options->json = true);
        } else if (name == "-p" || name == "--port") {
            ok = parser.Port(name, inlineValue, 0, &options->port);
        } else if (name == "-b" || name == "--bind") {
            ok = parser.Value(name, inlineValue, &options->bindAddress);
            if (ok && !IsDottedQuad(options->bindAddress))
                ok = parser.Fail(name + " needs a dotted IPv4 address, not \"" +
                                 options->bindAddress + "\"");
        } else if (name == "--echo") {
            ok = flagOnly() && oneAnswer();
            options->answer = PeerAnswer::Echo;
        } else if (name == "--answer" || name == "--answer-hex") {
            ok = oneAnswer() &&
                 parser.Bytes(name, inlineValue, name == "--answer-hex", &options->answerBytes);
            options->answer = PeerAnswer::Fixed;
            if (ok && static_cast<int64_t>(options->answerBytes.size()) > PeerMaxDatagram - 5)
                ok = parser.Fail(name + ": a frame's message holds at most 65502 bytes");
        } else if (name == "--answer-port") {
            ok = parser.Port(name, inlineValue, 1, &options->answerPort);
        } else if (name == "--max") {
            ok = parser.Number(name, inlineValue, 1, 1000000000, &options->maxDatagrams);
        } else if (name == "--timeout") {
            ok = parser.Number(name, inlineValue, 0, 1000000000, &options->timeoutMs);
        } else if (name == "--send" || name == "--send-hex" || name == "--raw" ||
                   name == "--raw-hex") {
            bool hex = name == "--send-hex" || name == "--raw-hex";
            ok = oneSend() && parser.Bytes(name, inlineValue, hex, &options->sendBytes);
            options->send = name.rfind("--send", 0) == 0 ? PeerSend::Frame : PeerSend::Raw;
        } else if (name == "--length") {
            ok = parser.Number(name, inlineValue, 0, PeerMaxDatagram, &length);
        } else if (name == "--to") {
            ok = parser.Value(name, inlineValue, &options->to);
            if (ok && options->to.empty()) ok = parser.Fail("--to needs an address");
        } else if (name == "--to-port") {
            ok = parser.Port(name, inlineValue, 1, &options->toPort);
        } else if (name == "--count") {
            ok = parser.Number(name, inlineValue, 1, 1000000000, &options->count);
        } else if (name == "--rate") {
            ok = parser.Number(name, inlineValue, 1, 100000, &number);
            options->rate = static_cast<int32_t>(number);
        } else if (name == "--fresh-port") {
            ok = flagOnly() && (options->freshPort = true);
        } else if (name == "--listen") {
            ok = flagOnly() && (listenAsked = true);
        } else if (name.rfind("-", 0) == 0) {
            ok = parser.Fail("unknown option " + name + " (see --help)");
        } else {
            ok = parser.Fail("unexpected argument \"" + name + "\" (see --help)");
        }
        if (!ok) return false;
    }

    if (length >= 0) {
        if (options->send == PeerSend::None) return parser.Fail("--length needs something to send");
        if (length > 0 && options->sendBytes.empty())
            return parser.Fail("--length cannot repeat an empty text");
        std::string repeated;
        repeated.reserve(static_cast<size_t>(length));
        while (static_cast<int64_t>(repeated.size()) < length)
            repeated += options->sendBytes;
        repeated.resize(static_cast<size_t>(length));
        options->sendBytes = repeated;
    }
    int64_t datagram = static_cast<int64_t>(options->sendBytes.size()) +
                       (options->send == PeerSend::Frame ? 5 : 0);
    if (datagram > PeerMaxDatagram)
        return parser.Fail("a datagram holds at most 65507 bytes (a frame's message 65502)");
    options->listen = options->send == PeerSend::None || listenAsked;
    return true;
}
