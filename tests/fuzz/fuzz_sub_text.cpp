// SubText on any text, start and length, against a walk that follows its
// rules step by step; and a text read character by character.
#include "runtime/text.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

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
    FuzzInput input(data, size);
    auto start = static_cast<int32_t>(input.Long());
    auto length = static_cast<int32_t>(input.Long());
    auto more = static_cast<int32_t>(input.Word()); // a second length, for joining
    std::string rest = input.Rest();
    Text text = TextFromBytes(rest.data(), rest.size());

    Text part = SubText(text, start, length);
    FUZZ_CHECK(part == ExpectedSubText(text, start, length));
    FUZZ_CHECK(TextLength(part) <= (length > 0 ? length : 0));
    FUZZ_CHECK(part.find('\0') == std::string::npos);

    // Two neighbouring parts join into the part that spans both.
    if (start >= 1 && length >= 0 && start <= INT32_MAX - length && length <= INT32_MAX - more)
        FUZZ_CHECK(part + SubText(text, start + length, more) ==
                   SubText(text, start, length + more));

    // Character i (1-based) is byte i - 1.
    int32_t n = TextLength(text);
    for (int32_t i = 1; i <= n && i <= 64; ++i)
        FUZZ_CHECK(FirstCharCode(SubText(text, i, 1)) == static_cast<unsigned char>(text[i - 1]));
    FUZZ_CHECK(FirstCharCode(SubText(text, n + 1, 1)) == 0);
    return 0;
}
