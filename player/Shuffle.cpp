#include "player/Shuffle.h"

#include <QTime>

namespace {

bool alreadyDrawn(const int *order, int k, int r) {
    for (int j = 1; j < k; ++j)
        if (order[j] == r) return true;
    return false;
}

}  // namespace

void drawShuffleOrder(int *order, int n, int first, std::mt19937 &random) {
    if (n < 1) return;
    std::uniform_int_distribution<int> track(1, n);
    int k = 1;
    if (first >= 1 && first <= n) order[k++] = first;
    for (; k <= n; ++k) {
        int r = track(random);
        while (alreadyDrawn(order, k, r)) r = track(random);
        order[k] = r;
    }
}

std::mt19937 clockSeededGenerator() {
    return std::mt19937(static_cast<uint32_t>(QTime::currentTime().msecsSinceStartOfDay()));
}
