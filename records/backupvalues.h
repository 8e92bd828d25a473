#pragma once

#include <QString>

#include <optional>

// What a settings backup written by an instrument can hold, key by key. A backup comes back
// from a stick, and a stick may carry a forged one: a value no instrument writes is not
// restored, the instrument keeps its own.
namespace backupvalues {

// Drawer motor current limit, raw ADC counts: the service menu steps it down to 1200 and the
// calibration sets it between 1500 and the ADC's full scale, 4095. Above that the limit is
// never reached and the drawer would close on a finger.
constexpr int kLowestThreshold = 1200;
constexpr int kHighestThreshold = 4095;
// Drawer opening time, ms: the calibration keeps only openings longer than 4.5 s (shorter ones
// were cut short) and stores their mean; a drawer that needs longer than the 8 s a closing is
// allowed could not close. A time at or below the 1 s safety margin would leave the closing
// unsupervised.
constexpr int kShortestOpeningMs = 4500;
constexpr int kLongestOpeningMs = 8000;
// Production ID and run counters: more than an instrument counts in its life (a run takes
// well over a minute, and 100 years of back-to-back runs are about 53 million), so a counter
// above it is forged, and one run more never overflows the 32-bit value.
constexpr int kMostRuns = 100'000'000;

// The value to restore for `key` ("drawer/safety_threshold" ...): the backup's `text` when it
// is a whole decimal number an instrument can hold there, nothing otherwise. Counters never go
// below `instrumentValue`, the instrument's own value of the key, so no ID is given out twice.
std::optional<int> restorable(const QString &key, const QString &text, int instrumentValue);

} // namespace backupvalues
