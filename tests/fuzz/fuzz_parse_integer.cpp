// ParseInteger on any text, against a reading of its rules written apart
// from it: blanks and tabs, one sign, "$" or "%", digits up to the first
// non-digit, the whole kept modulo 2^64.
#include <cctype>

#include "runtime/text.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

int64_t ExpectedInteger(const std::string& text) {
    size_t at = text.find_first_not_of(" \t");
    if (at == std::string::npos) return 0;
    bool negative = text[at] == '-';
    if (text[at] == '-' || text[at] == '+') ++at;
    unsigned base = 10;
    if (at < text.size() && text[at] == '$') base = 16;
    if (at < text.size() && text[at] == '%') base = 2;
    if (base != 10) ++at;
    static const char kDigits[] = "0123456789abcdef";
    unsigned __int128 value = 0;
    for (; at < text.size(); ++at) {
        int lower = std::tolower(static_cast<unsigned char>(text[at]));
        const void* digit = lower ? std::memchr(kDigits, lower, base) : nullptr;
        if (!digit) break;
        value = value * base + static_cast<unsigned>(static_cast<const char*>(digit) - kDigits);
        value &= UINT64_MAX; // modulo 2^64 after every step
    }
    auto magnitude = static_cast<uint64_t>(value);
    return static_cast<int64_t>(negative ? ~magnitude + 1 : magnitude);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Text text = TextFromBytes(data, size); // up to the first zero byte, as every text
    int64_t value = ParseInteger(text);
    FUZZ_CHECK(value == ExpectedInteger(text));
    // Leading blanks are skipped, and the first non-digit ends the number.
    FUZZ_CHECK(ParseInteger(" \t " + text) == value);
    FUZZ_CHECK(ParseInteger(text + "z") == value);
    // Its decimal text reads back as the same value.
    FUZZ_CHECK(ParseInteger(IntegerToText(value)) == value);
    return 0;
}
