#pragma once

#include "platform/CdDrive.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A cue sheet as rippers write it: FILE lines naming the audio (one for the disc or one per track),
// TRACK lines with their INDEX, PREGAP and POSTGAP, and the disc's and tracks' TITLE lines. The
// sheet may be UTF-8 (with or without a byte-order mark) or code page 932; texts come out as UTF-8.
// CATALOG, ISRC and FLAGS PRE and DCP are kept; REM, other FLAGS, PERFORMER, SONGWRITER and unknown lines are read past.
struct CueSheet {
    static constexpr int kMaxBytes = 256 * 1024; // far above any real sheet (99 tracks)

    struct File {
        std::string name;      // the name as written, in the sheet's own encoding
        std::string otherName; // the same name in the other encoding, or empty when it is the same
        std::string type;      // upper case: BINARY, MOTOROLA, WAVE, FLAC, AIFF, APE, ...
        bool raw() const { return type == "BINARY" || type == "MOTOROLA"; }
    };
    struct Track {
        int number = 0;
        std::string mode; // upper case: AUDIO, MODE1/2352, ...
        int file = 0;     // index into files
        int index0 = -1;  // sector of INDEX 00 in the file, or -1
        int index1 = -1;  // sector of INDEX 01 in the file
        int gapFile = -1;  // the earlier file that holds INDEX 00 when INDEX 01 is in a later one, or -1
        int gapIndex = -1; // sector of that INDEX 00 in gapFile
        int pregap = 0;   // sectors of silence that the sheet adds before INDEX 01
        int postgap = 0;  // sectors of silence that the sheet adds after the track
        std::string title;
        bool preemphasis = false; // FLAGS PRE: mastered with pre-emphasis
        bool copyPermitted = false; // FLAGS DCP: digital copy permitted
        std::string isrc;           // as written, unchecked
        bool audio() const { return mode == "AUDIO"; }
        // Bytes per sector in a raw file.
        int sectorBytes() const;
        // Where the track's part of its file begins: INDEX 00 when given, else INDEX 01.
        int firstIndex() const { return index0 >= 0 ? index0 : index1; }
    };

    bool utf8 = false; // the sheet's text is UTF-8; otherwise code page 932
    std::string title; // the disc's
    std::string catalog; // CATALOG as written, unchecked
    std::vector<File> files;
    std::vector<Track> tracks;

    // Reads a sheet; on failure returns nothing and a reason for the user that names the line.
    static std::optional<CueSheet> parse(std::string_view bytes, std::string &reason);
};

// Where each sector of a rip comes from, once the length of every file is known.
struct RipLayout {
    struct Span {
        int start = 0;           // first sector
        int sectors = 0;
        int file = -1;           // index into the sheet's files, or -1 for silence
        long long fileSector = 0; // decoded files: sector in the file where the span starts
        long long fileByte = 0;   // raw files: byte in the file where the span starts
    };
    // A file's extent: bytes for a raw file, whole sectors (rounded up) for a decoded one.
    struct Extent {
        long long bytes = 0;
        long long sectors = 0;
    };

    TableOfContents toc;
    std::vector<Span> spans; // in order, without gaps, from sector 0 to the lead-out

    // The table of contents a drive would give for the disc: track starts at INDEX 01, the files
    // one after the other with the sheet's PREGAP and POSTGAP silence between, the lead-out after
    // the last sample. Fails with a reason when an INDEX lies outside its file or goes backwards.
    static std::optional<RipLayout> build(const CueSheet &sheet, const std::vector<Extent> &extents,
                                          std::string &reason);
    // The span that holds `sector`.
    const Span &spanAt(int sector) const;
};

} // namespace platform
