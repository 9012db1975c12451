#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Catalogue files: one per disc, named by the disc's length value, holding lines that end in CR LF:
// line 1 the disc title, line 1 + k the title of track k. A file is code page 932, its lines kept as
// bytes and never converted; only when a title does not fit code page 932 is the file written in
// UTF-8 behind the UTF-8 byte-order mark, and a file that starts with the mark is read as UTF-8.
// Titles in memory are in the form of platform/TitleEncoding.h.
namespace catalogue {

// "<decimal length value>.CDL"; the value is the packed MSF length of the whole disc, frames included.
QString fileNameForLength(uint32_t discLength);
// The folder of the catalogue files: $XDG_DATA_HOME/cd-tunewick32 (default ~/.local/share/cd-tunewick32).
QString catalogueFolder();

// Splits file contents into lines: CR ends a line and one LF right after it belongs to the line
// end; a lone LF is a byte of the line; 0x1A or the end of the data ends the file. A last line
// without CR counts when it is not empty.
std::vector<std::string> splitLines(std::string_view content);
// CR LF after every line.
std::string joinLines(const std::vector<std::string> &lines);

// The titles that file contents hold: the lines of a code page 932 file as they are; those of a
// file behind the byte-order mark in UTF-8, a line with other than ASCII marked as UTF-8.
std::vector<std::string> titlesOfContent(std::string_view content);
// The contents of a file holding `titles`: code page 932, the bytes of each title as they are, when
// code page 932 holds every title exactly; otherwise the byte-order mark and every title in UTF-8,
// a UTF-8 title byte for byte and bytes of a code page 932 title that form no character as they
// are. Raises EInOutError, naming the title, when such bytes would read back as other characters.
std::string contentOfTitles(const std::vector<std::string> &titles);

// The lines of the file at `path`, or nothing when it does not exist. Raises EInOutError when it
// exists but cannot be read.
std::optional<std::vector<std::string>> readFile(const QString &path);
// Replaces the file at `path` atomically with `lines`; creates the folder when missing. Raises
// EInOutError (with the reason) when it cannot; the previous file is then left as it was and no
// temporary file remains.
void writeFile(const QString &path, const std::vector<std::string> &lines);

}  // namespace catalogue
