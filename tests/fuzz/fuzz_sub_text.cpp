// SubText on any text, start and length, against a walk that follows its
// rules step by step; and the code of the part's first character.
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
    std::string rest = input.Rest();
    Text text = TextFromBytes(rest.data(), rest.size());
    Text part = SubText(text, start, length);
    FUZZ_CHECK(part == ExpectedSubText(text, start, length));
    // The code of a part's first character, as the panel reads a text one
    // character at a time; 0 for an empty part.
    FUZZ_CHECK(FirstCharCode(part) == (part.empty() ? 0 : static_cast<uint8_t>(part[0])));
    return 0;
}
