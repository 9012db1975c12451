#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// The front cover of the loaded disc, for the desktop's media controls. When the user takes titles
// from a release, its MusicBrainz ID is remembered for the disc (by disc ID, in the file
// "releases" of $XDG_CACHE_HOME/cd-tunewick32/), and its cover is fetched once through the title
// look-up and kept in the same folder; later runs publish the kept file without a request, and
// fetch it again only when it is gone. Nothing is fetched while the look-up is off. A cover is
// checked away from the window's thread (coverImageExtension), and one that fails the check or
// takes over two seconds is never kept nor published. Files in the folder are written without
// following links, and an index that cannot be read whole is left as it is and said once a run.
// UI thread only.

// A disc was loaded: publishes the kept cover of its release, or fetches it when it is missing.
void showCoverOfLoadedDisc();
// The user saved titles taken from the release `releaseId` for the loaded disc.
void rememberReleaseOfLoadedDisc(const QString &releaseId);
// Drops the fetch under way: the look-up was switched off.
void stopFetchingCover();
// The file:// URL of the loaded disc's cover; empty when there is none.
QString coverArtUrl();
// Where the releases and covers are kept.
QString coverCacheFolder();
// Whether a cover that came is being checked.
bool coverBeingChecked();
// What checks a cover that came, on a worker thread: the extension to keep it under, or nothing
// to refuse it. coverImageExtension unless a test sets another; none restores it.
using CoverCheck = std::function<std::optional<const char *>(const QByteArray &image)>;
void setCoverCheck(CoverCheck check);
// The release remembered for the disc with MusicBrainz disc ID `discId`; empty when none. Reads
// the cache only: any thread.
QString rememberedRelease(const QString &discId);
// The kept cover of release `releaseId` (a JPEG or PNG file that decodes); empty when none. Any thread.
QString keptCoverFile(const QString &releaseId);
