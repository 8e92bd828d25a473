// The instrument's colours as the operator sees them on its buttons: the main window's and the
// pop-ups' buttons share the palette, each with its size and its own way of showing a press.
#include "app/windowstyles.h"
#include "ui/buttonstyle.h"

#include <QPushButton>
#include <QtTest>

namespace {

const QColor kBlue(0, 118, 154);
const QColor kBlueDeep(0, 80, 110);
const QColor kBlueBright(0, 177, 230);
const QColor kGreen(20, 191, 33);
const QColor kGreenDeep(10, 130, 20);
const QColor kGreenBright(90, 235, 100);
const QColor kRed(165, 0, 0);
const QColor kRedDeep(110, 0, 0);
const QColor kRedBright(225, 40, 40);
const QColor kGrey(128, 128, 128);
// The screen behind a button, so that a transparent face shows.
const QColor kScreen(30, 30, 30);

struct Rendered
{
    QSize size;
    QImage image;
};

// The button alone on the screen; one without a fixed size gets the lane buttons' 80 px.
Rendered render(const QString &style, bool pressed, bool enabled = true)
{
    QWidget screen;
    screen.resize(300, 300);
    screen.setStyleSheet(QString("background: %1;").arg(kScreen.name()));
    auto *button = new QPushButton(&screen);
    button->setStyleSheet(style);
    button->setDown(pressed);
    button->setEnabled(enabled);
    button->resize(80, 80);
    button->move(10, 10);
    screen.show();
    QCoreApplication::processEvents();
    button->adjustSize();
    if (button->minimumWidth() == 0)
        button->resize(80, 80);
    return {button->size(), screen.grab(button->geometry()).toImage()};
}

bool near(const QColor &seen, const QColor &expected)
{
    constexpr int kTolerance = 8; // antialiasing and the gradient's first pixels
    return qAbs(seen.red() - expected.red()) <= kTolerance
            && qAbs(seen.green() - expected.green()) <= kTolerance
            && qAbs(seen.blue() - expected.blue()) <= kTolerance;
}

QColor centre(const QImage &image)
{
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

// Just inside the top edge, where the thinnest ring (2 px) is drawn.
QColor topEdge(const QImage &image)
{
    return image.pixelColor(image.width() / 2, 1);
}

} // namespace

class TestPalette : public QObject
{
    Q_OBJECT

private slots:
    void buttons_showTheirColourSizeAndPress_data();
    void buttons_showTheirColourSizeAndPress();
    void popUpButton_disabledIsGrey();
};

void TestPalette::buttons_showTheirColourSizeAndPress_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QColor>("face");
    QTest::addColumn<QColor>("pressedCentre");
    QTest::addColumn<QColor>("pressedEdge");

    using namespace windowstyles;
    const QSize round(120, 120);
    const QSize rect(210, 60);
    // The window's buttons sink into a deep shade inside a ring of their colour.
    QTest::newRow("window round blue") << roundBlue() << round << kBlue << kBlueDeep << kBlue;
    QTest::newRow("window round green") << roundGreen() << round << kGreen << kGreenDeep << kGreen;
    QTest::newRow("window stop, red")
            << roundRedBig() << QSize(180, 180) << kRed << kRedDeep << kRed;
    QTest::newRow("window round grey") << roundGrey() << round << kGrey << kGrey << kGrey;
    // Its 2 px outline lies outside the 120 px.
    QTest::newRow("window round transparent")
            << roundTransparent() << QSize(124, 124) << kScreen << kScreen << kGrey;
    QTest::newRow("window rect blue") << rectBlue() << rect << kBlue << kBlueDeep << kBlue;
    QTest::newRow("window rect green") << rectGreen() << rect << kGreen << kGreenDeep << kGreen;
    QTest::newRow("window rect red") << rectRed() << rect << kRed << kRedDeep << kRed;
    QTest::newRow("window rect grey") << rectGrey() << rect << kGrey << kGrey << kGrey;
    QTest::newRow("lane unselected")
            << laneUnselected() << QSize(80, 80) << kBlue << kBlueDeep << kBlue;
    QTest::newRow("lane selected")
            << laneSelected() << QSize(80, 80) << kGreen << kGreenDeep << kGreen;
    // The pop-ups' and the keypad's buttons light up in a bright shade, the ring too.
    QTest::newRow("pop-up blue") << roundButtonStyle(100, 5) << QSize(100, 100) << kBlue
                                 << kBlueBright << kBlueBright;
    QTest::newRow("keypad green") << roundButtonStyle(90, 4, 24, ButtonColour::Green)
                                  << QSize(90, 90) << kGreen << kGreenBright << kGreenBright;
    QTest::newRow("keypad red") << roundButtonStyle(90, 4, 24, ButtonColour::Red) << QSize(90, 90)
                                << kRed << kRedBright << kRedBright;
}

void TestPalette::buttons_showTheirColourSizeAndPress()
{
    QFETCH(QString, style);
    QFETCH(QSize, size);
    QFETCH(QColor, face);
    QFETCH(QColor, pressedCentre);
    QFETCH(QColor, pressedEdge);

    const Rendered idle = render(style, false);
    QCOMPARE(idle.size, size);
    QVERIFY2(near(centre(idle.image), face), qPrintable(centre(idle.image).name()));
    const Rendered pressed = render(style, true);
    QCOMPARE(pressed.size, size);
    QVERIFY2(near(centre(pressed.image), pressedCentre), qPrintable(centre(pressed.image).name()));
    QVERIFY2(near(topEdge(pressed.image), pressedEdge), qPrintable(topEdge(pressed.image).name()));
}

void TestPalette::popUpButton_disabledIsGrey()
{
    for (ButtonColour colour : {ButtonColour::Blue, ButtonColour::Green, ButtonColour::Red}) {
        const Rendered disabled = render(roundButtonStyle(100, 5, 20, colour), false, false);
        QVERIFY2(near(centre(disabled.image), kGrey), qPrintable(centre(disabled.image).name()));
    }
}

QTEST_MAIN(TestPalette)
#include "tst_palette.moc"
