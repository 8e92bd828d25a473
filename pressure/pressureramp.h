#pragma once

// The arithmetic of the run's pressure stages, apart from the window and its timers.
namespace pressureramp {

// Pre-ramp: a line passes when within this many mbar of its set-point; set-points below the
// exemption limit are too low for the controllers to hold that closely and always pass.
constexpr int kPreRampToleranceMbar = 10;
constexpr int kPreRampExemptBelowMbar = 50;
bool preRampLineFails(int measuredMbar, int setPointMbar);

// One second's ramp step: the line's share of (target - pre-ramp) per step, truncated toward
// zero, and never beyond the target (a target below the pre-ramp value is reached at once).
int nextRampPressure(int currentMbar, int preRampMbar, int targetMbar, int steps);

// At target, set-points from this value on are supervised; a reading more than the tolerance
// (in percent of the set-point) away is out of range.
constexpr int kSupervisedFromMbar = 200;
constexpr double kRangeTolerancePercent = 10.0;
bool isSupervised(int setPointMbar);
bool outOfRange(int measuredMbar, int setPointMbar);

} // namespace pressureramp
