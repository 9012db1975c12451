#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Catalogue files: one per disc, named by the disc's length value, holding code page 932 lines
// that end in CR LF: line 1 the disc title, line 1 + k the title of track k. Lines are bytes and
// are never converted here.
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

// The lines of the file at `path`, or nothing when it does not exist. Raises EInOutError when it
// exists but cannot be read.
std::optional<std::vector<std::string>> readFile(const QString &path);
// Replaces the file at `path` atomically with `lines`; creates the folder when missing. Raises
// EInOutError (with the reason) when it cannot; the previous file is then left as it was and no
// temporary file remains.
void writeFile(const QString &path, const std::vector<std::string> &lines);

}  // namespace catalogue
