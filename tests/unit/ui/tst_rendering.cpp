// What the operator sees of each touch component, drawn over the instrument's background the
// way the screen shows it. Set VEMLA_UI_SHOTS to a folder to keep the pictures.
#include "support/sandboxroot.h"
#include "ui/dropletanimation.h"
#include "ui/errorpopup.h"
#include "ui/licensepopup.h"
#include "ui/popup.h"
#include "ui/settingspopup.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSequentialAnimationGroup>
#include <QTableWidgetItem>
#include <QtTest>

namespace {

const QColor kBlue(0, 118, 154);

// The screen: the main window's background, its stacked widget hidden, the overlay on top.
QImage onScreen(QWidget *overlay)
{
    QImage screen(1024, 600, QImage::Format_RGB32);
    QPainter painter(&screen);
    painter.drawPixmap(0, 0, QPixmap(":/images/background-image/korvand_background.png"));
    overlay->show();
    // Lay out what changed since the last picture, as the event loop would before painting.
    QCoreApplication::sendPostedEvents();
    painter.drawPixmap(overlay->pos(), overlay->grab());
    return screen;
}

void keep(const QImage &image, const QString &name)
{
    const QString dir = qEnvironmentVariable("VEMLA_UI_SHOTS");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    QVERIFY(image.save(dir + "/" + name + ".png"));
}

QPoint centreOn(QWidget *overlay, const char *child)
{
    auto *widget = overlay->findChild<QWidget *>(child);
    return widget->mapTo(overlay, widget->rect().center()) + overlay->pos();
}

bool near(QColor a, QColor b)
{
    return qAbs(a.red() - b.red()) < 12 && qAbs(a.green() - b.green()) < 12
            && qAbs(a.blue() - b.blue()) < 12;
}

// Some white text is drawn inside the widget's rectangle.
bool showsWhiteText(const QImage &screen, QWidget *overlay, const char *child)
{
    auto *widget = overlay->findChild<QWidget *>(child);
    const QRect area(widget->mapTo(overlay, QPoint(0, 0)) + overlay->pos(), widget->size());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (QColor(screen.pixel(x, y)).lightness() > 230)
                return true;
    return false;
}

} // namespace

class TestRendering : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void popUp_question();
    void errorPopUp_table();
    void licensePopUp_text();
    void keypad_numberAndDate();
    void dropletAnimation_midPass();
};

void TestRendering::initTestCase()
{
    QVERIFY(QFontDatabase::addApplicationFont(":/fonts/Open_Sans/OpenSans-Regular.ttf") >= 0);
    QApplication::setFont(QFont("Open Sans", 16, QFont::Normal, false));
}

void TestRendering::popUp_question()
{
    PopUp popUp;
    popUp.setYesNoMode();
    popUp.setText("This will release the system pressure.", 1);
    popUp.setText("Do you want to proceed?", 2);
    const QImage screen = onScreen(&popUp);
    keep(screen, "popup-question");
    QCOMPARE(QColor(screen.pixel(5, 5)), QColor(Qt::black));
    QVERIFY(near(screen.pixel(centreOn(&popUp, "pushButton_popUp_yes") + QPoint(0, 40)), kBlue));
    QVERIFY(showsWhiteText(screen, &popUp, "label_popUp_line1"));
    QVERIFY(showsWhiteText(screen, &popUp, "label_popUp_line2"));

    popUp.setOkMode();
    popUp.setText("Invalid or missing USB device", 1);
    popUp.setText("", 2);
    keep(onScreen(&popUp), "popup-message");
}

void TestRendering::errorPopUp_table()
{
    ErrorPopUp popUp;
    popUp.setErrors({"20261206-201501|Running menu|8|Pressure regulation failure|"
                     "/usr/share/vemla/logs/errors.log|1.3.0|118|"
                     "/usr/share/vemla/logs/production/118.log|3400|820|805|0|11110000",
                     "20261206-190212|Close drawer menu|3|Drawer is stopped due to obstacle|"
                     "/usr/share/vemla/logs/errors.log|1.3.0",
                     "20261205-081122|Initial pressurizing menu|5|Unexpected shutdown|"
                     "/usr/share/vemla/logs/errors.log|1.3.0|117"});
    const QImage screen = onScreen(&popUp);
    keep(screen, "errorpopup");
    // The background shows through: the list is laid over the instrument's picture.
    QVERIFY(!near(screen.pixel(5, 300), Qt::black) && !near(screen.pixel(5, 300), Qt::white));
    QVERIFY(showsWhiteText(screen, &popUp, "label_errorPopUp_title"));
    QVERIFY(showsWhiteText(screen, &popUp, "tableWidget_errors"));
    QVERIFY(near(screen.pixel(centreOn(&popUp, "pushButton_errorPopUp_back") + QPoint(0, 40)),
                 kBlue));
}

void TestRendering::licensePopUp_text()
{
    SandboxRoot sandbox;
    QByteArray text;
    for (int line = 0; line < 60; ++line)
        text += "Permission is hereby granted, free of charge, to any person obtaining a copy "
                "of this software, line "
                + QByteArray::number(line) + ".\n";
    sandbox.write("/usr/share/vemla/resources/licenses/MIT.txt", text);
    LicensePopUp popUp;
    popUp.show();
    QTableWidgetItem item("MIT");
    popUp.showLicense(&item);
    const QImage screen = onScreen(&popUp);
    keep(screen, "licensepopup");
    QVERIFY(showsWhiteText(screen, &popUp, "plainTextEdit_license"));
    QVERIFY(near(screen.pixel(centreOn(&popUp, "pushButton_licensePopUp_ok") + QPoint(0, 30)),
                 kBlue));
}

void TestRendering::keypad_numberAndDate()
{
    settingsPopUp pad;
    pad.reset();
    pad.setTitle("dPCR Line 1 Pre-ramp pressure");
    pad.setUnit(" mbar");
    pad.setKind(settingsPopUp::KIND_PRESSURE);
    pad.setCurrentValue("1000 mbar");
    pad.updateValue("1");
    pad.updateValue("5");
    QImage screen = onScreen(&pad);
    keep(screen, "keypad-number");
    QVERIFY(showsWhiteText(screen, &pad, "label_keypad_title"));
    QVERIFY(showsWhiteText(screen, &pad, "label_keypad_new_value"));
    QVERIFY(near(screen.pixel(centreOn(&pad, "pushButton_keypad_5") + QPoint(0, 35)), kBlue));

    pad.reset();
    pad.setTitle("Date & Time");
    pad.setDateTimeMode(DATEFORMAT_DAY_FIRST);
    pad.setKind(settingsPopUp::KIND_DATE_TIME);
    pad.setCurrentValue("06-12-2026 20:45:10");
    for (const char *digit : {"0", "7", "1", "2"})
        pad.updateValue(digit);
    screen = onScreen(&pad);
    keep(screen, "keypad-date");
    QVERIFY(showsWhiteText(screen, &pad, "label_keypad_date_format"));
    QVERIFY(showsWhiteText(screen, &pad, "label_keypad_current_value"));
}

void TestRendering::dropletAnimation_midPass()
{
    QWidget page;
    page.setFixedSize(1024, 600);
    page.setAttribute(Qt::WA_TranslucentBackground);
    DropletAnimation animation(&page);
    animation.move(142, 200);
    auto *sequence = animation.findChild<QSequentialAnimationGroup *>();
    sequence->start();
    sequence->pause();
    sequence->setCurrentTime(20000);
    const QImage screen = onScreen(&page);
    keep(screen, "dropletanimation");
    // The first droplet rests at the right-hand end of the cartridge.
    const QColor heap = screen.pixel(animation.pos() + QPoint(701, 161));
    const QColor cartridgeBody = screen.pixel(animation.pos() + QPoint(370, 185));
    QVERIFY(heap != cartridgeBody);
    sequence->stop();
}

QTEST_MAIN(TestRendering)
#include "tst_rendering.moc"
