#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Double-byte text of code page 932. Positions count bytes from 1.

// True when byte `i` of `s` is the second byte of a double-byte character. Raises
// std::out_of_range("Illegal Index") when i is below 1 or above the length of s.
bool IsTrailByte(const std::string &s, int i);

// Characters number `index` .. `index` + `count` - 1 of `s`, a double-byte character counting as
// one and never cut.
std::string CopyChars(const std::string &s, int index, int count);

// A title laid out in the title line's columns. A title in code page 932 is its own layout: a byte
// is a column. A title in UTF-8 (platform/TitleEncoding.h) gets a stand-in of the same kind: a
// character that is double-byte in code page 932, and a wide one that code page 932 lacks (Hangul),
// takes a lead and a trail column, any other character one, so the rules that count bytes work
// unchanged on it.
class TitleColumns {
public:
    explicit TitleColumns(const std::string &title);

    // The layout, to measure and to test with IsTrailByte; a code page 932 title's own bytes.
    const std::string &layout() const { return m_layout; }
    // The title shown by `count` columns from `from` (counted from 0), in the title's own form.
    std::string shown(std::size_t from, std::size_t count) const;
    // This title, the separator " >> " and this title again: what the marquee scrolls through.
    TitleColumns scrolled() const;

private:
    TitleColumns() = default;
    void append(char32_t character, std::string utf8);

    bool m_utf8 = false;
    std::string m_layout;
    // For a title in UTF-8: the UTF-8 of the character that begins at each column; empty for a
    // trail column.
    std::vector<std::string> m_characters;
};

// The head of a title as the title line shows it: its first 28 columns, or 27 when column 29 is a
// trail column; the whole title when shorter than 29 columns.
std::string titleHead(const std::string &s);

// True when the title line's text begins with the marquee's stop mark ">>".
bool beginsWithStopMark(const std::string &shown);

// The windows that one undisturbed scroll of `s` shows, in order (empty for titles under 28 columns).
std::vector<std::string> marqueeWindows(const std::string &s);
