#pragma once

#include <QString>

// The main window's style sheets, each applied as a whole, in the colours of ui/palette.h.
namespace windowstyles {

QString progressBlue();
QString progressGreen();
// The step indicator of the calibration pages: one 55 px block per step.
QString progressStep();
// 120 px round buttons; the red one, the run's stop, is 180 px.
QString roundTransparent();
QString roundBlue();
QString roundGreen();
QString roundRedBig();
QString roundGrey();
// 210 x 60 px buttons of the menus and the service rows.
QString rectBlue();
QString rectGreen();
QString rectRed();
QString rectGrey();
QString statusLabel();
// Lane buttons: 80 px round, underlined text when the lane is selected.
QString laneUnselected();
QString laneSelected();

} // namespace windowstyles
