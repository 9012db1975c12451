#pragma once

#include <QString>

#include <optional>
#include <string_view>

namespace platform {

// Replaces the file at `path` with `bytes` in one step, creating its folder when missing: a reader,
// or a power cut at any moment, finds the old file or the new one, never a mix. The data is flushed
// and synced before the file is replaced, so that a full disk fails here and leaves the old file as
// it was. Returns nothing when the file was replaced, or why it was not.
//
// No other file in the folder is touched. A writer killed in the instant between linking its new
// file and renaming it over the old one can leave "<name>.XXXXXX" behind; that is rare and harmless,
// and a file of that shape may just as well be the user's own, so it is never removed.
std::optional<QString> replaceFileAtomically(const QString &path, std::string_view bytes);

// Replaces the file at `path` as above, but never writes through a symbolic link: the new file is
// made beside it under a fresh name that nothing can stand in for, and renamed over `path`, which
// replaces a link there with the file and leaves the link's target alone. The folder must exist.
// For the program's own files in a folder others may have prepared (a cache).
std::optional<QString> replaceFileNotFollowingLinks(const QString &path, std::string_view bytes);

}  // namespace platform
