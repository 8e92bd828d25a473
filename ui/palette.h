#pragma once

// The instrument's colours, in style-sheet notation, for every style the code builds (the
// designer forms hold the same values for the initial look of their widgets). A touch button
// shows its press in a shade of its colour: the main window's buttons sink into the deep
// shade, the pop-ups' and the keypad's light up in the bright one.
namespace palette {

struct Colour
{
    const char *base;
    const char *deep;
    const char *bright;
};

inline constexpr Colour kBlue {"rgb(0,118,154)", "rgb(0,80,110)", "rgb(0,177,230)"};
inline constexpr Colour kGreen {"rgb(20,191,33)", "rgb(10,130,20)", "rgb(90,235,100)"};
inline constexpr Colour kRed {"rgb(165,0,0)", "rgb(110,0,0)", "rgb(225,40,40)"};
// Disabled and idle buttons: no press to show.
inline constexpr char kGrey[] = "rgb(128,128,128)";
inline constexpr char kText[] = "rgb(255,255,255)";
inline constexpr char kTransparent[] = "rgba(0,0,0,0)";

} // namespace palette
