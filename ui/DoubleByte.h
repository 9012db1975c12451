#pragma once

#include <string>
#include <vector>

// Double-byte text of code page 932. Positions count bytes from 1.

// True when byte `i` of `s` is the second byte of a double-byte character. Raises
// std::out_of_range("Illegal Index") when i is below 1 or above the length of s.
bool IsTrailByte(const std::string &s, int i);

// Characters number `index` .. `index` + `count` - 1 of `s`, a double-byte character counting as
// one and never cut.
std::string CopyChars(const std::string &s, int index, int count);

// The head of a title as the title line shows it: its first 28 bytes, or 27 when byte 29 is a
// trail byte; the whole title when shorter than 29 bytes.
std::string titleHead(const std::string &s);

// The windows that one undisturbed scroll of `s` shows, in order (empty for titles under 28 bytes).
std::vector<std::string> marqueeWindows(const std::string &s);
