#pragma once

#include <QString>

#include <optional>
#include <string>
#include <string_view>

// Code page 932 (Shift-JIS with the NEC and IBM extensions), the encoding of every title and
// catalogue file. Decoding never fails: a byte that does not form a character is carried as the lone
// surrogate U+DC00 + byte. Some characters have two codes (NEC's duplicates in lead byte 0x87 such
// as ≒ 0x8790, and the NEC-selected IBM rows 0xED and 0xEE); both decode to the character, and
// encoding gives the one code that iconv gives it (≒ 0x81E0, 纊 0xFA5C). So encode(decode(b)) == b
// for bytes without such a second code; callers that must keep bytes keep the bytes themselves.
namespace cp932 {

QString decode(std::string_view bytes);

// The bytes of `text`, or nothing when code page 932 cannot hold it exactly: decoding the bytes
// gives back `text`, no look-alike stands in for a character. Lone surrogates U+DC80..U+DCFF
// become the byte they carry.
std::optional<std::string> encode(const QString &text);

// Index (in QChars) of the first character of `text` that code page 932 cannot hold, or -1.
int firstUnencodable(const QString &text);

// Converts a UTF-8 literal of the program's own (captions, fixed texts) to code page 932 bytes.
// Only for texts known to be encodable; an unencodable character becomes '?'.
std::string fromUtf8(std::string_view utf8);

bool isLeadByte(unsigned char byte);

}  // namespace cp932
