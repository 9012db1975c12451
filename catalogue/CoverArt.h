#pragma once

#include <QString>

// The front cover of the loaded disc, for the desktop's media controls. When the user takes titles
// from a release, its MusicBrainz ID is remembered for the disc (by disc ID, in the file
// "releases" of $XDG_CACHE_HOME/cd-tunewick32/), and its cover is fetched once through the title
// look-up and kept in the same folder; later runs publish the kept file without a request, and
// fetch it again only when it is gone. Nothing is fetched while the look-up is off, and an image
// that does not decode is never kept. UI thread only.

// A disc was loaded: publishes the kept cover of its release, or fetches it when it is missing.
void showCoverOfLoadedDisc();
// The user took titles from the release `releaseId` for the loaded disc.
void rememberReleaseOfLoadedDisc(const QString &releaseId);
// Drops the fetch under way: the look-up was switched off.
void stopFetchingCover();
// The file:// URL of the loaded disc's cover; empty when there is none.
QString coverArtUrl();
// Where the releases and covers are kept.
QString coverCacheFolder();
// The release remembered for the disc with MusicBrainz disc ID `discId`; empty when none. Reads
// the cache only: any thread.
QString rememberedRelease(const QString &discId);
// The kept cover of release `releaseId` (a JPEG or PNG file that decodes); empty when none. Any thread.
QString keptCoverFile(const QString &releaseId);
