// The drawer calibration and the service menu's drawer rows, driven through the window with
// the test standing in for the drawer's answers.
#include "hw/drawer.h"
#include "support/instrument.h"
#include "support/logcapture.h"

#include <QProgressBar>
#include <QSignalSpy>
#include <QtTest>

using namespace testwindow;

namespace {
using Samples = QList<QPair<int, int>>; // threshold, opening time (ms) per closing

int progress(const Instrument &instrument, const QString &page)
{
    return instrument.widget<QProgressBar>("progressBar_" + page)->value();
}

// From the start page to the ready page: open, insert, caution, three closing-and-opening
// cycles, each closing followed by its calibration sample as the drawer sends them.
void calibrate(const Instrument &instrument, const Samples &samples)
{
    Drawer *drawer = instrument.window->drawerDevice();
    QCOMPARE(instrument.window->menuState(), MenuState::CalibrationStart);
    instrument.click("pushButton_CalibrationStartScreen_open");
    QCOMPARE(instrument.window->menuState(), MenuState::CalibrationOpen);
    emit drawer->drawerIsOpened();
    QCOMPARE(instrument.window->menuState(), MenuState::CalibrationInsert);
    instrument.click("pushButton_CalibrationInsertScreen_ready");
    QCOMPARE(instrument.window->menuState(), MenuState::CalibrationCaution);
    instrument.click("pushButton_CalibrationInsertScreen_ready");
    for (int cycle = 0; cycle < samples.size(); ++cycle) {
        QCOMPARE(instrument.window->menuState(), MenuState::CalibrationInProgress);
        QCOMPARE(progress(instrument, "CalibrationInProgressScreen"), cycle + 5);
        emit drawer->drawerIsClosed();
        emit drawer->setNewCalibrationSample(uint16_t(samples[cycle].first),
                                             uint16_t(samples[cycle].second));
        emit drawer->drawerIsOpened();
    }
}

void enterServiceMenu(const Instrument &instrument)
{
    instrument.window->setState(MenuState::Home);
    instrument.logIn(kServiceCode);
    QCOMPARE(instrument.window->menuState(), MenuState::ServiceMenu);
}
} // namespace

class TestMainWindowCalibration : public QObject
{
    Q_OBJECT

private slots:
    void calibration_evaluateAndSave_data();
    void calibration_evaluateAndSave();
    void calibration_cancelAndRecalibrate_startsWithFreshSamples();
    void thresholdSteps_clampInTheirDirection_data();
    void thresholdSteps_clampInTheirDirection();
    void serviceSave_thresholdAndDrawerLog_data();
    void serviceSave_thresholdAndDrawerLog();
};

void TestMainWindowCalibration::calibration_evaluateAndSave_data()
{
    QTest::addColumn<Samples>("samples");
    QTest::addColumn<QString>("thresholdText");
    QTest::addColumn<QString>("openingText");
    QTest::addColumn<int>("storedThreshold");
    QTest::addColumn<int>("storedOpeningTime");

    QTest::newRow("largest threshold, truncated mean")
            << Samples {{1900, 5600}, {2450, 5400}, {2100, 5550}} << "2450  (old: 1500)"
            << "5516  (old: 5500)" << 2450 << 5516;
    QTest::newRow("openings up to 4500 ms are not samples")
            << Samples {{1600, 4400}, {1700, 5000}, {1650, 4500}} << "1700  (old: 1500)"
            << "5000  (old: 5500)" << 1700 << 5000;
    QTest::newRow("no opening accepted: 0 is stored with the threshold")
            << Samples {{1600, 4000}, {1700, 0}, {1650, 4500}} << "1700  (old: 1500)"
            << "0  (old: 5500)" << 1700 << 0;
    QTest::newRow("no threshold: nothing is stored")
            << Samples {{0, 5600}, {0, 5400}, {0, 5550}} << "0  (old: 1500)"
            << "5516  (old: 5500)" << 1500 << 5500;
}

void TestMainWindowCalibration::calibration_evaluateAndSave()
{
    QFETCH(Samples, samples);
    QFETCH(int, storedThreshold);
    Instrument instrument("[drawer]\nsafety_threshold=1500\nopening_time=5500\n");
    QSignalSpy moves(instrument.window.get(), &MainWindow::drawerMove);
    QSignalSpy calibrationArmed(instrument.window.get(), &MainWindow::enableDrawerCalibration);
    QSignalSpy highThreshold(instrument.window.get(), &MainWindow::enableTemporaryHighThreshold);
    QSignalSpy reload(instrument.window.get(), &MainWindow::drawerUpdateSettings);
    instrument.window->setState(MenuState::CalibrationStart);
    LogCapture log;
    instrument.commands.clear();
    calibrate(instrument, samples);

    QCOMPARE(instrument.window->menuState(), MenuState::CalibrationReady);
    QCOMPARE(progress(instrument, "CalibrationReadyScreen"), 8);
    QTEST(instrument.text("label_CalibrationReadyScreen_threshold_value"), "thresholdText");
    QTEST(instrument.text("label_CalibrationReadyScreen_opening_time_value"), "openingText");
    // Out for the insert, then in and out three times; armed before each measured closing.
    QList<int> directions;
    for (const QList<QVariant> &call : moves)
        directions << call.at(0).toInt();
    QCOMPARE(directions, (QList<int> {1, -1, 1, -1, 1, -1, 1}));
    QCOMPARE(calibrationArmed.count(), 3);
    QCOMPARE(highThreshold.count(), 3);
    // The drawer log directory was missing: made for the calibration's sample files.
    const std::string mkdir
            = "mkdir " + instrument.root.file("/usr/share/vemla/logs/drawer").toStdString();
    QCOMPARE(instrument.commands.commands(), std::vector<std::string> {mkdir});

    instrument.commands.clear();
    instrument.click("pushButton_CalibrationReadyScreen_save");
    // The finished page follows once the values are on the medium.
    QTRY_COMPARE(instrument.window->menuState(), MenuState::CalibrationFinished);
    QCOMPARE(reload.count(), 1);
    QCOMPARE(instrument.stored("drawer/safety_threshold"), storedThreshold);
    QTEST(instrument.stored("drawer/opening_time"), "storedOpeningTime");
    if (storedThreshold == 1500) {
        QVERIFY(log.contains("Error: Failed to save calibration"));
        QVERIFY(instrument.commands.commands().empty());
    } else {
        QCOMPARE(instrument.commands.commands(), std::vector<std::string> {"sync"});
    }
    instrument.click("pushButton_CalibrationFinishedScreen_close");
    QCOMPARE(instrument.window->menuState(), MenuState::CloseDrawer);
}

void TestMainWindowCalibration::calibration_cancelAndRecalibrate_startsWithFreshSamples()
{
    Instrument instrument("[drawer]\nsafety_threshold=1800\nopening_time=5200\n");
    instrument.window->setState(MenuState::CalibrationStart);
    calibrate(instrument, {{3000, 5600}, {3100, 5600}, {3200, 5600}});
    instrument.click("pushButton_CalibrationReadyScreen_cancel");
    QCOMPARE(progress(instrument, "CalibrationCancelScreen"), 8);

    // Yes: back to the insert page with the drawer still out.
    instrument.click("pushButton_CalibrationCancelScreen_yes");
    QCOMPARE(instrument.window->menuState(), MenuState::CalibrationInsert);
    instrument.click("pushButton_CalibrationInsertScreen_ready");
    instrument.click("pushButton_CalibrationInsertScreen_ready");
    Drawer *drawer = instrument.window->drawerDevice();
    for (int cycle = 0; cycle < 3; ++cycle) {
        emit drawer->drawerIsClosed();
        emit drawer->setNewCalibrationSample(2000, 5300);
        emit drawer->drawerIsOpened();
    }
    QCOMPARE(instrument.window->menuState(), MenuState::CalibrationReady);
    QCOMPARE(instrument.text("label_CalibrationReadyScreen_threshold_value"),
             QString("2000  (old: 1800)"));
    QCOMPARE(instrument.text("label_CalibrationReadyScreen_opening_time_value"),
             QString("5300  (old: 5200)"));

    // Cancel, No: finished, and the stored values untouched.
    instrument.click("pushButton_CalibrationReadyScreen_cancel");
    instrument.click("pushButton_CalibrationCancelScreen_no");
    QCOMPARE(instrument.window->menuState(), MenuState::CalibrationFinished);
    QCOMPARE(instrument.stored("drawer/safety_threshold"), 1800);
    QCOMPARE(instrument.stored("drawer/opening_time"), 5200);
}

void TestMainWindowCalibration::thresholdSteps_clampInTheirDirection_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("shown");

    QTest::newRow("3995 +10") << 3995 << "p"
                              << "4000";
    QTest::newRow("1250 -100") << 1250 << "mm"
                               << "1200";
    QTest::newRow("1210 -10") << 1210 << "m"
                              << "1200";
    // A calibrated threshold above the manual range can still be lowered step by step.
    QTest::newRow("4095 -10") << 4095 << "m"
                              << "4085";
}

void TestMainWindowCalibration::thresholdSteps_clampInTheirDirection()
{
    QFETCH(int, stored);
    QFETCH(QString, button);
    Instrument instrument(QString("[drawer]\nsafety_threshold=%1\n").arg(stored).toUtf8());
    enterServiceMenu(instrument);
    instrument.click("pushButton_drawer_prop");
    instrument.click("pushButton_safety_threshold");
    QCOMPARE(instrument.text("label_ds_threshold"), QString::number(stored));
    instrument.click("pushButton_ds_threshold_" + button);
    QTEST(instrument.text("label_ds_threshold"), "shown");
}

void TestMainWindowCalibration::serviceSave_thresholdAndDrawerLog_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<int>("storedThreshold");
    QTest::addColumn<QString>("line1");
    QTest::addColumn<QString>("line2");
    QTest::addColumn<bool>("loggingOn");

    QTest::newRow("nothing changed")
            << QStringList {} << 1500 << "Drawer safety threshold is unchanged"
            << "Drawer logging is disabled" << false;
    QTest::newRow("threshold up, logging on")
            << QStringList {"pushButton_safety_threshold", "pushButton_ds_threshold_pp",
                            "pushButton_safety_threshold", "pushButton_drawer_log",
                            "pushButton_dl_change"}
            << 1600 << "Drawer safety threshold is changed"
            << "Drawer logging is enabled" << true;
    QTest::newRow("threshold up and down again")
            << QStringList {"pushButton_safety_threshold", "pushButton_ds_threshold_pp",
                            "pushButton_ds_threshold_m", "pushButton_ds_threshold_mm",
                            "pushButton_ds_threshold_p"}
            << 1500 << "Drawer safety threshold is unchanged"
            << "Drawer logging is disabled" << false;
    QTest::newRow("logging switched on and off")
            << QStringList {"pushButton_drawer_log", "pushButton_dl_change", "pushButton_dl_change"}
            << 1500 << "Drawer safety threshold is unchanged"
            << "Drawer logging is disabled" << false;
    // Opening the row again shows the logging in force: the unsaved choice is gone.
    QTest::newRow("logging switched on, row reopened")
            << QStringList {"pushButton_drawer_log", "pushButton_dl_change",
                            "pushButton_drawer_log", "pushButton_drawer_log"}
            << 1500 << "Drawer safety threshold is unchanged"
            << "Drawer logging is disabled" << false;
}

void TestMainWindowCalibration::serviceSave_thresholdAndDrawerLog()
{
    QFETCH(QStringList, clicks);
    QFETCH(bool, loggingOn);
    Instrument instrument("[drawer]\nsafety_threshold=1500\nopening_time=5480\n");
    QSignalSpy reload(instrument.window.get(), &MainWindow::drawerUpdateSettings);
    QSignalSpy logOn(instrument.window.get(), &MainWindow::drawerLogEnabled);
    QSignalSpy logOff(instrument.window.get(), &MainWindow::drawerLogDisabled);
    enterServiceMenu(instrument);
    instrument.click("pushButton_drawer_prop");
    instrument.click("pushButton_drawer_opening_time");
    QCOMPARE(instrument.text("label_drawer_opening_time_value"), QString("5480 ms"));
    instrument.click("pushButton_drawer_opening_time");
    for (const QString &button : clicks)
        instrument.click(button);
    instrument.commands.clear();
    instrument.click("pushButton_serviceMenu_save");

    QTEST(Instrument::popUpLine(1), "line1");
    QTEST(Instrument::popUpLine(2), "line2");
    Instrument::answer("ok");
    QTEST(instrument.stored("drawer/safety_threshold"), "storedThreshold");
    QCOMPARE(reload.count(), 1);
    QCOMPARE(logOn.count(), loggingOn ? 1 : 0);
    QCOMPARE(logOff.count(), loggingOn ? 0 : 1);
    QCOMPARE(instrument.commands.commands().size(), size_t(loggingOn ? 1 : 0)); // sync if changed

    // The choice is remembered for the next visit of the drawer-log row.
    instrument.click("pushButton_drawer_log");
    if (!instrument.shown("pushButton_dl_change"))
        instrument.click("pushButton_drawer_log");
    QCOMPARE(instrument.text("label_dl"), QString(loggingOn ? "Enabled" : "Disabled"));
}

QTEST_MAIN(TestMainWindowCalibration)
#include "tst_mainwindowcalibration.moc"
