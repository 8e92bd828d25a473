// The admin's pressure settings editor, driven through the window: levels, keypad, save.
#include "support/instrument.h"

#include <QDir>
#include <QtTest>

using namespace testwindow;

namespace {
const QString kSettingsFile = "/usr/share/vemla/resources/pressure_settings.inc";

// Deliberately not in key order, so that a save shows whether the file is rewritten sorted.
const QByteArray kSettings = "dpcr_line_3_rampUpTime:\"30\"\n"
                             "dpcr_line_1_target:\"1000\"\n"
                             "dpcr_line_1_preRamp:\"110\"\n"
                             "dmda_line_2_target:\"1000\"\n"
                             "dmda_line_2_rampUpTime:\"40\"\n"
                             "dmda_line_2_preRamp:\"100\"\n"
                             "dmda_active_time:\"900\"\n";

QByteArray sortedSettings(const QByteArray &changedKey = {}, int value = 0)
{
    QList<QByteArray> lines = kSettings.trimmed().split('\n');
    std::sort(lines.begin(), lines.end());
    QByteArray file;
    for (const QByteArray &line : lines) {
        if (!changedKey.isEmpty() && line.startsWith(changedKey + ":"))
            file += changedKey + ":\"" + QByteArray::number(value) + "\"\n";
        else
            file += line + "\n";
    }
    return file;
}

QString keypadText(const char *label)
{
    return Instrument::keypad()->findChild<QLabel *>(label)->text();
}

void type(const QString &digits)
{
    for (QChar digit : digits)
        Instrument::keypad()
                ->findChild<QPushButton *>(QString("pushButton_keypad_") + digit)
                ->click();
    Instrument::keypad()->findChild<QPushButton *>("pushButton_keypad_enter")->click();
}

void logInAsAdmin(const Instrument &instrument)
{
    instrument.window->setState(MenuState::Home);
    instrument.logIn(kAdminPassword);
    QCOMPARE(instrument.pageName(), QString("SettingsMenuScreen"));
}

const char *const kDpcr = "pushButton_settingsPressureModeSelection_DPCR";
const char *const kDmda = "pushButton_settingsPressureModeSelection_DMDA";
const QStringList kLevel1Buttons = {kDpcr,
                                    kDmda,
                                    "pushButton_settingsMenu_releasePressure",
                                    "pushButton_settingsMenu_password",
                                    "pushButton_settingsMenu_logFile",
                                    "pushButton_settingsMenu_more"};
const QStringList kLineButtons
        = {"pushButton_line_1", "pushButton_line_2", "pushButton_line_3", "pushButton_active_time"};
} // namespace

class TestMainWindowPressureEditor : public QObject
{
    Q_OBJECT

private slots:
    void navigation_levelsLockAndBackClimbs();
    void keypad_titleLimitAndKeyPerField_data();
    void keypad_titleLimitAndKeyPerField();
    void save_onlyWhatDiffersFromTheValuesInForce();
    void save_unwritableFile_isReportedAndKeepsTheValuesInForce();
};

void TestMainWindowPressureEditor::navigation_levelsLockAndBackClimbs()
{
    Instrument instrument({}, {}, kSettings);
    logInAsAdmin(instrument);
    for (const QString &button : kLevel1Buttons)
        QVERIFY2(instrument.shown(button), qPrintable(button));
    for (const QString &button : kLineButtons)
        QVERIFY(!instrument.shown(button));

    // A mode locks the rest of level 1 and offers the lines.
    instrument.click(kDmda);
    QVERIFY(instrument.shown(kDmda));
    for (const QString &button : kLevel1Buttons.mid(0, 1) + kLevel1Buttons.mid(2))
        QVERIFY2(!instrument.widget<QPushButton>(button)->isEnabled(), qPrintable(button));
    for (const QString &button : kLineButtons)
        QVERIFY(instrument.shown(button));

    // A line shows its three values; the others are locked.
    instrument.click("pushButton_line_2");
    QVERIFY(!instrument.widget<QPushButton>("pushButton_line_1")->isEnabled());
    QCOMPARE(instrument.widget<QPushButton>("pushButton_change_1")->text(),
             QString("Pre-ramp pressure"));
    QCOMPARE(instrument.text("label_change_1_value"), QString("100 mbar"));
    QCOMPARE(instrument.text("label_change_2_value"), QString("1000 mbar"));
    QCOMPARE(instrument.text("label_change_3_value"), QString("40 s"));

    // The line pressed again closes it; the active time has one field only.
    instrument.click("pushButton_line_2");
    QVERIFY(!instrument.shown("pushButton_change_1"));
    QVERIFY(instrument.shown("pushButton_line_1"));
    instrument.click("pushButton_active_time");
    QCOMPARE(instrument.widget<QPushButton>("pushButton_change_1")->text(), QString("Active time"));
    QCOMPARE(instrument.text("label_change_1_value"), QString("900 s"));
    QVERIFY(!instrument.shown("pushButton_change_2"));

    // The mode pressed again from the value level returns to level 1 at once.
    instrument.click(kDmda);
    for (const QString &button : kLevel1Buttons)
        QVERIFY(instrument.shown(button));
    QVERIFY(!instrument.shown("pushButton_change_1"));

    // Back climbs one level at a time, then leaves for home.
    instrument.click(kDpcr);
    instrument.click("pushButton_line_1");
    instrument.click("pushButton_settingsMenu_back");
    QVERIFY(!instrument.shown("pushButton_change_1"));
    for (const QString &button : kLineButtons)
        QVERIFY(instrument.shown(button));
    instrument.click("pushButton_settingsMenu_back");
    QCOMPARE(instrument.window->menuState(), MenuState::Settings);
    instrument.click("pushButton_settingsMenu_back");
    QCOMPARE(instrument.window->menuState(), MenuState::Home);
}

void TestMainWindowPressureEditor::keypad_titleLimitAndKeyPerField_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<int>("stored");

    // 2001 is over the pressure limit: the last digit is refused.
    QTest::newRow("dPCR line 1 pre-ramp, limit 2000")
            << kDpcr << "pushButton_line_1"
            << "pushButton_change_1"
            << "dPCR Line 1 Pre-ramp pressure"
            << "110 mbar"
            << "2001"
            << "200 mbar" << QByteArray("dpcr_line_1_preRamp") << 200;
    QTest::newRow("dPCR line 3 ramp-up, limit 120")
            << kDpcr << "pushButton_line_3"
            << "pushButton_change_3"
            << "dPCR Line 3 Ramp-up time"
            << "30 s"
            << "121"
            << "12 s" << QByteArray("dpcr_line_3_rampUpTime") << 12;
    QTest::newRow("dMDA active time, limit 7200")
            << kDmda << "pushButton_active_time"
            << "pushButton_change_1"
            << "dMDA Active time"
            << "900 s"
            << "7201"
            << "720 s" << QByteArray("dmda_active_time") << 720;
}

void TestMainWindowPressureEditor::keypad_titleLimitAndKeyPerField()
{
    QFETCH(QString, field);
    QFETCH(QString, shown);
    QFETCH(QByteArray, key);
    QFETCH(int, stored);
    Instrument instrument({}, {}, kSettings);
    logInAsAdmin(instrument);
    QFETCH(QString, mode);
    QFETCH(QString, line);
    instrument.click(mode);
    instrument.click(line);
    instrument.click(field);
    QVERIFY(Instrument::keypad()->isVisible());
    QVERIFY(instrument.widget("stackedWidget")->isHidden());
    QTEST(keypadText("label_keypad_title"), "title");
    QTEST(keypadText("label_keypad_current_value"), "current");

    QFETCH(QString, typed);
    type(typed);
    QVERIFY(!Instrument::keypad()->isVisible());
    QVERIFY(!instrument.widget("stackedWidget")->isHidden());
    const QString valueLabel = field == "pushButton_change_1" ? "label_change_1_value"
            : field == "pushButton_change_2"                  ? "label_change_2_value"
                                                              : "label_change_3_value";
    QCOMPARE(instrument.text(valueLabel), shown);
    // Nothing reaches the file before the save.
    QCOMPARE(instrument.root.read(kSettingsFile), kSettings);

    instrument.click("pushButton_settingsMenu_save");
    QCOMPARE(instrument.pageName(), QString("saveSettingsScreen"));
    instrument.click("pushButton_save_settings_y");
    QCOMPARE(Instrument::popUpLine(1), QString("Settings Saved"));
    QCOMPARE(Instrument::popUpLine(2), QString());
    Instrument::answer("ok");
    QCOMPARE(instrument.pageName(), QString("SettingsMenuScreen"));
    // The whole map, in ascending key order, with the one value changed.
    QCOMPARE(instrument.root.read(kSettingsFile), sortedSettings(key, stored));
}

void TestMainWindowPressureEditor::save_onlyWhatDiffersFromTheValuesInForce()
{
    Instrument instrument({}, {}, kSettings);
    logInAsAdmin(instrument);
    // The same value typed again is no change.
    instrument.click(kDmda);
    instrument.click("pushButton_line_2");
    instrument.click("pushButton_change_2");
    type("1000");
    instrument.click("pushButton_settingsMenu_save");
    QCOMPARE(Instrument::popUpLine(1), QString("Nothing to save"));
    QCOMPARE(Instrument::popUpLine(2), QString());
    Instrument::answer("ok");

    // "No" keeps the edit in the working copy, and the file as it was.
    instrument.click("pushButton_change_2");
    type("1500");
    instrument.click("pushButton_settingsMenu_save");
    instrument.click("pushButton_save_settings_n");
    QCOMPARE(instrument.pageName(), QString("SettingsMenuScreen"));
    QCOMPARE(instrument.root.read(kSettingsFile), kSettings);
    QCOMPARE(instrument.text("label_change_2_value"), QString("1500 mbar"));

    // Opening the editor again starts from the values in force.
    instrument.click("pushButton_settingsMenu_back");
    instrument.click("pushButton_settingsMenu_back");
    instrument.click("pushButton_settingsMenu_back");
    logInAsAdmin(instrument);
    instrument.click("pushButton_settingsMenu_save");
    QCOMPARE(Instrument::popUpLine(1), QString("Nothing to save"));
    Instrument::answer("ok");
}

void TestMainWindowPressureEditor::save_unwritableFile_isReportedAndKeepsTheValuesInForce()
{
    Instrument instrument({}, {}, kSettings);
    // A directory where the file belongs: nothing can be renamed over it.
    instrument.root.remove(kSettingsFile);
    QVERIFY(QDir().mkpath(instrument.root.file(kSettingsFile)));
    logInAsAdmin(instrument);
    instrument.click(kDpcr);
    instrument.click("pushButton_line_1");
    instrument.click("pushButton_change_2");
    type("1200");
    instrument.click("pushButton_settingsMenu_save");
    instrument.click("pushButton_save_settings_y");
    QCOMPARE(Instrument::popUpLine(1), QString("Settings not saved"));
    Instrument::answer("ok");
    QCOMPARE(instrument.pageName(), QString("SettingsMenuScreen"));
    // The edit is still pending, so the operator can save again.
    instrument.click("pushButton_settingsMenu_save");
    QCOMPARE(instrument.pageName(), QString("saveSettingsScreen"));
}

QTEST_MAIN(TestMainWindowPressureEditor)
#include "tst_mainwindowpressureeditor.moc"
