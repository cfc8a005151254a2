// The text functions on any input. ParseInteger on the input as a text,
// against a reading of its rules written apart from it: blanks and tabs, one
// sign, "$" or "%", digits up to the first non-digit, the whole kept modulo
// 2^64. IntegerToText of the number read, and of each 8 bytes of the input
// taken as a number (and their neighbours and negation, which reach the
// extremes): the decimal text printf writes, read back as the same value.
// SubText with a start and a length from the input's first 8 bytes on the
// text of the rest, against a walk that follows its rules step by step, and
// the code of the part's first character.
#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstring>

#include "runtime/text.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

int64_t ExpectedInteger(const std::string& text) {
    size_t at = std::min(text.find_first_not_of(" \t"), text.size()); // text[size()] is '\0'
    bool negative = text[at] == '-';
    at += text[at] == '-' || text[at] == '+';
    unsigned base = text[at] == '$' ? 16 : text[at] == '%' ? 2 : 10;
    at += base != 10;
    static const char kDigits[] = "0123456789abcdef";
    uint64_t value = 0; // unsigned arithmetic wraps modulo 2^64 at every step
    for (; at < text.size(); ++at) {
        auto* digit =
            static_cast<const char*>(std::memchr(kDigits, std::tolower(text[at] & 0xFF), base));
        if (!digit) break;
        value = value * base + static_cast<unsigned>(digit - kDigits);
    }
    return static_cast<int64_t>(negative ? ~value + 1 : value);
}

void CheckText(int64_t value) {
    char expected[32];
    std::snprintf(expected, sizeof expected, "%" PRId64, value);
    FUZZ_CHECK(IntegerToText(value) == expected);
    FUZZ_CHECK(ParseInteger(expected) == value);
}

Text ExpectedSubText(const Text& text, int32_t start, int32_t length) {
    if (length < 0) length = 0;
    size_t position = 0;
    // Step forward while start is above 1; reaching the end gives "".
    for (; start > 1; --start)
        if (++position >= text.size()) return Text();
    Text part;
    for (; length > 0 && position < text.size(); --length)
        part += text[position++];
    return part;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Text text = TextFromBytes(data, size); // up to the first zero byte, as every text
    int64_t value = ParseInteger(text);
    FUZZ_CHECK(value == ExpectedInteger(text));
    CheckText(value);
    FuzzInput input(data, size);
    do {
        uint64_t bits = input.Quad(); // a short tail reads as if padded with zeros
        for (uint64_t near : {bits, bits - 1, bits + 1, ~bits + 1})
            CheckText(static_cast<int64_t>(near));
    } while (!input.Empty());

    FuzzInput parts(data, size);
    auto start = static_cast<int32_t>(parts.Long());
    auto length = static_cast<int32_t>(parts.Long());
    std::string rest = parts.Rest();
    text = TextFromBytes(rest.data(), rest.size());
    Text part = SubText(text, start, length);
    FUZZ_CHECK(part == ExpectedSubText(text, start, length));
    // The panel reads a text one character at a time; "" reads as 0.
    FUZZ_CHECK(FirstCharCode(part) == (part.empty() ? 0 : static_cast<uint8_t>(part[0])));
    return 0;
}
