#pragma once

#include <QString>

#include <string>
#include <string_view>

// Titles as the program holds them: the bytes of code page 932 that catalogue files have always
// held; or, for a title that code page 932 cannot hold, its UTF-8 with the UTF-8 byte-order mark in
// front. The bytes EF BB form no code page 932 character, so the mark never begins a title in
// code page 932 and tells the two apart wherever a title goes (labels, grids, the marquee).
//
// In either form a byte that begins no character is carried in the text as U+DC00 + byte and
// written back as that byte, so that a title moving from one form to the other keeps such bytes.
namespace titles {

inline constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool isUtf8(std::string_view title);

// The characters of a title in either form.
QString decode(std::string_view title);

// Code page 932 bytes when every character fits (exactly what cp932::encode gives) and they do not
// begin with the mark, otherwise the mark and the UTF-8 of `text`.
std::string encode(const QString &text);

// The UTF-8 of `text`, a carried byte written as that byte.
std::string utf8Of(const QString &text);

// The title's UTF-8 without the mark. A UTF-8 title comes back byte for byte; for a code page 932
// title, bytes that form no character stay as they are among the UTF-8 of the rest, and may then
// read as other characters: the caller compares decodings where that matters.
std::string toUtf8(std::string_view title);

}  // namespace titles
