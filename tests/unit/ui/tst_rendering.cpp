// What the operator sees of each touch component, drawn over the instrument's background as
// the screen shows it. Set VEMLA_UI_SHOTS to a folder to keep the pictures.
#include "ui/errorpopup.h"
#include "ui/popup.h"
#include "ui/settingspopup.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QPainter>
#include <QtTest>

namespace {

// The main window's background with its stacked widget hidden, and the overlay on top.
QImage onScreen(QWidget *overlay, const QString &name)
{
    QImage screen(1024, 600, QImage::Format_RGB32);
    QPainter painter(&screen);
    painter.drawPixmap(0, 0, QPixmap(":/images/background-image/korvand_background.png"));
    overlay->show();
    // Lay out what changed since the last picture, as the event loop does before painting.
    QCoreApplication::sendPostedEvents();
    painter.drawPixmap(overlay->pos(), overlay->grab());
    const QString dir = qEnvironmentVariable("VEMLA_UI_SHOTS");
    if (!dir.isEmpty() && QDir().mkpath(dir))
        screen.save(dir + "/" + name + ".png");
    return screen;
}

// Colour of the screen at the centre of a child widget, moved by an offset.
QColor at(const QImage &screen, QWidget *overlay, const char *child, QPoint offset = {})
{
    auto *widget = overlay->findChild<QWidget *>(child);
    return screen.pixel(widget->mapTo(overlay, widget->rect().center()) + overlay->pos() + offset);
}

// White text somewhere in the child's rectangle.
bool showsText(const QImage &screen, QWidget *overlay, const char *child)
{
    auto *widget = overlay->findChild<QWidget *>(child);
    const QRect area(widget->mapTo(overlay, QPoint()) + overlay->pos(), widget->size());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (QColor(screen.pixel(x, y)).lightness() > 230)
                return true;
    return false;
}

const QColor kBlue(0, 118, 154);

} // namespace

class TestRendering : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QFontDatabase::addApplicationFont(":/fonts/Open_Sans/OpenSans-Regular.ttf") >= 0);
        QApplication::setFont(QFont("Open Sans", 16));
    }
    void components_drawTextAndButtonsOverBackground();
};

void TestRendering::components_drawTextAndButtonsOverBackground()
{
    PopUp popUp;
    popUp.setYesNoMode();
    popUp.setText("This will release the system pressure.", 1);
    popUp.setText("Do you want to proceed?", 2);
    QImage screen = onScreen(&popUp, "popup");
    QCOMPARE(QColor(screen.pixel(5, 5)), QColor(Qt::black));
    QCOMPARE(at(screen, &popUp, "pushButton_popUp_yes", {0, 40}), kBlue);
    QVERIFY(showsText(screen, &popUp, "label_popUp_line1"));
    QVERIFY(showsText(screen, &popUp, "label_popUp_line2"));

    ErrorPopUp errors;
    errors.setErrors({"20261206-201501|Running menu|8|Pressure regulation failure|"
                      "/usr/share/vemla/logs/errors.log|1.3.0|118|/p/118.log|3400|820|805|0|"
                      "11110000",
                      "20261206-190212|Close drawer menu|3|Drawer is stopped due to obstacle|"
                      "/usr/share/vemla/logs/errors.log|1.3.0"});
    screen = onScreen(&errors, "errorpopup");
    // The list is laid over the instrument's picture, which shows through.
    QCOMPARE(QColor(screen.pixel(5, 300)),
             QImage(":/images/background-image/korvand_background.png").pixelColor(5, 300));
    QVERIFY(showsText(screen, &errors, "tableWidget_errors"));
    QCOMPARE(at(screen, &errors, "pushButton_errorPopUp_back", {0, 40}), kBlue);

    settingsPopUp pad;
    pad.reset();
    pad.setTitle("Date & Time");
    pad.setDateTimeMode(DATEFORMAT_DAY_FIRST);
    pad.setKind(settingsPopUp::KIND_DATE_TIME);
    pad.setCurrentValue("06-12-2026 20:45:10");
    pad.updateValue("0");
    screen = onScreen(&pad, "keypad-date");
    for (const char *label : {"label_keypad_title", "label_keypad_current_value",
                              "label_keypad_new_value", "label_keypad_date_format"})
        QVERIFY2(showsText(screen, &pad, label), label);
    // The wide date fields leave the keys uncovered.
    QCOMPARE(at(screen, &pad, "pushButton_keypad_4", {-35, 0}), kBlue);
}

QTEST_MAIN(TestRendering)
#include "tst_rendering.moc"
