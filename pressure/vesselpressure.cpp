#include "vesselpressure.h"

#include <algorithm>

namespace vesselpressure {

namespace {
constexpr double kMbarPerStep = 1000.0;
constexpr double kPercentPerStep = 20.0;
constexpr int kFullPercent = 100;
} // namespace

uint8_t percentOf(uint16_t mbar)
{
    return static_cast<uint8_t>(
            std::min<int>(int(mbar / kMbarPerStep * kPercentPerStep), kFullPercent));
}

bool appendAndDetectLeak(QList<uint8_t> *history, uint8_t percent)
{
    history->append(percent);
    if (history->size() <= kHistoryLength)
        return false;
    history->removeFirst();
    return history->first() >= history->last();
}

} // namespace vesselpressure
