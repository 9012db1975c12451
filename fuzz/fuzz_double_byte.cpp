// The double-byte text functions under arbitrary bytes.
//
// Input: a title's bytes. For every position IsTrailByte answers without throwing and agrees with a
// left-to-right walk of the characters; CopyChars never cuts a character and its pieces add up to
// the whole; titleHead and every marquee window begin and end on character boundaries. A title in
// UTF-8 (behind the byte-order mark) scrolls through whole characters, 27 or 28 columns a window.
#include "fuzz/FuzzSupport.h"
#include "platform/Cp932.h"
#include "platform/TitleEncoding.h"
#include "ui/DoubleByte.h"

#include <stdexcept>
#include <vector>

namespace {

constexpr std::size_t kMaxInput = 1024;

// Which bytes start a character, by walking from the front: a lead byte takes the next byte with it.
std::vector<bool> characterStarts(const std::string &s) {
    std::vector<bool> starts(s.size() + 1, false);
    std::size_t at = 0;
    while (at < s.size()) {
        starts[at] = true;
        at += cp932::isLeadByte(static_cast<unsigned char>(s[at])) && at + 1 < s.size() ? 2 : 1;
    }
    starts[s.size()] = true;
    return starts;
}

bool throwsIllegalIndex(const std::string &s, int i) {
    try {
        IsTrailByte(s, i);
    } catch (const std::out_of_range &) {
        return true;
    }
    return false;
}

// `piece` sits in `whole` at a character start and ends at one.
bool isWholeCharacters(const std::string &whole, const std::vector<bool> &starts, std::size_t at, std::size_t length) {
    return at + length <= whole.size() && starts[at] && starts[at + length];
}

void checkTrailBytes(const std::string &s, const std::vector<bool> &starts) {
    const int n = static_cast<int>(s.size());
    for (int i = 1; i <= n; ++i) FUZZ_CHECK(IsTrailByte(s, i) == !starts[static_cast<std::size_t>(i - 1)]);
    FUZZ_CHECK(throwsIllegalIndex(s, 0));
    FUZZ_CHECK(throwsIllegalIndex(s, n + 1));
}

void checkCopyChars(const std::string &s, const std::vector<bool> &starts, int split) {
    FUZZ_CHECK(CopyChars(s, 1, static_cast<int>(s.size()) + 1) == s);
    const std::string head = CopyChars(s, 1, split);
    const std::string tail = CopyChars(s, split + 1, static_cast<int>(s.size()) + 1);
    FUZZ_CHECK(head + tail == s);
    FUZZ_CHECK(isWholeCharacters(s, starts, 0, head.size()));
}

void checkMarquee(const std::string &s) {
    const std::string head = titleHead(s);
    FUZZ_CHECK(s.compare(0, head.size(), head) == 0);
    FUZZ_CHECK(head.size() <= 28);
    FUZZ_CHECK(isWholeCharacters(s, characterStarts(s), 0, head.size()) || s.size() < 29);

    const std::vector<std::string> windows = marqueeWindows(s);
    if (s.size() < 28) {
        FUZZ_CHECK(windows.empty());
        return;
    }
    // The scroll runs over the title, a separator and the title again; each window is found there
    // after the previous one, on whole characters, 27 or 28 bytes long.
    const std::string scroll = s + " >> " + s;
    const std::vector<bool> starts = characterStarts(scroll);
    FUZZ_CHECK(!windows.empty() && windows.size() <= scroll.size());
    std::size_t from = 0;
    for (const std::string &window : windows) {
        FUZZ_CHECK(window.size() == 27 || window.size() == 28);
        std::size_t at = from;
        while (at < scroll.size() && !(starts[at] && scroll.compare(at, window.size(), window) == 0)) ++at;
        FUZZ_CHECK(at < scroll.size());
        FUZZ_CHECK(isWholeCharacters(scroll, starts, at, window.size()));
        from = at + 1;
    }
}

// A title in UTF-8 scrolls by characters over the same 28 columns.
void checkMarqueeInUtf8(const std::string &s) {
    const QString title = titles::decode(s);
    FUZZ_CHECK(title.startsWith(titles::decode(titleHead(s))));
    FUZZ_CHECK(TitleColumns(titleHead(s)).layout().size() <= 28);
    const std::vector<std::string> windows = marqueeWindows(s);
    if (TitleColumns(s).layout().size() < 28) {
        FUZZ_CHECK(windows.empty());
        return;
    }
    const QString scroll = title + QStringLiteral(" >> ") + title;
    FUZZ_CHECK(!windows.empty() && windows.size() <= static_cast<std::size_t>(scroll.size()));
    qsizetype from = 0;
    for (const std::string &window : windows) {
        const std::size_t columns = TitleColumns(window).layout().size();
        FUZZ_CHECK(columns == 27 || columns == 28);
        const qsizetype at = scroll.indexOf(titles::decode(window), from);
        FUZZ_CHECK(at >= 0);
        from = at + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size == 0 || size > kMaxInput) return -1;
    // The first byte chooses where CopyChars splits; the rest is the title.
    const int split = data[0];
    const std::string s(fuzz::asText(data + 1, size - 1));
    const std::vector<bool> starts = characterStarts(s);
    checkTrailBytes(s, starts);
    checkCopyChars(s, starts, split);
    if (titles::isUtf8(s))
        checkMarqueeInUtf8(s);
    else
        checkMarquee(s);
    return 0;
}
