#pragma once

// The window's style sheets, each applied as a whole. Blue rgb(0,118,154), green
// rgb(20,191,33), red rgb(165,0,0), grey rgb(128,128,128); the designer form uses the same
// texts for the initial look of its buttons.
namespace windowstyles {

inline constexpr const char progressBlue[]
        = "QProgressBar { background-color: rgba(0,0,0,0); border: 1px solid rgb(0,118,154); "
          "border-radius: 5px; } QProgressBar::chunk { background-color: rgb(0,118,154); }";
inline constexpr const char progressGreen[]
        = "QProgressBar { background-color: rgba(0,0,0,0); border: 1px solid rgb(20,191,33); "
          "border-radius: 5px; } QProgressBar::chunk { background-color: rgb(20,191,33); }";
// The step indicator of the calibration pages: one 55 px block per step.
inline constexpr const char progressStep[]
        = "QProgressBar { background-color: rgba(0,0,0,0); border: 1px solid rgb(0,118,154); "
          "border-radius: 5px; } QProgressBar::chunk { background-color: rgb(0,118,154); "
          "width: 55px; margin: 1px; }";
inline constexpr const char roundTransparent[]
        = "QPushButton { background-color: rgba(0,0,0,0); color: rgb(128,128,128); border-radius: "
          "60px; "
          "font-size: 18pt; border: 2px solid rgb(128,128,128); min-width: 120px; max-width: "
          "120px; "
          "min-height: 120px; max-height: 120px; }";
inline constexpr const char roundBlue[]
        = "QPushButton { background-color: rgb(0,118,154); color: rgb(255,255,255); "
          "border-radius: 60px; font-size: 20pt; border: 0px; min-width: 120px; max-width: 120px; "
          "min-height: 120px; max-height: 120px; } QPushButton:pressed { background-color: "
          "qradialgradient(cx:0.5, cy:0.5, radius:0.5, fx:0.5, fy:0.5, stop:0 rgb(0,80,110), "
          "stop:1 rgb(0,118,154)); border: 6px solid rgb(0,118,154); }";
inline constexpr const char roundGreen[]
        = "QPushButton { background-color: rgb(20,191,33); color: rgb(255,255,255); "
          "border-radius: 60px; font-size: 20pt; border: 0px; min-width: 120px; max-width: 120px; "
          "min-height: 120px; max-height: 120px; } QPushButton:pressed { background-color: "
          "qradialgradient(cx:0.5, cy:0.5, radius:0.5, fx:0.5, fy:0.5, stop:0 rgb(10,130,20), "
          "stop:1 rgb(20,191,33)); border: 6px solid rgb(20,191,33); }";
inline constexpr const char roundRedBig[]
        = "QPushButton { background-color: rgb(165,0,0); color: rgb(255,255,255); "
          "border-radius: 90px; font-size: 28pt; border: 0px; min-width: 180px; max-width: 180px; "
          "min-height: 180px; max-height: 180px; } QPushButton:pressed { background-color: "
          "qradialgradient(cx:0.5, cy:0.5, radius:0.5, fx:0.5, fy:0.5, stop:0 rgb(110,0,0), "
          "stop:1 rgb(165,0,0)); border: 9px solid rgb(165,0,0); }";
inline constexpr const char roundGrey[]
        = "QPushButton { background-color: rgb(128,128,128); color: rgb(255,255,255); "
          "border-radius: 60px; font-size: 20pt; border: 0px; min-width: 120px; max-width: 120px; "
          "min-height: 120px; max-height: 120px; }";
inline constexpr const char rectBlue[]
        = "QPushButton { background-color: rgb(0,118,154); color: rgb(255,255,255); "
          "border-radius: 10px; font-size: 16pt; border: 0px; min-width: 210px; max-width: 210px; "
          "min-height: 60px; max-height: 60px; } QPushButton:pressed { background-color: "
          "rgb(0,80,110); border: 5px solid rgb(0,118,154); }";
inline constexpr const char rectGreen[]
        = "QPushButton { background-color: rgb(20,191,33); color: rgb(255,255,255); "
          "border-radius: 10px; font-size: 16pt; border: 0px; min-width: 210px; max-width: 210px; "
          "min-height: 60px; max-height: 60px; } QPushButton:pressed { background-color: "
          "rgb(10,130,20); border: 5px solid rgb(20,191,33); }";
inline constexpr const char rectRed[]
        = "QPushButton { background-color: rgb(165,0,0); color: rgb(255,255,255); "
          "border-radius: 10px; font-size: 16pt; border: 0px; min-width: 210px; max-width: 210px; "
          "min-height: 60px; max-height: 60px; } QPushButton:pressed { background-color: "
          "rgb(110,0,0); border: 5px solid rgb(165,0,0); }";
inline constexpr const char rectGrey[]
        = "QPushButton { background-color: rgb(128,128,128); color: rgb(255,255,255); "
          "border-radius: 10px; font-size: 16pt; border: 0px; min-width: 210px; max-width: 210px; "
          "min-height: 60px; max-height: 60px; }";
inline constexpr const char statusLabel[]
        = "color: rgb(255, 255, 255); font-size: 16pt; background-color:rgba(0,0,0,0);";

// Lane buttons: 80 px round, underlined text when the lane is selected.
inline constexpr const char laneUnselected[]
        = "QPushButton { background-color: rgba(0, 118, 154, 255); color: rgb(255,255,255); "
          "border-radius: 40px; font-size: 20pt; border: 0px; } QPushButton:pressed { "
          "background-color: qradialgradient(cx:0.5, cy:0.5, radius:0.5, fx:0.5, fy:0.5, "
          "stop:0 rgb(0,80,110), stop:1 rgba(0, 118, 154, 255)); border: 4px solid "
          "rgba(0, 118, 154, 255); }";
inline constexpr const char laneSelected[]
        = "QPushButton { background-color: rgba(20, 191, 33, 255); color: rgb(255,255,255); "
          "border-radius: 40px; font-size: 20pt; border: 0px; text-decoration: underline; } "
          "QPushButton:pressed { background-color: qradialgradient(cx:0.5, cy:0.5, radius:0.5, "
          "fx:0.5, fy:0.5, stop:0 rgb(10,130,20), stop:1 rgba(20, 191, 33, 255)); border: 4px "
          "solid rgba(20, 191, 33, 255); }";

} // namespace windowstyles
