#pragma once
// Windows-1251 <-> Unicode, done here rather than by the system so that the
// program's Russian texts show the same whatever the system's ANSI code page.
// Every byte 0x01-0xFF has its own character (0x98, unassigned in the code
// page, maps to U+0098 as Windows maps it), so bytes survive a round trip.
#include <string>
#include <string_view>

#include "runtime/text.h"

// UTF-16 of a text (no terminator included).
std::u16string Cp1251ToUtf16(std::string_view text);
// The text of UTF-16 characters, up to the first U+0000; a character that
// Windows-1251 cannot hold becomes "?".
Text Utf16ToCp1251(std::u16string_view chars);
// UTF-8 of a text, for terminals and logs.
std::string Cp1251ToUtf8(std::string_view text);
// The text of UTF-8 input, up to the first U+0000; characters Windows-1251
// cannot hold, and malformed sequences, become "?".
Text Utf8ToCp1251(std::string_view utf8);
