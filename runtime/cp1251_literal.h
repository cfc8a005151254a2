#pragma once
// Windows-1251 bytes of a UTF-8 string literal, made at compile time, so
// that the program's Russian texts read as words in the source:
//     inline constexpr const char* kStopText = Cp1251Literal<u8"Стоп">;
// A character that the code page cannot hold stops the build.
#include <array>
#include <cstddef>

#include "runtime/cp1251_table.h"

template <size_t N> struct Utf8Literal {
    char8_t units[N];
    constexpr Utf8Literal(const char8_t (&text)[N]) {
        for (size_t i = 0; i < N; ++i)
            units[i] = text[i];
    }
};

namespace cp1251_literal {
// Never defined, and not constexpr: a literal that reaches it does not compile.
void CharacterNotInWindows1251();

// Writes the bytes of the literal's characters to out (when given) and
// returns their count. The compiler made the UTF-8, so it is well-formed;
// every character of the code page takes at most three bytes.
template <size_t N> constexpr size_t Convert(const Utf8Literal<N>& text, char* out) {
    size_t count = 0;
    for (size_t i = 0; i + 1 < N; ++count) {
        unsigned char lead = static_cast<unsigned char>(text.units[i]);
        int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        constexpr unsigned char kLeadBits[] = {0x7F, 0x1F, 0x0F, 0x07};
        char32_t c = lead & kLeadBits[extra];
        for (int k = 1; k <= extra; ++k)
            c = c << 6 | (static_cast<unsigned char>(text.units[i + k]) & 0x3F);
        int byte = Cp1251ByteOfChar(c);
        if (byte <= 0) CharacterNotInWindows1251();
        if (out) out[count] = static_cast<char>(byte);
        i += static_cast<size_t>(extra) + 1;
    }
    return count;
}

template <Utf8Literal text> struct Bytes {
    static constexpr size_t kCount = Convert(text, nullptr);
    static constexpr std::array<char, kCount + 1> kBytes = [] {
        std::array<char, kCount + 1> bytes{};
        Convert(text, bytes.data());
        return bytes;
    }();
};
} // namespace cp1251_literal

// The text's Windows-1251 bytes with a terminating zero, for the whole run.
template <Utf8Literal text>
inline constexpr const char* Cp1251Literal = cp1251_literal::Bytes<text>::kBytes.data();
