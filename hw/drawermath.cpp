#include "drawermath.h"

#include <algorithm>

namespace drawermath {

SampleDecision classify(int previous, int latest, int threshold)
{
    if (previous < kNoCurrentLevel && latest < kNoCurrentLevel)
        return NoCurrent;
    if (previous > threshold && latest > threshold)
        return OverCurrent;
    return Keep;
}

int safetyZoneFor(int openingTimeMs)
{
    return openingTimeMs > kSafetyMarginMs ? openingTimeMs - kSafetyMarginMs : 0;
}

uint16_t calibrationThreshold(const std::vector<int> &samples)
{
    const auto end = std::find_if(samples.begin(), samples.end(), [](int s) { return s < 0; });
    if (end == samples.begin())
        return kCalibrationFloor;
    // The sum is kept to 16 bits as the stored setting is; a 12-bit sample plus the headroom
    // never wraps, so the clamp below is what bounds it.
    const auto threshold
            = static_cast<uint16_t>(*std::max_element(samples.begin(), end) + kCalibrationHeadroom);
    return std::clamp(threshold, kCalibrationFloor, kAdcFullScale);
}

QString drawerLogFileName(bool calibration, const std::string &move, const QDateTime &when)
{
    return QString("%1%2_%3_%4.log")
            .arg(calibration ? "calibration_" : "drawer_")
            .arg(QString::fromStdString(move))
            .arg(when.toString("yyyyMMdd"))
            .arg(when.toString("hhmmss"));
}

} // namespace drawermath
