#pragma once
// Texts: 8-bit characters (Windows-1251 in this system) that end at their
// first zero byte, so a Text never holds the byte 0. The invariant is kept
// where raw bytes become a Text (TextFromBytes, TextFromC); every other
// operation only ever shortens or joins texts. A missing text counts as the
// empty text. All operations are pure and safe from any thread.
#include <cstddef>
#include <cstdint>
#include <string>

using Text = std::string;

// The bytes up to, not including, the first zero byte within count bytes.
Text TextFromBytes(const void* bytes, size_t count);
// A zero-terminated string; null gives the empty text.
Text TextFromC(const char* chars);

// Number of bytes of the text.
int32_t TextLength(const Text& text);
// The part that begins at the start-th character (1-based; 1, 0 and any
// negative start begin at the first) holding at most length characters.
Text SubText(const Text& text, int32_t start, int32_t length);
// The first byte as 0-255; 0 for the empty text.
int32_t FirstCharCode(const Text& text);
// One character: the code modulo 256. A code whose low 8 bits are 0 gives
// the empty text, since a text cannot hold the byte 0.
Text CharFromCode(int32_t code);
// Leading blanks and tabs, one sign, "$" for hexadecimal or "%" for binary,
// then digits up to the first non-digit. Wraps modulo 2^64; malformed input
// gives 0. Never fails.
int64_t ParseInteger(const Text& text);
// Decimal text, "-" for negative values, no leading zeros.
Text IntegerToText(int64_t value);
