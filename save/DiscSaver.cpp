#include "save/DiscSaver.h"

namespace save {

int DiscLayout::gapOf(int track) const {
    if (!toc.hasTrack(track)) return 0;
    const int first = index0.at(static_cast<size_t>(track - toc.firstTrack));
    return first >= 0 ? toc.startOf(track) - first : 0;
}

int DiscLayout::firstPregap() const {
    return toc.trackCount() > 0 ? std::max(0, toc.startOf(toc.firstTrack)) : 0;
}

DiscSaver::DiscSaver(QObject *parent) : QObject(parent) {}

DiscSaver::~DiscSaver() = default;

void DiscSaver::setCheck(std::shared_ptr<SaveCheck> check) { m_check = std::move(check); }

bool DiscSaver::start(const SaveOptions &) { return false; }

void DiscSaver::cancel() {}

bool DiscSaver::running() const { return false; }

QStringList DiscSaver::plannedFiles(const DiscLayout &, const SaveMetadata &, const QString &) { return {}; }

QStringList DiscSaver::existingFiles(const DiscLayout &, const SaveMetadata &, const QString &) { return {}; }

QString DiscSaver::deviceInUse() { return {}; }

QString safeFileName(const QString &name, int) { return name; }

} // namespace save
