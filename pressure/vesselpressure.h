#pragma once

#include <cstdint>

#include <QList>

// The window's reading of the vessel pressure reports, apart from any widget.
namespace vesselpressure {

// Reports above this are not a pressure the sensor can give: they count as 0.
constexpr uint16_t kLargestValidMbar = 9999;
// 5000 mbar is a full vessel: 20 % per 1000 mbar, at most 100.
uint8_t percentOf(uint16_t mbar);

// The pressurizing check keeps this many of its latest percentages: the newest against the
// one 14 checks (seconds) before it.
constexpr int kHistoryLength = 15;
// Adds one check's percentage; true when the vessel has not risen over the kept history
// (leakage). The history then stays as it is, the caller empties it.
bool appendAndDetectLeak(QList<uint8_t> *history, uint8_t percent);

} // namespace vesselpressure
