// The peer's command line: what it sets, the bytes it sends, and the one
// line it gives for what it does not accept. What the program's own test
// runs it with (peer_process_test) is left to it.
#include "tools/peer/peer_options.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using namespace std::string_literals;

// What a command line, its arguments split at spaces, sets; or why it is
// refused.
std::string Outcome(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> arguments;
    for (std::string argument; std::getline(in, argument, ' ');)
        arguments.push_back(argument);
    PeerOptions o;
    std::string error;
    if (!ParsePeerOptions(arguments, &o, &error)) {
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        return "refused: " + error;
    }
    const char* answers[] = {"", " echo", " answer "};
    return (o.listen ? "listen " + std::to_string(o.port) : "") +
           answers[static_cast<int>(o.answer)] + o.answerBytes +
           (o.send == PeerSend::Raw ? " raw " : " sends ") + o.sendBytes + ";";
}

TEST(PeerOptions, WhatALineSetsOrWhyItIsRefused) {
    const std::pair<std::string, std::string> kCases[] = {
        // Defaults; listening also while sending. (Short names, values
        // after "=" and --help winning are the process test's.)
        {"", "listen 2048 sends ;"},
        {"--raw hi --listen --answer=ok", "listen 2048 answer ok raw hi;"},
        // Texts go out as Windows-1251 with escapes; hex may be separated or
        // not; --length repeats the bytes to exactly that many, up to what
        // IPv4 carries.
        {"--send Привет\\n\\r", " sends \xCF\xF0\xE8\xE2\xE5\xF2\n\r;"},
        {"--raw a\\tb\\\\c\\x41\\0", " raw a\tb\\cA\0;"s},
        {"--raw-hex 10\t07\t00:5a-50,ff", " raw \x10\x07\x00\x5a\x50\xff;"s},
        {"--send-hex 1007005A", " sends \x10\x07\x00\x5a;"s},
        {"--raw abc --length 8", " raw abcabcab;"},
        {"--raw-hex 41 --length 65507", " raw " + std::string(65507, 'A') + ";"},
        {"--send x --length 65502", " sends " + std::string(65502, 'x') + ";"},
        // Refusals name what is wrong.
        {"--send x --length 65503", "refused: a datagram holds at most 65507"},
        {"--port 65536", "refused: --port needs a number from 0 to 65535"},
        {"--max -", "refused: --max"},
        {"--count 1x", "refused: --count"},
        {"--timeout 9999999999999", "refused: --timeout"},
        {"--bogus", "refused: unknown option --bogus"},
        {"stray", "refused: unexpected argument \"stray\""},
        {"--port", "refused: --port needs a value"},
        {"--send a --raw b", "refused: give only one"},
        {"--echo --answer x", "refused: give only one"},
        {"--length 5", "refused: --length needs something to send"},
        {"--raw= --length 5", "refused: --length cannot repeat an empty"},
        {"--json=yes", "refused: --json takes no value"},
        {"--bind 1.2.3.256", "refused: --bind needs a dotted"},
        {"--to=", "refused: --to needs an address"},
        {"--raw-hex 1:2", "refused: --raw-hex: hexadecimal bytes need two digits"},
        {"--raw-hex zz", "refused: --raw-hex: 'z'"},
        {"--send \\q", "refused: --send: unknown escape \\q"},
        {"--send x\\", "refused: --send: a lone \\"},
        {"--send \\x4", "refused: --send: \\x needs two"},
        {"--send 日本", "refused: --send: the text holds characters that Windows-1251"},
        {"--answer-hex " + std::string(2 * 65503, '1'),
         "refused: --answer-hex: a frame's message holds at most 65502"}};
    for (const auto& [line, part] : kCases) {
        SCOPED_TRACE(line.substr(0, 60));
        std::string outcome = Outcome(line);
        EXPECT_NE(outcome.find(part), std::string::npos) << outcome.substr(0, 200);
    }
}

} // namespace
