#pragma once

#include <QString>

// The round touch buttons of the pop-ups and the keypad: a filled circle with white text; a
// press lights the centre and draws a ring, so the operator sees the touch was taken.
enum class ButtonColour { Blue, Green, Red };

QString roundButtonStyle(int diameterPx, int pressedBorderPx, int fontPt = 20,
                         ButtonColour colour = ButtonColour::Blue);
