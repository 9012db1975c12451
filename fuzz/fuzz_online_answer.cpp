// Answers of the MusicBrainz web service: the bytes the network gives, read into the releases
// the choice window offers.
//
// Input: one byte that chooses the match (its low bit: a fuzzy TOC look-up rather than the
// disc-ID one; the rest: the disc's number of tracks), then the answer's bytes. Reading never
// fails other than by giving nothing; what is offered is at most the most offered, official and
// Japanese releases first, no romanised pseudo-release beside an official Japanese one, and
// offering it once more changes nothing.
#include "fuzz/FuzzSupport.h"
#include "online/Releases.h"

#include <QByteArray>

#include <algorithm>

namespace {

constexpr std::size_t kMaxInput = 256 * 1024;

bool official(const online::Release &r) { return r.status == QLatin1String("Official"); }
bool japanese(const online::Release &r) { return r.script == QLatin1String("Jpan"); }
int rank(const online::Release &r) { return (official(r) ? 0 : 2) + (japanese(r) ? 0 : 1); }

QStringList titlesOf(const std::vector<online::Release> &releases) {
    QStringList titles;
    for (const online::Release &r : releases) titles << r.id + QLatin1Char('\n') + r.title;
    return titles;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size < 1 || size > kMaxInput) return -1;
    const bool fuzzy = (data[0] & 1) != 0;
    const online::DiscMatch match{fuzzy ? QString() : QStringLiteral("cHW1Uutl_kyWNaLJsLmTGTe4rnE-"), data[0] >> 1};
    const QByteArray answer(reinterpret_cast<const char *>(data + 1), static_cast<qsizetype>(size - 1));

    const std::optional<std::vector<online::Release>> offered = online::readAnswer(answer, match);
    if (!offered) return 0;
    FUZZ_CHECK(offered->size() <= online::kMostReleasesOffered);
    FUZZ_CHECK(std::is_sorted(offered->begin(), offered->end(),
                              [](const online::Release &a, const online::Release &b) { return rank(a) < rank(b); }));
    const bool officialJapanese =
        std::any_of(offered->begin(), offered->end(), [](const online::Release &r) { return official(r) && japanese(r); });
    if (officialJapanese)
        FUZZ_CHECK(std::none_of(offered->begin(), offered->end(), [](const online::Release &r) {
            return r.status == QLatin1String("Pseudo-Release") && r.script == QLatin1String("Latn");
        }));
    FUZZ_CHECK(titlesOf(online::releasesToOffer(*offered)) == titlesOf(*offered));
    return 0;
}
