#pragma once

#include <cstdint>

#include <QVector>

// The drawer calibration's evaluation of its measured closings, apart from the window.
namespace calibrationmath {

// A full opening of the drawer takes about 5.5 s; anything up to 4.5 s was cut short (an
// abort, an obstacle) and would shorten the supervised stretch of every later closing.
constexpr uint16_t kShortestOpeningMs = 4500;

bool acceptedOpeningTime(uint16_t openingTimeMs);
// The largest sample, 0 for none: the threshold must hold for the stiffest closing seen.
uint16_t largestThreshold(const QVector<uint16_t> &samples);
// The truncated mean, 0 for none.
uint16_t meanOpeningTime(const QVector<uint16_t> &samples);

} // namespace calibrationmath
