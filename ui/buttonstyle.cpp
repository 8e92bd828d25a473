#include "buttonstyle.h"

namespace {

struct Shades
{
    const char *base;
    const char *light;
};

Shades shadesOf(ButtonColour colour)
{
    switch (colour) {
    case ButtonColour::Green:
        return {"rgb(20, 191, 33)", "rgb(90, 235, 100)"};
    case ButtonColour::Red:
        return {"rgb(165, 0, 0)", "rgb(225, 40, 40)"};
    case ButtonColour::Blue:
        break;
    }
    return {"rgb(0, 118, 154)", "rgb(0, 177, 230)"};
}

} // namespace

QString roundButtonStyle(int diameterPx, int pressedBorderPx, int fontPt, ButtonColour colour)
{
    const Shades shades = shadesOf(colour);
    return QString("QPushButton {"
                   " min-width: %1px; max-width: %1px; min-height: %1px; max-height: %1px;"
                   " border-radius: %2px; border: none;"
                   " background-color: %4; color: rgb(255, 255, 255); font-size: %5pt; }"
                   "QPushButton:pressed {"
                   " background-color: qradialgradient(cx:0.5, cy:0.5, radius:0.5, fx:0.5,"
                   " fy:0.5, stop:0 %6, stop:1 %4);"
                   " border: %3px solid %6; }"
                   "QPushButton:disabled { background-color: rgb(128, 128, 128); }")
            .arg(diameterPx)
            .arg(diameterPx / 2)
            .arg(pressedBorderPx)
            .arg(shades.base)
            .arg(fontPt)
            .arg(shades.light);
}
