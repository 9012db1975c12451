#pragma once

#include "save/DiscSaver.h"

#include <QDateTime>

namespace save {

// Where each file of a save goes and what it is called. Pure.
struct SavePlan {
    struct Track {
        TrackSpan span;
        QString title;       // TITLE, or a stand-in such as "Track 03" for the file's name
        bool titled = false; // the title is the disc's or the caller's, not a stand-in
        QString fileName;    // "NN title.flac", in albumFolder
    };
    QString discTitle; // the disc's title, or a stand-in for the folder's name
    bool discTitled = false;
    QString albumFolder;         // FOLDER/<album artist>/<disc title>
    std::vector<Track> tracks;   // the hidden track (when there is a pregap to look at) first
    std::vector<int> dataTracks; // left out
    QString cueName;
    QString logName;

    static SavePlan make(const DiscLayout &disc, const SaveMetadata &metadata, const QString &folder);
    // The sectors before the first track that may hold hidden audio; 0 when there are none to read.
    static int hiddenSectors(const DiscLayout &disc);
};

// The Vorbis comments of one track's file.
std::vector<std::pair<QString, QString>> trackTags(const SavePlan &plan, const SavePlan::Track &track,
                                                   const DiscLayout &disc, const SaveMetadata &metadata);

// The cue sheet that describes the disc with the saved files: gaps at the end of the file before,
// the hidden track (when written) as track 1's INDEX 00, silence before track 1 as PREGAP.
QByteArray cueSheet(const SavePlan &plan, const DiscLayout &disc, const SaveMetadata &metadata,
                    bool hiddenWritten);

// What the log needs beyond the results.
struct LogFacts {
    QDateTime when;
    QStringList discLines; // from the check
    QStringList notes;     // the pregap, data tracks, anything said once for the disc
    QString resultLine;
};
QByteArray saveLog(const SavePlan &plan, const DiscLayout &disc, const SaveMetadata &metadata,
                   const std::vector<TrackResult> &tracks, const LogFacts &facts);

// "mm:ss:ff" as a cue sheet writes a position in sectors.
QString cueTime(int sectors);

} // namespace save
