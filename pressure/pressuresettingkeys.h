#pragma once

#include <optional>
#include <string>

#include <QString>

// Names of the pressure settings as the editor addresses them: a run mode, a line (or the
// mode's active time) and a quantity of the line. Both the file key and the keypad title
// are built from the same three numbers, so they cannot drift apart.
namespace pressuresettingkeys {

enum Mode : int { MODE_DPCR = 0, MODE_DMDA = 1 };
// The mode a run-mode name ("dPCR", "dMDA") stands for; none for any other name.
std::optional<Mode> modeNamed(const QString &name);
// Lines 0 to 2 are the three pressure lines; this one stands for the mode's active time.
constexpr int kActiveTimeLine = 3;
enum Quantity : int { QUANTITY_PRE_RAMP = 0, QUANTITY_TARGET = 1, QUANTITY_RAMP_UP_TIME = 2 };

// "dpcr_line_2_target", "dmda_active_time" (the quantity is ignored for the active time).
std::string settingKey(int mode, int line, int quantity);
// "dPCR Line 2 Active pressure", "dMDA Active time".
QString settingTitle(int mode, int line, int quantity);

} // namespace pressuresettingkeys
