#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// libcdio opens the files that a cdrdao .toc names relative to the current folder, which a file
// manager, the file dialog or a drop never choose. A .toc with relative names is therefore read
// through a private copy whose names are absolute: found in the sheet's own folder first, then in
// the current folder (as cdrdao itself would), else left in the sheet's folder, where libcdio then
// says it is missing.

// `toc` with the name of every FILE, AUDIOFILE and DATAFILE statement given to `resolve` and
// replaced by what it returns; strings elsewhere (CD-Text), comments and every other byte stay.
// A name that `resolve` returns unchanged, or that could not be written back, is left as it was.
std::string withFileNamesResolved(const std::string &toc,
                                  const std::function<std::string(const std::string &)> &resolve);

// For each TRACK statement of `toc`, in order, whether the track has a START statement: its data
// begins with a pregap that ends where START says. Comments and strings (CD-Text) are skipped.
std::vector<bool> tracksWithStart(const std::string &toc);
// The same for the .toc at `path`; empty when it cannot be read.
std::vector<bool> tracksWithStartOf(const std::string &path);

// Where the last track's audio comes from: the file its FILE or AUDIOFILE statement names, the
// sector of that file where the track's data begins, and whether it runs to the file's end (no
// length given, or a length of 0).
struct TrackFile {
    std::string name;
    int offset = 0;
    bool toEnd = false;
};
// The last TRACK's file in `toc`; nothing when it has none or its start is a byte offset or not a
// whole sector. Comments and strings are skipped as above.
std::optional<TrackFile> lastTrackFile(const std::string &toc);
// The same for the .toc at `path`; nothing when it cannot be read.
std::optional<TrackFile> lastTrackFileOf(const std::string &path);

// Whether the file at `path` is larger than any real .toc (99 tracks with CD-Text take a few kB).
// Such a file is refused rather than read whole into memory, or read by libcdio alone: the scans
// above would then be missing and the disc laid out wrongly.
bool isLargerThanAToc(const std::string &path);

// A copy of a .toc in a private temporary file, removed with this object.
class TocCopy {
public:
    // The path to give libcdio for the .toc at `path`: the sheet itself when all its names are
    // absolute (or it cannot be read: libcdio then says so), else a copy with absolute names.
    static std::shared_ptr<TocCopy> of(const std::string &path);
    ~TocCopy();
    TocCopy(const TocCopy &) = delete;
    TocCopy &operator=(const TocCopy &) = delete;

    const std::string &path() const { return m_path; }

private:
    TocCopy(std::string path, bool owned) : m_path(std::move(path)), m_owned(owned) {}
    std::string m_path;
    bool m_owned;
};

} // namespace platform
