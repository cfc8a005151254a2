#pragma once
// Checks of what a report prints: well-formed UTF-8, and JSON strings.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string_view>

// True when every sequence is the shortest form of a scalar value (no
// surrogates, nothing above U+10FFFF).
inline bool IsUtf8(std::string_view text) {
    for (size_t at = 0; at < text.size();) {
        auto lead = static_cast<unsigned char>(text[at]);
        size_t length = lead < 0x80       ? 1
                        : lead >> 5 == 6  ? 2
                        : lead >> 4 == 14 ? 3
                        : lead >> 3 == 30 ? 4
                                          : 0;
        if (length == 0 || at + length > text.size()) return false;
        uint32_t value = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            auto next = static_cast<unsigned char>(text[at + k]);
            if (next >> 6 != 2) return false;
            value = value << 6 | (next & 0x3F);
        }
        static const uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (value < kShortest[length] || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000))
            return false;
        at += length;
    }
    return true;
}

// True when the text is one JSON string literal: quotes around characters
// other than controls, with only the escapes JSON has.
inline bool IsJsonString(std::string_view text) {
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') return false;
    for (size_t at = 1; at + 1 < text.size(); ++at) {
        auto c = static_cast<unsigned char>(text[at]);
        if (c < 0x20 || c == '"') return false;
        if (c != '\\') continue;
        char escape = ++at + 1 < text.size() ? text[at] : '\0';
        bool hex = escape == 'u' && at + 5 < text.size() &&
                   std::all_of(&text[at + 1], &text[at + 5],
                               [](unsigned char h) { return std::isxdigit(h); });
        if (hex)
            at += 4;
        else if (!escape || !std::strchr("\"\\/bfnrt", escape))
            return false;
    }
    return true;
}
