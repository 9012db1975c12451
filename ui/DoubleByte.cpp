#include "ui/DoubleByte.h"

#include "platform/Cp932.h"

#include <stdexcept>

namespace {
constexpr int kWindow = 28;
bool lead(const std::string &s, int i) { return cp932::isLeadByte(static_cast<unsigned char>(s[i - 1])); }
}  // namespace

bool IsTrailByte(const std::string &s, int i) {
    if (i < 1 || i > static_cast<int>(s.size())) throw std::out_of_range("Illegal Index");
    if (i == 1) return false;
    int k = 0;
    for (int j = i - 1; j >= 1 && lead(s, j); --j) ++k;
    return k % 2 == 1;
}

std::string CopyChars(const std::string &s, int index, int count) {
    std::string out;
    int number = 0;
    for (size_t at = 0; at < s.size();) {
        size_t width = cp932::isLeadByte(static_cast<unsigned char>(s[at])) && at + 1 < s.size() ? 2 : 1;
        ++number;
        if (number >= index + count) break;
        if (number >= index) out.append(s, at, width);
        at += width;
    }
    return out;
}

std::string titleHead(const std::string &s) {
    if (s.size() < kWindow + 1) return s;
    return s.substr(0, IsTrailByte(s, kWindow + 1) ? kWindow - 1 : kWindow);
}

std::vector<std::string> marqueeWindows(const std::string &s) {
    std::vector<std::string> shown;
    if (s.size() < kWindow) return shown;
    std::string t = s + " >> " + s;
    std::string line = titleHead(s);
    for (int p = 1;; ++p) {
        if (!IsTrailByte(t, p)) {
            line = t.substr(static_cast<size_t>(p - 1), IsTrailByte(t, p + kWindow) ? kWindow - 1 : kWindow);
            shown.push_back(line);
        }
        if (CopyChars(line, 1, 2).substr(0, 2) == ">>") break;
    }
    return shown;
}
