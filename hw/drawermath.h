#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QDateTime>
#include <QString>

// The drawer's decisions that depend on numbers only, apart from any file or clock.
namespace drawermath {

// Motor current, raw ADC counts: below this on two samples in a row the motor has stopped
// drawing current (the end-stop switch has cut it).
constexpr int kNoCurrentLevel = 30;
// Fixed threshold used for one move while the calibration or a service check asks for it.
constexpr uint16_t kHighThreshold = 3200;
// The supervised stretch of a closing ends this long before the closing is expected to end:
// the last part of the travel compresses the cartridge seal and draws more current.
constexpr int kSafetyMarginMs = 1000;
// Calibration: the threshold sits this far above the highest current of a clean opening and
// never below the floor or above the ADC's full scale.
constexpr int kCalibrationHeadroom = 300;
constexpr uint16_t kCalibrationFloor = 1500;
constexpr uint16_t kAdcFullScale = 4095;

enum SampleDecision { NoCurrent = -1, Keep = 0, OverCurrent = 1 };

// Decision on the two latest samples of a monitoring pass.
SampleDecision classify(int previous, int latest, int threshold);

// Supervised part of a closing for a given opening time; 0 when it cannot be told.
int safetyZoneFor(int openingTimeMs);

// New safety threshold from the current profile of a calibration opening: the samples up to
// the first negative marker count.
uint16_t calibrationThreshold(const std::vector<int> &samples);

// "drawer_move_in_20240305_141502.log" or "calibration_..." for a calibration sample.
QString drawerLogFileName(bool calibration, const std::string &move, const QDateTime &when);

} // namespace drawermath
