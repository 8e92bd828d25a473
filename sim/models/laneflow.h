#pragma once

#include <array>
#include <cstdint>

// How much air the lanes take from the vessel, in open lanes at a typical run's line pressures.
// A lane valve is open while its expander pin is low (a selected lane's bit is 0), and only
// while the program drives the pins (at power-on they float high, closed). Air leaves through an
// open lane only as far as the controllers deliver it into the lines: the flow through the
// cartridge's channels follows the lines' pressures, and with the set-points at 0 an open valve
// passes nothing.
namespace laneflow {

constexpr int kLanes = 8;
constexpr int kLines = 3;
// Lines 1, 2 and 3 at the targets of a typical run (1000, 800 and 600 mbar).
constexpr double kRunLinesMbar = 2400;

double openLanes(uint8_t valveLevels, bool driven);
double draw(uint8_t valveLevels, bool driven, const std::array<double, kLines> &lineMbar);

} // namespace laneflow
