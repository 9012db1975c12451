#include "save/AccurateRipCheck.h"

#include <QCoreApplication>

namespace save {

namespace {

const char *const kNotAsked = QT_TRANSLATE_NOOP("AccurateRip", "AccurateRip: 照会していません");
const char *const kWaiting = QT_TRANSLATE_NOOP("AccurateRip", "AccurateRip: %1 の応答を待っています");
const char *const kAnswered = QT_TRANSLATE_NOOP("AccurateRip", "AccurateRip: %1 (応答 %2 件)");
const char *const kNotInDatabase =
    QT_TRANSLATE_NOOP("AccurateRip", "AccurateRip: %1 はデータベースにありません");
const char *const kUnreadable = QT_TRANSLATE_NOOP("AccurateRip", "AccurateRip: %1 の応答を読めません");
const char *const kNoAnswer = QT_TRANSLATE_NOOP("AccurateRip", "AccurateRip: %1 (%2)");

QString tr(const char *text) {
    return QCoreApplication::translate("AccurateRip", text);
}

} // namespace

void AccurateRipCheck::start(online::TitleLookup *lookup, const platform::TableOfContents &toc,
                             std::function<void()> ready) {
    m_toc = toc;
    m_ids = accurateRipIds(toc);
    m_responses.clear();
    m_ready = std::move(ready);
    m_asking.reset();
    if (!lookup || !m_ids) {
        m_outcome = Outcome::NotAsked;
        if (m_ready) m_ready();
        return;
    }
    m_outcome = Outcome::Waiting;
    m_asking = std::make_shared<int>();
    lookup->fetchAccurateRip(accurateRipPath(*m_ids), [this, asking = std::weak_ptr<int>(m_asking)](
                                                          const online::AccurateRipAnswer &answer) {
        if (asking.lock()) answered(answer);
    });
}

void AccurateRipCheck::answered(const online::AccurateRipAnswer &answer) {
    m_note = answer.note;
    if (answer.outcome == online::AccurateRipAnswer::NotInDatabase) {
        m_outcome = Outcome::NotInDatabase;
    } else if (answer.outcome == online::AccurateRipAnswer::NoAnswer) {
        m_outcome = Outcome::NoAnswer;
    } else {
        const auto *bytes = reinterpret_cast<const uint8_t *>(answer.body.constData());
        auto responses = readAccurateRipAnswer({bytes, size_t(answer.body.size())}, *m_ids);
        m_outcome = responses ? Outcome::Answered : Outcome::Unreadable;
        if (responses) m_responses = std::move(*responses);
    }
    if (m_ready) m_ready();
}

QString AccurateRipCheck::summary() const {
    const QString name = m_ids ? accurateRipPath(*m_ids).section(QLatin1Char('/'), -1) : QString();
    switch (m_outcome) {
    case Outcome::NotAsked:
        return tr(kNotAsked);
    case Outcome::Waiting:
        return tr(kWaiting).arg(name);
    case Outcome::Answered:
        return tr(kAnswered).arg(name).arg(m_responses.size());
    case Outcome::NotInDatabase:
        return tr(kNotInDatabase).arg(name);
    case Outcome::Unreadable:
        return tr(kUnreadable).arg(name);
    case Outcome::NoAnswer:
        break;
    }
    return tr(kNoAnswer).arg(name, m_note);
}

AccurateRipVerdict AccurateRipCheck::verdict(int track, uint32_t v1, uint32_t v2) const {
    switch (m_outcome) {
    case Outcome::Answered:
        return accurateRipVerdict(m_responses, accurateRipIndex(m_toc, track), v1, v2);
    case Outcome::NotInDatabase:
        return {AccurateRipVerdict::NotInDatabase, 0};
    case Outcome::Unreadable:
        return {AccurateRipVerdict::Unreadable, 0};
    default:
        return {AccurateRipVerdict::NotChecked, 0};
    }
}

} // namespace save
