// The power button's shutdown on a whole window: the countdown texts, when the pressure is
// released, the journal and its flag, and that nothing brings a menu back once it has begun.
// The button is pressed through its sysfs value file; the countdown's one-second timer is fired
// by hand.
#include "support/instrument.h"
#include "support/logcapture.h"

#include <QDir>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using namespace testwindow;

namespace {
const QString kButtonValue = "/sys/class/gpio/gpio160/value";
constexpr int kButtonPollMs = 1000;
// Long enough for the window's 100 ms hand-overs (pump, power-off) to have run.
constexpr int kHandOverMs = 150;

void pressPowerButton(Instrument &instrument)
{
    instrument.root.write(kButtonValue, "1\n");
    QTRY_COMPARE_WITH_TIMEOUT(instrument.window->menuState(), MenuState::Shutdown,
                              3 * kButtonPollMs);
}

// The countdown's timer: the only running repeating one-second timer once the shutdown began.
QTimer *countdownTimer(const Instrument &instrument)
{
    QTimer *found = nullptr;
    for (QTimer *timer : instrument.window->findChildren<QTimer *>()) {
        if (timer->isActive() && !timer->isSingleShot() && timer->interval() == 1000) {
            if (found)
                return nullptr;
            found = timer;
        }
    }
    return found;
}

bool ran(const Instrument &instrument, const std::string &prefix)
{
    for (const std::string &command : instrument.commands.commands()) {
        if (command.rfind(prefix, 0) == 0)
            return true;
    }
    return false;
}
} // namespace

class TestMainWindowShutdown : public QObject
{
    Q_OBJECT

private slots:
    void countdown_textsReleaseAndJournal_data();
    void countdown_textsReleaseAndJournal();
    void journalFlag_atStartUp_data();
    void journalFlag_atStartUp();
    void shutdown_isFinalWhateverArrives();
    void shutdown_coversOverlaysAndLateAnswers();
    void powerButton_duringStopQuestion_writesTheRunLog_data();
    void powerButton_duringStopQuestion_writesTheRunLog();
};

void TestMainWindowShutdown::countdown_textsReleaseAndJournal_data()
{
    QTest::addColumn<int>("vessel");
    QTest::addColumn<bool>("journalSaved");
    QTest::addColumn<QStringList>("texts"); // after each second of the countdown
    const QString releasing = "Releasing pressure in %1 seconds";
    const QStringList withRelease {releasing.arg(4),   releasing.arg(3),
                                   releasing.arg(2),   "Releasing pressure in 1 second",
                                   "Shutting down...", "Shutting down...",
                                   "Shutting down..."};
    QTest::newRow("highest valid reading, journal fails") << 9999 << false << withRelease;
    QTest::newRow("empty vessel") << 0 << true
                                  << QStringList {"Shutting down...", "Shutting down..."};
}

void TestMainWindowShutdown::countdown_textsReleaseAndJournal()
{
    QFETCH(int, vessel);
    QFETCH(bool, journalSaved);
    QFETCH(QStringList, texts);
    Instrument instrument;
    QDir().mkpath(instrument.root.file("/usr/share/vemla/logs/system"));
    instrument.commands.setResultFor("journalctl -b 0", journalSaved ? 0 : 256);
    instrument.reportVessel(vessel);
    QSignalSpy release(instrument.window.get(), &MainWindow::pressureRelease);
    QSignalSpy led(instrument.window.get(), &MainWindow::ledOutput);
    instrument.commands.clear();

    pressPowerButton(instrument);
    QCOMPARE(instrument.pageName(), QString("shutDown_Screen"));
    QCOMPARE(led.last().at(0).value<Led>(), I2C_LedControl::LED_MAGENTA);
    QTest::qWait(kHandOverMs);
    QCOMPARE(instrument.text("label_shutDown"),
             vessel ? QString("Releasing pressure in 5 seconds") : QString("Shutting down..."));

    QTimer *timer = countdownTimer(instrument);
    QVERIFY(timer);
    // The seconds are the test's from here: the timer stays running but never fires itself.
    timer->start(3600 * 1000);
    for (int second = 0; second < texts.size(); ++second) {
        // Released once, at the fifth second, and never without pressure in the vessel.
        QCOMPARE(release.size(), vessel && second > 4 ? 1 : 0);
        QVERIFY2(!ran(instrument, "journalctl"), "the journal is saved at the very end");
        QMetaObject::invokeMethod(timer, "timeout");
        QTest::qWait(second == 4 ? kHandOverMs : 0);
        QCOMPARE(instrument.text("label_shutDown"), texts[second]);
    }
    QVERIFY(!timer->isActive());
    QVERIFY(!instrument.widget<QLabel>("label_shutDown")->isEnabled());
    QCOMPARE(release.size(), vessel ? 1 : 0);
    QVERIFY(!ran(instrument, "poweroff"));
    QTest::qWait(kHandOverMs);
    // In this order: the journal, the stick flushed and unmounted, the power (the start-up's
    // stick check and the settings' syncs may come before).
    std::vector<std::string> ending;
    for (const std::string &command : instrument.commands.commands()) {
        if (!ending.empty() || command.rfind("journalctl", 0) == 0)
            ending.push_back(command);
    }
    const std::string root = instrument.root.root().toStdString();
    QString ran;
    for (const std::string &command : ending)
        ran += QString::fromStdString(command) + "\n";
    QVERIFY2(ending.size() == 3, qPrintable(ran));
    QVERIFY(ending[0].rfind(
                    "journalctl -b 0 > " + root + "/usr/share/vemla/logs/system/system_log_", 0)
            == 0);
    QCOMPARE(ending[1], "sync; umount " + root + "/media/sda1");
    QCOMPARE(ending[2], std::string("poweroff"));
    QCOMPARE(instrument.stored("system/system_log"), journalSaved ? 1 : 0);
}

void TestMainWindowShutdown::journalFlag_atStartUp_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("journalWorks");
    QTest::addColumn<bool>("captured");
    QTest::addColumn<QString>("message");
    QTest::newRow("after a power cut, no journal")
            << QByteArray("[system]\nsystem_log=0\n") << false << true
            << "Writing system log from previous boot: Failed";
    QTest::newRow("after an orderly shutdown")
            << QByteArray("[system]\nsystem_log=1\n") << true << false << QString();
}

void TestMainWindowShutdown::journalFlag_atStartUp()
{
    QFETCH(QByteArray, ini);
    QFETCH(bool, journalWorks);
    QFETCH(bool, captured);
    QFETCH(QString, message);
    SandboxRoot root;
    if (!ini.isEmpty())
        root.write(kIni, ini);
    CommandRecorder commands;
    commands.setResultFor("journalctl", journalWorks ? 0 : 256);
    LogCapture log;
    MainWindow window(nullptr);
    bool previousBoot = false;
    for (const std::string &command : commands.commands()) {
        previousBoot = previousBoot || command.rfind("journalctl -b -1 > ", 0) == 0;
        QVERIFY(command.rfind("journalctl -b 0", 0) != 0);
    }
    QCOMPARE(previousBoot, captured);
    if (!message.isEmpty())
        QVERIFY(log.contains(message));
    // Whatever the capture did, this boot's journal is still to be saved.
    QCOMPARE(QSettings(root.file(kIni), QSettings::IniFormat).value("system/system_log").toInt(),
             0);
}

void TestMainWindowShutdown::shutdown_isFinalWhateverArrives()
{
    Instrument instrument;
    instrument.reportVessel(3500);
    instrument.window->setState(MenuState::Home);
    instrument.window->setState(MenuState::CloseDrawer); // the drawer closing
    int shutdownEntries = 0;
    MainWindow::setStateObserver(
            [&](int state) { shutdownEntries += state == MenuState::Shutdown; });
    pressPowerButton(instrument);
    QSignalSpy led(instrument.window.get(), &MainWindow::ledOutput);
    // The button is held: polled on, it is not reported again.
    QTest::qWait(2 * kButtonPollMs + kHandOverMs);
    // During the countdown the drawer ends its move (its answer goes Home), a pressure check
    // asks for pressurizing, and an error comes in.
    instrument.window->setState(MenuState::Home);
    instrument.window->setState(MenuState::Pressurizing);
    emit instrument.window->systemError(ERROR_TEST);
    MainWindow::setStateObserver({});
    QCOMPARE(shutdownEntries, 1);
    QCOMPARE(instrument.window->menuState(), MenuState::Shutdown);
    QCOMPARE(instrument.pageName(), QString("shutDown_Screen"));
    QVERIFY(!Instrument::popUpShown());
    QVERIFY(led.isEmpty());
    QVERIFY(instrument.text("label_shutDown").startsWith("Releasing pressure in "));
}

void TestMainWindowShutdown::shutdown_coversOverlaysAndLateAnswers()
{
    Instrument instrument;
    instrument.reportVessel(3500);
    // The admin is setting the clock: the keypad is up over the settings.
    instrument.window->setState(MenuState::Home);
    instrument.logIn(kAdminPassword);
    instrument.click("pushButton_settingsMenu_more");
    instrument.click("pushButton_settings_time_date");
    instrument.click("pushButton_change_date");
    QVERIFY(Instrument::keypad()->isVisible());
    pressPowerButton(instrument);
    QVERIFY(!Instrument::keypad()->isVisible());
    QVERIFY(!instrument.widget("stackedWidget")->isHidden());
    QCOMPARE(instrument.pageName(), QString("shutDown_Screen"));

    // A log export still running reports on: its status does not cover the shutdown page.
    for (const char *status : {"Transferring...", "Logs are transferred"})
        QMetaObject::invokeMethod(instrument.window.get(), "onChangeStatusLabel",
                                  Q_ARG(QString, status));
    QVERIFY(!Instrument::popUpShown());
    QVERIFY(!instrument.widget("stackedWidget")->isHidden());
    QCOMPARE(instrument.pageName(), QString("shutDown_Screen"));
}

void TestMainWindowShutdown::powerButton_duringStopQuestion_writesTheRunLog_data()
{
    QTest::addColumn<bool>("answeredNo"); // the run's page is back, the state stays 6
    QTest::newRow("stop question up") << false;
    QTest::newRow("stop question answered No") << true;
}

void TestMainWindowShutdown::powerButton_duringStopQuestion_writesTheRunLog()
{
    QFETCH(bool, answeredNo);
    Instrument instrument("[production]\nid=8\n", {}, zeroPressureSettings("30"));
    const QString production = "/usr/share/vemla/logs/production";
    QDir().mkpath(instrument.root.file(production));
    instrument.reportVessel(5000);
    instrument.window->setState(MenuState::ModeSelection);
    instrument.click("pushButton_dpcr");
    instrument.click("pushButton_lane_2");
    instrument.window->setState(MenuState::RampUp);
    QTRY_COMPARE_WITH_TIMEOUT(instrument.window->menuState(), MenuState::Running, 3000);
    instrument.click("pushButton_running_stop");
    QCOMPARE(instrument.window->menuState(), MenuState::StopRunQuestion);
    if (answeredNo)
        instrument.click("pushButton_running_stop_no");
    QSignalSpy setPressure(instrument.window.get(), &MainWindow::setPressure);
    pressPowerButton(instrument);
    // The run log is written in the disk thread, which may lag behind on a busy machine.
    const QDir productionDir(instrument.root.file(production));
    QTRY_COMPARE(productionDir.entryList(QDir::Files).size(), 1);
    const QStringList logs = productionDir.entryList(QDir::Files);
    QVERIFY2(logs.first().startsWith("9_"), qPrintable(logs.first()));
    QCOMPARE(setPressure.size(), 1);
    QCOMPARE(setPressure.first(), (QList<QVariant> {0, 0, 0}));
    // The countdown no longer runs: the droplets-ready page does not come over the shutdown.
    QTest::qWait(1200);
    QCOMPARE(instrument.pageName(), QString("shutDown_Screen"));
}

QTEST_MAIN(TestMainWindowShutdown)
#include "tst_mainwindowshutdown.moc"
