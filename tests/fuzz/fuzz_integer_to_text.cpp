// IntegerToText of every 64-bit value the input holds (and of its
// neighbours and negation, which reach the extremes): the plain decimal text
// that printf writes, and ParseInteger reads it back as the same value.
#include <cinttypes>

#include "runtime/text.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

void CheckValue(int64_t value) {
    Text text = IntegerToText(value);
    char expected[32];
    std::snprintf(expected, sizeof expected, "%" PRId64, value);
    FUZZ_CHECK(text == expected);
    // No sign but "-", no leading zero, nothing but digits.
    size_t digits = value < 0 ? 1 : 0;
    FUZZ_CHECK(text.size() > digits && text.size() <= 20);
    FUZZ_CHECK(text.find_first_not_of("0123456789", digits) == std::string::npos);
    FUZZ_CHECK(text[digits] != '0' || text == "0");
    FUZZ_CHECK(ParseInteger(text) == value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    do {
        auto bits = input.Quad(); // a short tail reads as if padded with zeros
        for (uint64_t near : {bits, bits - 1, bits + 1, ~bits + 1})
            CheckValue(static_cast<int64_t>(near));
    } while (!input.Empty());
    return 0;
}
