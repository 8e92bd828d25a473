#include "calibrationmath.h"

#include <algorithm>
#include <numeric>

namespace calibrationmath {

bool acceptedOpeningTime(uint16_t openingTimeMs)
{
    return openingTimeMs > kShortestOpeningMs;
}

uint16_t largestThreshold(const QVector<uint16_t> &samples)
{
    if (samples.isEmpty())
        return 0;
    return *std::max_element(samples.begin(), samples.end());
}

uint16_t meanOpeningTime(const QVector<uint16_t> &samples)
{
    if (samples.isEmpty())
        return 0;
    const qint64 sum = std::accumulate(samples.begin(), samples.end(), qint64(0));
    return static_cast<uint16_t>(sum / samples.size());
}

} // namespace calibrationmath
