#include "backupvalues.h"

namespace backupvalues {

std::optional<int> restorable(const QString &key, const QString &text, int instrumentValue)
{
    bool number = false;
    const int value = text.toInt(&number, 10);
    if (!number)
        return std::nullopt;
    bool plausible = false;
    if (key == "drawer/safety_threshold")
        plausible = value >= kLowestThreshold && value <= kHighestThreshold;
    else if (key == "drawer/opening_time")
        plausible = value > kShortestOpeningMs && value <= kLongestOpeningMs;
    else if (key == "system/date_format")
        plausible = value == 0 || value == 1; // day first, month first
    else if (key == "production/id" || key == "production/dpcr_run" || key == "production/dmda_run")
        plausible = value >= instrumentValue && value <= kMostRuns;
    return plausible ? std::optional<int>(value) : std::nullopt;
}

} // namespace backupvalues
