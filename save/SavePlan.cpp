#include "save/SavePlan.h"

#include <QDir>
#include <QFileInfo>

namespace save {

namespace {

constexpr int kNameBytes = 255; // NAME_MAX of the file systems the save writes to

QString orDefault(const QString &value, const std::string &fallback) {
    return !value.trimmed().isEmpty() ? value.trimmed() : QString::fromStdString(fallback).trimmed();
}

QString at(const QStringList &list, int i) {
    return i >= 0 && i < list.size() ? list[i].trimmed() : QString();
}

QString twoDigits(int number) {
    return QString::number(number).rightJustified(2, '0');
}

// A text for a cue sheet's quoted field: a double quote would end the field early.
QString quoted(QString text) {
    return '"' + text.replace('"', '\'').replace('\n', ' ').replace('\r', ' ') + '"';
}

QString msf(int sectors) {
    const int frames = sectors % 75, seconds = sectors / 75;
    return QString("%1:%2.%3").arg(twoDigits(seconds / 60), twoDigits(seconds % 60), twoDigits(frames));
}

// Consecutive sectors as runs [from, to].
std::vector<std::pair<int, int>> runsOf(const std::vector<int> &sectors) {
    std::vector<std::pair<int, int>> runs;
    for (const int sector : sectors) {
        if (!runs.empty() && runs.back().second + 1 == sector)
            runs.back().second = sector;
        else
            runs.emplace_back(sector, sector);
    }
    return runs;
}

// "05:20.12 (sector 24012, 00:03.12 into the track)", or the same for a run of sectors.
QString sectorRun(int from, int to, int trackStart) {
    if (from == to)
        return DiscSaver::tr("%1 (セクタ %2, トラック内 %3)")
            .arg(msf(from))
            .arg(from)
            .arg(msf(from - trackStart));
    return DiscSaver::tr("%1 - %2 (セクタ %3 - %4, トラック内 %5)")
        .arg(msf(from), msf(to))
        .arg(from)
        .arg(to)
        .arg(msf(from - trackStart));
}

QString hex(uint32_t value) {
    return QString::number(value, 16).toUpper().rightJustified(8, '0');
}

} // namespace

QString safeFileName(const QString &name, int maxBytes) {
    QString safe;
    for (const QChar c : name) {
        // The player's sheet reader takes a backslash for a folder separator as well.
        if (c == '/' || c == '\\' || c == '"' || c.unicode() < 0x20 || c.unicode() == 0x7F)
            safe += '_';
        else
            safe += c;
    }
    safe = safe.trimmed();
    while (safe.startsWith('.'))
        safe.remove(0, 1);
    if (safe.isEmpty()) safe = "_";
    // Trim whole characters (a surrogate pair is one) until the UTF-8 fits.
    while (safe.toUtf8().size() > maxBytes) {
        safe.chop(safe.size() >= 2 && safe.back().isLowSurrogate() ? 2 : 1);
    }
    return safe.trimmed().isEmpty() ? "_" : safe.trimmed();
}

QString cueTime(int sectors) {
    return QString("%1:%2:%3")
        .arg(twoDigits(sectors / 75 / 60), twoDigits(sectors / 75 % 60), twoDigits(sectors % 75));
}

QString coverFileName(const QString &coverPath) {
    return coverPath.endsWith(".png", Qt::CaseInsensitive) ? "cover.png" : "cover.jpg";
}

int SavePlan::hiddenSectors(const DiscLayout &disc) {
    const platform::TableOfContents &toc = disc.toc;
    if (toc.trackCount() == 0 || toc.isData(toc.firstTrack)) return 0;
    return std::max(0, toc.startOf(toc.firstTrack));
}

SavePlan SavePlan::make(const DiscLayout &disc, const SaveMetadata &metadata, const QString &folder) {
    const platform::TableOfContents &toc = disc.toc;
    SavePlan plan;
    plan.discTitle = orDefault(metadata.discTitle, toc.text.title);
    plan.discTitled = !plan.discTitle.isEmpty();
    if (!plan.discTitled) plan.discTitle = DiscSaver::tr("不明なディスク");
    QDir album(folder);
    if (!metadata.albumArtist.trimmed().isEmpty())
        album.setPath(album.filePath(safeFileName(metadata.albumArtist)));
    plan.albumFolder = QDir::cleanPath(album.filePath(safeFileName(plan.discTitle)));
    const QString base = safeFileName(plan.discTitle, kNameBytes - 4);
    plan.cueName = base + ".cue";
    plan.logName = base + ".log";

    if (const int hidden = hiddenSectors(disc); hidden > 0) {
        Track track{{0, 0, hidden, false, false},
                    DiscSaver::tr("%1 (隠しトラック)").arg(plan.discTitle),
                    plan.discTitled,
                    {}};
        track.fileName = safeFileName("00 " + track.title, kNameBytes - 5) + ".flac";
        plan.tracks.push_back(track);
    }
    const int lastAudio = toc.lastAudioTrack();
    bool first = true;
    for (int number = toc.firstTrack; number <= toc.lastTrack; ++number) {
        if (toc.isData(number)) {
            plan.dataTracks.push_back(number);
            continue;
        }
        const size_t i = static_cast<size_t>(number - toc.firstTrack);
        const int start = toc.startOf(number);
        const int end = std::min(toc.endOf(number), toc.audioEndFrom(number));
        QString title = orDefault(at(metadata.trackTitles, static_cast<int>(i)),
                                  i < toc.text.trackTitles.size() ? toc.text.trackTitles[i] : std::string());
        const bool titled = !title.isEmpty();
        if (!titled) title = DiscSaver::tr("トラック %1").arg(twoDigits(number));
        Track track{{number, start, end - start, first, number == lastAudio}, title, titled, {}};
        track.fileName = safeFileName(twoDigits(number) + ' ' + title, kNameBytes - 5) + ".flac";
        plan.tracks.push_back(track);
        first = false;
    }
    return plan;
}

std::vector<std::pair<QString, QString>> trackTags(const SavePlan &plan, const SavePlan::Track &track,
                                                   const DiscLayout &disc, const SaveMetadata &metadata) {
    std::vector<std::pair<QString, QString>> tags;
    auto add = [&tags](const char *name, const QString &value) {
        if (!value.trimmed().isEmpty()) tags.emplace_back(name, value.trimmed());
    };
    const int index = track.span.track - disc.toc.firstTrack;
    if (track.titled) add("TITLE", track.title);
    if (plan.discTitled) add("ALBUM", plan.discTitle);
    add("TRACKNUMBER", QString::number(track.span.track));
    add("TRACKTOTAL", QString::number(disc.toc.lastAudioTrack()));
    const QString artist = at(metadata.trackArtists, index);
    add("ARTIST", artist.isEmpty() ? metadata.artist : artist);
    add("ALBUMARTIST", metadata.albumArtist);
    add("DATE", metadata.date);
    if (track.span.track > 0 && static_cast<size_t>(index) < disc.isrc.size())
        add("ISRC", QString::fromStdString(disc.isrc[static_cast<size_t>(index)]));
    add("MUSICBRAINZ_ALBUMID", metadata.musicBrainzAlbumId);
    if (track.span.track > 0) add("MUSICBRAINZ_TRACKID", at(metadata.musicBrainzTrackIds, index));
    if (!metadata.musicBrainzAlbumId.isEmpty()) add("MUSICBRAINZ_DISCID", disc.musicBrainzDiscId);
    return tags;
}

QByteArray cueSheet(const SavePlan &plan, const DiscLayout &disc, const SaveMetadata &metadata,
                    bool hiddenWritten) {
    const platform::TableOfContents &toc = disc.toc;
    QStringList lines;
    lines << QString("REM COMMENT \"CD-Tunewick32 %1\"").arg(TUNEWICK_VERSION);
    if (disc.catalog.size() == 13) lines << "CATALOG " + QString::fromStdString(disc.catalog);
    if (!metadata.albumArtist.trimmed().isEmpty())
        lines << "PERFORMER " + quoted(metadata.albumArtist.trimmed());
    if (plan.discTitled) lines << "TITLE " + quoted(plan.discTitle);
    auto trackHead = [&](const SavePlan::Track &track) {
        const size_t i = static_cast<size_t>(track.span.track - toc.firstTrack);
        lines << QString("  TRACK %1 AUDIO").arg(twoDigits(track.span.track));
        QStringList flags;
        if (toc.hasPreemphasis(track.span.track)) flags << "PRE";
        if (i < disc.copyPermitted.size() && disc.copyPermitted[i]) flags << "DCP";
        if (!flags.isEmpty()) lines << "    FLAGS " + flags.join(' ');
        if (track.titled) lines << "    TITLE " + quoted(track.title);
        if (i < disc.isrc.size() && disc.isrc[i].size() == 12)
            lines << "    ISRC " + QString::fromStdString(disc.isrc[i]);
    };
    // A data track before an audio track keeps its place and length, so that the sheet lays the
    // disc out as it was (the same disc ID and catalogue file): an empty track followed by silence
    // (POSTGAP), at the start of the next audio track's file. No file holds its sectors.
    auto dataTracksBefore = [&](const SavePlan::Track &track, const SavePlan::Track *previous) {
        bool any = false;
        for (int number = previous ? previous->span.track + 1 : toc.firstTrack; number < track.span.track;
             ++number) {
            if (!toc.isData(number)) continue;
            if (!any) lines << "FILE " + quoted(track.fileName) + " WAVE";
            any = true;
            lines << QString("  TRACK %1 MODE1/2352").arg(twoDigits(number));
            if (number == toc.firstTrack && toc.startOf(number) > 0)
                lines << "    PREGAP " + cueTime(toc.startOf(number));
            lines << "    INDEX 01 00:00:00"
                  << "    POSTGAP " + cueTime(toc.endOf(number) - toc.startOf(number));
        }
        return any;
    };
    const SavePlan::Track *previous = nullptr;
    for (const SavePlan::Track &track : plan.tracks) {
        if (track.span.track == 0) {
            if (hiddenWritten) lines << "FILE " + quoted(track.fileName) + " WAVE";
            continue;
        }
        if (dataTracksBefore(track, previous)) {
            trackHead(track);
            lines << "    INDEX 01 00:00:00";
            previous = &track;
            continue;
        }
        const int gap = disc.gapOf(track.span.track);
        bool headWritten = true;
        if (track.span.firstOnDisc && hiddenWritten) {
            trackHead(track);
            lines << "    INDEX 00 00:00:00";
        } else if (previous && gap > 0 && gap < previous->span.sectors) {
            trackHead(track);
            lines << "    INDEX 00 " + cueTime(previous->span.sectors - gap);
        } else {
            headWritten = false;
        }
        lines << "FILE " + quoted(track.fileName) + " WAVE";
        if (!headWritten) {
            trackHead(track);
            if (track.span.firstOnDisc && track.span.firstSector > 0)
                lines << "    PREGAP " + cueTime(track.span.firstSector);
        }
        lines << "    INDEX 01 00:00:00";
        previous = &track;
    }
    return (lines.join("\n") + "\n").toUtf8();
}

QByteArray saveLog(const SavePlan &plan, const DiscLayout &disc, const SaveMetadata &metadata,
                   const std::vector<TrackResult> &tracks, const LogFacts &facts) {
    QStringList lines;
    lines << DiscSaver::tr("CD-Tunewick32 %1 ディスク保存の記録").arg(TUNEWICK_VERSION);
    lines << DiscSaver::tr("日時: %1").arg(facts.when.toString(Qt::ISODate));
    QString source = disc.sourceName;
    if (disc.drive) {
        const QString model = QStringList{disc.driveVendor, disc.driveModel}.join(' ').trimmed();
        source += DiscSaver::tr(" (ドライブ: %1, 読み取りオフセット %2 サンプル)")
                      .arg(model.isEmpty() ? "?" : model)
                      .arg(disc.readOffset);
    }
    lines << DiscSaver::tr("読み取り元: %1").arg(source);
    lines << DiscSaver::tr("ディスク: %1").arg(plan.discTitle);
    if (!metadata.albumArtist.isEmpty())
        lines << DiscSaver::tr("アルバムアーティスト: %1").arg(metadata.albumArtist);
    if (!disc.musicBrainzDiscId.isEmpty())
        lines << DiscSaver::tr("MusicBrainz ディスク ID: %1").arg(disc.musicBrainzDiscId);
    lines << DiscSaver::tr("保存先: %1").arg(plan.albumFolder);
    lines << facts.discLines << facts.notes << QString();
    for (const TrackResult &result : tracks) {
        const TrackSpan &span = result.span;
        lines << (span.track == 0 ? DiscSaver::tr("隠しトラック")
                                  : DiscSaver::tr("トラック %1").arg(twoDigits(span.track)));
        if (!result.file.isEmpty())
            lines << DiscSaver::tr("  ファイル: %1").arg(QFileInfo(result.file).fileName());
        lines << DiscSaver::tr("  開始: %1 (セクタ %2)  長さ: %3 (%4 セクタ)")
                     .arg(msf(span.firstSector))
                     .arg(span.firstSector)
                     .arg(msf(span.sectors))
                     .arg(span.sectors);
        // A gap in a data track before is in no file: that track is left out.
        const bool inData = disc.toc.hasTrack(span.track - 1) && disc.toc.isData(span.track - 1);
        if (const int gap = span.firstOnDisc ? 0 : disc.gapOf(span.track); gap > 0)
            lines << (inData ? DiscSaver::tr("  ギャップ: %1 (データトラックの中にあるので保存しません)")
                             : DiscSaver::tr("  ギャップ: %1 (前のファイルの終わりに保存)"))
                         .arg(msf(gap));
        const bool skipped = result.state == TrackState::Skipped; // a data track: nothing was read
        if (!skipped) lines << DiscSaver::tr("  コピー CRC32: %1").arg(hex(result.crc));
        if (disc.drive && !skipped) {
            lines << DiscSaver::tr("  テスト CRC32: %1").arg(hex(result.testCrc));
            if (result.rereads > 0) lines << DiscSaver::tr("  読み直し: %1 回").arg(result.rereads);
        }
        for (const auto &[from, to] : runsOf(result.rereadSectors))
            lines << DiscSaver::tr("  読み直したセクタ: %1").arg(sectorRun(from, to, span.firstSector));
        for (const auto &[from, to] : runsOf(result.badSectors))
            lines << DiscSaver::tr("  読めないセクタ: %1").arg(sectorRun(from, to, span.firstSector));
        lines << result.note.logLines;
        QString state = result.state == TrackState::Written ? DiscSaver::tr("正しく保存しました")
                        : result.state == TrackState::Unreadable ? DiscSaver::tr("読めないセクタがあります")
                        : skipped ? DiscSaver::tr("データトラックなので保存しません")
                                  : DiscSaver::tr("保存できませんでした");
        if (!result.note.verdict.isEmpty()) state += ", " + result.note.verdict;
        lines << DiscSaver::tr("  結果: %1").arg(state) << QString();
    }
    lines << facts.resultLine;
    return (lines.join("\n") + "\n").toUtf8();
}

} // namespace save
