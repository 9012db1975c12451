#pragma once

#include "save/DiscSaver.h"

#include <memory>
#include <string>

namespace save {

// The source a save reads and what it knows of the disc.
struct OpenedSource {
    std::shared_ptr<platform::SectorSource> source;
    DiscLayout layout;
    QString device; // the device node when the source is a CD drive
};

// Opens what `options` name and reads the disc's layout: a drive through libcdio-paranoia, images
// and rips through the sources that play them. Blocks (a drive spins up, a rip's files are
// measured): a worker thread only. Null source and a reason for the user when there is no disc to save.
OpenedSource openSource(const SaveOptions &options, QString &reason);

} // namespace save
