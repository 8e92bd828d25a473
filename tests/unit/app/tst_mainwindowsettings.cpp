// The settings pages behind the password: sub-pages, date and time.
#include "support/instrument.h"

#include <QTableWidget>
#include <QtTest>

using namespace testwindow;

class TestMainWindowSettings : public QObject
{
    Q_OBJECT

private slots:
    void subPages_toggleAndLockTheOtherButtons();
    void dateAndTime_entry_data();
    void dateAndTime_entry();
};

void TestMainWindowSettings::subPages_toggleAndLockTheOtherButtons()
{
    Instrument instrument("[production]\nid=12\n");
    instrument.click("pushButton_settingsMenu_more");
    QCOMPARE(instrument.pageName(), QString("SettingsMenuScreen_2"));
    QVERIFY(instrument.widget("label_sw_ver_value")->isHidden());

    instrument.click("pushButton_settings_gen_info");
    QVERIFY(!instrument.widget("label_sw_ver_value")->isHidden());
    QCOMPARE(instrument.text("label_prod_id_value"), QString("12"));
    QVERIFY(!instrument.widget<QPushButton>("pushButton_settings_about")->isEnabled());
    instrument.click("pushButton_settings_gen_info");
    QVERIFY(instrument.widget("label_sw_ver_value")->isHidden());
    QVERIFY(instrument.widget<QPushButton>("pushButton_settings_about")->isEnabled());

    // Back closes an open sub-page first, then leaves the page.
    instrument.root.write("/usr/share/vemla/resources/Korvand_Licenses.txt",
                          "qtbase\tLGPL-3.0 | GPL-3.0\n\nzlib\tZlib\n");
    instrument.click("pushButton_settings_about");
    auto *licenses = instrument.widget<QTableWidget>("tableWidget_licenses");
    QVERIFY(!licenses->isHidden());
    QCOMPARE(licenses->item(1, 0)->text(), QString("zlib"));
    instrument.click("pushButton_settingsMenu_2_back");
    QCOMPARE(instrument.pageName(), QString("SettingsMenuScreen_2"));
    QVERIFY(instrument.widget("tableWidget_licenses")->isHidden());
    instrument.click("pushButton_settingsMenu_2_back");
    QCOMPARE(instrument.pageName(), QString("SettingsMenuScreen"));

    // Display pressure: only the arrow that changes something is enabled.
    instrument.click("pushButton_settingsMenu_more");
    instrument.click("pushButton_settings_advanced");
    QVERIFY(!instrument.widget<QPushButton>("pushButton_display_pressure_left")->isEnabled());
    instrument.click("pushButton_display_pressure_right");
    QVERIFY(!instrument.widget<QPushButton>("pushButton_display_pressure_right")->isEnabled());
    instrument.click("pushButton_display_pressure_left");
    QCOMPARE(instrument.text("pressureTextLabel"), QString());
    QCOMPARE(instrument.text("pressureValueLabel"), QString());
}

void TestMainWindowSettings::dateAndTime_entry_data()
{
    QTest::addColumn<QString>("entered");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<int>("storedFormat");

    QTest::newRow("valid, day first")
            << "24-12-2026 18:30:05" << 0 << "Date & time changed"
            << QStringList {"timedatectl set-ntp false",
                            "timedatectl set-time \"2026-12-24 18:30:05\"", "hwclock -w", "sync"}
            << 0;
    QTest::newRow("valid, month first, format stored")
            << "12-24-2026 18:30:05" << 1 << "Date & time changed"
            << QStringList {"timedatectl set-ntp false",
                            "timedatectl set-time \"2026-12-24 18:30:05\"", "hwclock -w", "sync"}
            << 1;
    QTest::newRow("31st of February")
            << "31-02-2026 10:00:00" << 0 << "Invalid date & time" << QStringList() << 0;
    QTest::newRow("untouched mask changes the format only")
            << "__-__-____ __:__:__" << 1 << "" << QStringList() << 1;
}

void TestMainWindowSettings::dateAndTime_entry()
{
    QFETCH(QString, entered);
    QFETCH(int, format);
    QFETCH(QString, message);
    QFETCH(QStringList, commands);
    Instrument instrument;
    instrument.click("pushButton_settingsMenu_more");
    instrument.click("pushButton_settings_time_date");
    const QString before = instrument.text("label_date_time");
    instrument.click("pushButton_change_date");
    QVERIFY(Instrument::keypad()->isVisible());
    instrument.commands.clear();

    emit Instrument::keypad()->updateDateAndTime(entered, ::dateFormat(format));
    QVERIFY(!Instrument::keypad()->isVisible());
    QCOMPARE(instrument.pageName(), QString("SettingsMenuScreen_2"));
    QCOMPARE(Instrument::popUpShown(), !message.isEmpty());
    if (!message.isEmpty())
        QCOMPARE(Instrument::popUpLine(1), message);
    QStringList ran;
    for (const std::string &command : instrument.commands.commands())
        ran << QString::fromStdString(command);
    QCOMPARE(ran, commands);
    QTEST(instrument.stored("system/date_format"), "storedFormat");
    if (!commands.isEmpty())
        QCOMPARE(instrument.text("label_date_time"), entered);
    if (Instrument::popUpShown())
        Instrument::answer("ok");
}

QTEST_MAIN(TestMainWindowSettings)
#include "tst_mainwindowsettings.moc"
