#include "buttonstyle.h"

#include "palette.h"

namespace {

palette::Colour colourOf(ButtonColour colour)
{
    switch (colour) {
    case ButtonColour::Green:
        return palette::kGreen;
    case ButtonColour::Red:
        return palette::kRed;
    case ButtonColour::Blue:
        break;
    }
    return palette::kBlue;
}

} // namespace

QString roundButtonStyle(int diameterPx, int pressedBorderPx, int fontPt, ButtonColour colour)
{
    const palette::Colour shades = colourOf(colour);
    return QString("QPushButton {"
                   " min-width: %1px; max-width: %1px; min-height: %1px; max-height: %1px;"
                   " border-radius: %2px; border: none;"
                   " background-color: %4; color: %7; font-size: %5pt; }"
                   "QPushButton:pressed {"
                   " background-color: qradialgradient(cx:0.5, cy:0.5, radius:0.5, fx:0.5,"
                   " fy:0.5, stop:0 %6, stop:1 %4);"
                   " border: %3px solid %6; }"
                   "QPushButton:disabled { background-color: %8; }")
            .arg(diameterPx)
            .arg(diameterPx / 2)
            .arg(pressedBorderPx)
            .arg(shades.base)
            .arg(fontPt)
            .arg(shades.bright)
            .arg(palette::kText)
            .arg(palette::kGrey);
}
