#include "windowstyles.h"

#include "ui/palette.h"

namespace windowstyles {
namespace {

// Round buttons of the standard size.
constexpr int kRoundDiameterPx = 120;
constexpr int kRoundFontPt = 20;
constexpr int kRoundPressedBorderPx = 6;
// The run's stop button, big enough to hit without looking.
constexpr int kBigDiameterPx = 180;
constexpr int kBigFontPt = 28;
constexpr int kBigPressedBorderPx = 9;

QString progress(const char *colour, const char *chunkExtra = "")
{
    return QString("QProgressBar { background-color: %1; border: 1px solid %2; "
                   "border-radius: 5px; } QProgressBar::chunk { background-color: %2; %3}")
            .arg(palette::kTransparent, colour, chunkExtra);
}

QString sizeOf(int widthPx, int heightPx)
{
    return QString("min-width: %1px; max-width: %1px; min-height: %2px; max-height: %2px;")
            .arg(widthPx)
            .arg(heightPx);
}

// A filled button with white text; the press, when it shows, comes on top.
QString filled(const char *colour, int radiusPx, int fontPt, const QString &size)
{
    return QString("QPushButton { background-color: %1; color: %2; border-radius: %3px; "
                   "font-size: %4pt; border: 0px; %5 }")
            .arg(colour, palette::kText)
            .arg(radiusPx)
            .arg(fontPt)
            .arg(size);
}

// The press of a round button: the centre sinks into the deep shade inside a ring.
QString roundPressed(const palette::Colour &colour, int borderPx)
{
    return QString(" QPushButton:pressed { background-color: qradialgradient(cx:0.5, cy:0.5, "
                   "radius:0.5, fx:0.5, fy:0.5, stop:0 %1, stop:1 %2); border: %3px solid %2; }")
            .arg(colour.deep, colour.base)
            .arg(borderPx);
}

QString round(const palette::Colour &colour, int diameterPx, int fontPt, int pressedBorderPx)
{
    return filled(colour.base, diameterPx / 2, fontPt, sizeOf(diameterPx, diameterPx))
            + roundPressed(colour, pressedBorderPx);
}

// Menu buttons: 210 x 60 px; the press fills them with the deep shade inside a ring.
constexpr int kRectWidthPx = 210;
constexpr int kRectHeightPx = 60;
constexpr int kRectRadiusPx = 10;
constexpr int kRectFontPt = 16;
constexpr int kRectPressedBorderPx = 5;

QString rect(const char *colour)
{
    return filled(colour, kRectRadiusPx, kRectFontPt, sizeOf(kRectWidthPx, kRectHeightPx));
}

QString rect(const palette::Colour &colour)
{
    return rect(colour.base)
            + QString(" QPushButton:pressed { background-color: %1; border: %2px solid %3; }")
                      .arg(colour.deep)
                      .arg(kRectPressedBorderPx)
                      .arg(colour.base);
}

constexpr int kLaneDiameterPx = 80;
constexpr int kLanePressedBorderPx = 4;

QString lane(const palette::Colour &colour, const char *extra)
{
    return filled(colour.base, kLaneDiameterPx / 2, kRoundFontPt, extra)
            + roundPressed(colour, kLanePressedBorderPx);
}

} // namespace

QString progressBlue()
{
    return progress(palette::kBlue.base);
}

QString progressGreen()
{
    return progress(palette::kGreen.base);
}

QString progressStep()
{
    return progress(palette::kBlue.base, "width: 55px; margin: 1px; ");
}

QString roundTransparent()
{
    return QString("QPushButton { background-color: %1; color: %2; border-radius: %3px; "
                   "font-size: 18pt; border: 2px solid %2; %4 }")
            .arg(palette::kTransparent, palette::kGrey)
            .arg(kRoundDiameterPx / 2)
            .arg(sizeOf(kRoundDiameterPx, kRoundDiameterPx));
}

QString roundBlue()
{
    return round(palette::kBlue, kRoundDiameterPx, kRoundFontPt, kRoundPressedBorderPx);
}

QString roundGreen()
{
    return round(palette::kGreen, kRoundDiameterPx, kRoundFontPt, kRoundPressedBorderPx);
}

QString roundRedBig()
{
    return round(palette::kRed, kBigDiameterPx, kBigFontPt, kBigPressedBorderPx);
}

QString roundGrey()
{
    return filled(palette::kGrey, kRoundDiameterPx / 2, kRoundFontPt,
                  sizeOf(kRoundDiameterPx, kRoundDiameterPx));
}

QString rectBlue()
{
    return rect(palette::kBlue);
}

QString rectGreen()
{
    return rect(palette::kGreen);
}

QString rectRed()
{
    return rect(palette::kRed);
}

QString rectGrey()
{
    return rect(palette::kGrey);
}

QString statusLabel()
{
    return QString("color: %1; font-size: 16pt; background-color:%2;")
            .arg(palette::kText, palette::kTransparent);
}

QString laneUnselected()
{
    return lane(palette::kBlue, "");
}

QString laneSelected()
{
    return lane(palette::kGreen, "text-decoration: underline;");
}

} // namespace windowstyles
