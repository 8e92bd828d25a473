#pragma once

#include <QMap>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <string>

// Name of a menu state; empty when the state has none. Supplied by the window, which owns the
// state table.
using MenuNameLookup = std::function<QString(int state)>;

// The context of one raised error, filled by the main window and appended to the error log.
struct ErrorLogEntry
{
    int lastMenu = 0; // menu state shown when the error was raised
    int errorCode = 0;
    std::string software;
    uint16_t runId = 0; // 0: no run yet, the record ends after the software version
    std::string runLog;
    uint16_t vesselPressure = 0; // mbar
    std::array<uint16_t, 3> linePressure {}; // mbar, lines 1 to 3
    const QMap<QString, bool> *activeLanes = nullptr; // "lane_1" ... "lane_8" -> selected
};
