#include "online/ModuleLookup.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace online {

namespace {

using MakeLookup = TitleLookup *(*)();

const char *const kModuleMissing = QT_TRANSLATE_NOOP("online", "タイトル検索の部品 cd-tunewick32-online.so を読み込めませんでした");

// The module is loaded once and never unloaded: the look-up it made lives until the program ends.
MakeLookup loadModule() {
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/cd-tunewick32-online.so");
    for (const QString &path :
         {beside, QStringLiteral(TUNEWICK_ONLINE_INSTALLED), QStringLiteral(TUNEWICK_ONLINE_BUILT)}) {
        if (!QFileInfo(path).isReadable()) continue;
        void *module = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!module) continue;
        if (auto make = reinterpret_cast<MakeLookup>(dlsym(module, "tunewickMakeTitleLookup"))) return make;
    }
    return nullptr;
}

class ModuleLookup : public TitleLookup {
public:
    void start(const platform::TableOfContents &toc, Done done) override {
        if (TitleLookup *lookup = loaded()) return lookup->start(toc, std::move(done));
        if (done) done({{}, QCoreApplication::translate("online", kModuleMissing)});
    }
    void cancel() override {
        if (m_lookup) m_lookup->cancel();
    }
    void fetchCover(const QString &releaseId, CoverDone done) override {
        if (TitleLookup *lookup = loaded()) return lookup->fetchCover(releaseId, std::move(done));
        if (done) done({});
    }
    void fetchAccurateRip(const QString &path, AccurateRipDone done) override {
        if (TitleLookup *lookup = loaded()) return lookup->fetchAccurateRip(path, std::move(done));
        if (done) done({AccurateRipAnswer::NoAnswer, {}, QCoreApplication::translate("online", kModuleMissing)});
    }
    void fetchReleaseDetails(const QString &releaseId, const QString &discId, int trackCount,
                             DetailsDone done) override {
        if (TitleLookup *lookup = loaded())
            return lookup->fetchReleaseDetails(releaseId, discId, trackCount, std::move(done));
        if (done) done(std::nullopt, QCoreApplication::translate("online", kModuleMissing));
    }

private:
    TitleLookup *loaded() {
        if (!m_lookup && !m_tried) {
            m_tried = true;
            if (MakeLookup make = loadModule()) m_lookup.reset(make());
        }
        return m_lookup.get();
    }

    std::unique_ptr<TitleLookup> m_lookup;
    bool m_tried = false;
};

}  // namespace

std::unique_ptr<TitleLookup> makeMusicBrainzLookup() { return std::make_unique<ModuleLookup>(); }

}  // namespace online
