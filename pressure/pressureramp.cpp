#include "pressureramp.h"

#include <cstdlib>

namespace pressureramp {

bool preRampLineFails(int measuredMbar, int setPointMbar)
{
    return setPointMbar >= kPreRampExemptBelowMbar
            && std::abs(measuredMbar - setPointMbar) > kPreRampToleranceMbar;
}

int nextRampPressure(int currentMbar, int preRampMbar, int targetMbar, int steps)
{
    if (steps <= 0)
        return currentMbar;
    // A falling line goes to its target at the first step and stays: its negative share would
    // otherwise carry it on below the target, to set-points the controllers refuse.
    if (targetMbar < preRampMbar)
        return targetMbar;
    const int next = currentMbar + (targetMbar - preRampMbar) / steps;
    return next > targetMbar ? targetMbar : next;
}

bool isSupervised(int setPointMbar)
{
    return setPointMbar >= kSupervisedFromMbar;
}

bool outOfRange(int measuredMbar, int setPointMbar)
{
    const double deviation = std::abs(measuredMbar - setPointMbar) * 100.0 / setPointMbar;
    return deviation > kRangeTolerancePercent;
}

} // namespace pressureramp
