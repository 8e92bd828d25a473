// The stick as the window meets it: the update offer after each check, the restore after an
// update, the update's start, and the log export question on a stick that is not mounted.
#include "support/instrument.h"
#include "support/logcapture.h"
#include "support/mountedvolumes.h"

#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

using testwindow::Instrument;

namespace {
const QString kTrigger = "/tmp/vemla_sw_update.txt";
const QString kStick = "/media/sda1";
const QString kMarker = "/media/sda1/.swupgraded";
const QString kBackup = "/media/sda1/vemla-backup.ini";
const QByteArray kSettings = "[drawer]\nsafety_threshold=2450\n[production]\nid=40\n";
// The presence check runs 500 ms after a change in /dev.
constexpr int kCheckMs = 3000;

// What the window prints on standard output (printf, not std::cout) while it lives.
class StdoutCapture
{
public:
    StdoutCapture()
    {
        std::fflush(stdout);
        saved = ::dup(STDOUT_FILENO);
        file.open();
        ::dup2(file.handle(), STDOUT_FILENO);
    }
    ~StdoutCapture()
    {
        std::fflush(stdout);
        ::dup2(saved, STDOUT_FILENO);
        ::close(saved);
    }
    QByteArray text()
    {
        std::fflush(stdout);
        QFile copy(file.fileName());
        return copy.open(QIODevice::ReadOnly) ? copy.readAll() : QByteArray();
    }

private:
    QTemporaryFile file;
    int saved = -1;
};

bool ran(const Instrument &instrument, const std::string &fragment)
{
    for (const std::string &command : instrument.commands.commands()) {
        if (command.find(fragment) != std::string::npos)
            return true;
    }
    return false;
}
} // namespace

class TestMainWindowUsb : public QObject
{
    Q_OBJECT

private slots:
    void updateCheck_offerAndRestore_data();
    void updateCheck_offerAndRestore();
    void updateStart_data();
    void updateStart();
    void exportQuestion_answers_data();
    void exportQuestion_answers();
};

void TestMainWindowUsb::updateCheck_offerAndRestore_data()
{
    QTest::addColumn<QString>("trigger"); // "file", "folder"
    QTest::addColumn<bool>("mountPoint");
    QTest::addColumn<bool>("marker");
    QTest::addColumn<QString>("backup"); // its content, "" none, "link" a link
    QTest::addColumn<bool>("offered");
    QTest::addColumn<bool>("restored"); // marker and backup removed, drawer told
    QTest::addColumn<int>("threshold"); // afterwards
    QTest::addColumn<int>("productionId");

    QTest::newRow("trigger and stick: offered")
            << "file" << true << false << "" << true << false << 2450 << 40;
    QTest::newRow("trigger a folder: no offer")
            << "folder" << true << false << "" << false << false << 2450 << 40;
    QTest::newRow("trigger without /media/sda1: no offer")
            << "file" << false << false << "" << false << false << 2450 << 40;
    QTest::newRow("after an update: restored, cleaned, no offer")
            << "file" << true << true << "[drawer]\nsafety_threshold=3000\n[production]\nid=41\n"
            << false << true << 3000 << 41;
    QTest::newRow("no backup: restore failed, marker kept")
            << "file" << true << true << "" << true << false << 2450 << 40;
    QTest::newRow("forged backup: refused values kept, stick cleaned")
            << "file" << true << true << "[drawer]\nsafety_threshold=65535\n[production]\nid=3\n"
            << false << true << 2450 << 40;
    QTest::newRow("backup a link into the instrument: refused, marker kept")
            << "file" << true << true << "link" << true << false << 2450 << 40;
}

void TestMainWindowUsb::updateCheck_offerAndRestore()
{
    QFETCH(QString, trigger);
    QFETCH(bool, mountPoint);
    QFETCH(bool, marker);
    QFETCH(QString, backup);
    QFETCH(bool, offered);
    QFETCH(bool, restored);
    auto out = std::make_unique<StdoutCapture>();
    Instrument instrument(kSettings);
    QSignalSpy drawerReload(instrument.window.get(), &MainWindow::drawerUpdateSettings);
    LogCapture log;
    // All in place before the window's first check, as the attach script leaves it.
    instrument.root.write("/dev/sda1", "");
    if (trigger == "file")
        instrument.root.write(kTrigger, "");
    else
        QDir().mkpath(instrument.root.file(kTrigger));
    if (mountPoint)
        QDir().mkpath(instrument.root.file(kStick));
    if (marker)
        instrument.root.write(kMarker, "");
    if (backup == "link") {
        instrument.root.write("/usr/share/vemla/resources/old.ini",
                              "[drawer]\nsafety_threshold=3000\n");
        QVERIFY(QFile::link(instrument.root.file("/usr/share/vemla/resources/old.ini"),
                            instrument.root.file(kBackup)));
    } else if (!backup.isEmpty()) {
        instrument.root.write(kBackup, backup.toUtf8());
    }

    const bool checked = QTest::qWaitFor(
            [&] {
                const QStringList lines = log.lines();
                return std::any_of(lines.begin(), lines.end(), [](const QString &line) {
                    return line.startsWith("isUpdateAvailable");
                });
            },
            kCheckMs);
    const QByteArray printed = out->text();
    out.reset(); // the test's own report goes to standard output again
    QVERIFY(checked);
    QCOMPARE(instrument.shown("pushButton_sw_update"), offered);
    QCOMPARE(printed.contains("SW update trigger file does not exist\n"), !offered);
    QCOMPARE(ran(instrument, "rm " + instrument.root.file(kMarker).toStdString() + ";"), restored);
    QCOMPARE(ran(instrument, "rm " + instrument.root.file(kBackup).toStdString()), restored);
    QCOMPARE(!drawerReload.isEmpty(), restored);
    QTEST(instrument.stored("drawer/safety_threshold"), "threshold");
    QTEST(instrument.stored("production/id"), "productionId");
}

void TestMainWindowUsb::updateStart_data()
{
    QTest::addColumn<bool>("mounted");
    QTest::newRow("offered, then unmounted before Yes: aborted") << false;
    QTest::newRow("mounted, a dangling link where the backup goes") << true;
}

void TestMainWindowUsb::updateStart()
{
    QFETCH(bool, mounted);
    Instrument instrument(kSettings);
    LogCapture log;
    instrument.root.write("/dev/sda1", "");
    instrument.root.write(kTrigger, "");
    QDir().mkpath(instrument.root.file(kStick));
    const QString forged = "/usr/share/vemla/resources/forged.ini";
    QDir().mkpath(instrument.root.file("/usr/share/vemla/resources"));
    QVERIFY(QFile::link(instrument.root.file(forged), instrument.root.file(kBackup)));
    MountedVolumes volumes(mounted ? QStringList {kStick} : QStringList {});
    QTRY_VERIFY_WITH_TIMEOUT(instrument.shown("pushButton_sw_update"), kCheckMs);
    instrument.click("pushButton_sw_update");
    QCOMPARE(instrument.pageName(), QString("swUpdateScreen_main"));
    instrument.click("pushButton_swUpdate_yes");

    if (!mounted) {
        QVERIFY(log.contains("USB content not available anymore, aborting SW update"));
        QCOMPARE(instrument.window->menuState(), MenuState::Home);
        QVERIFY(!instrument.shown("pushButton_sw_update"));
    } else {
        QVERIFY(log.contains("Mount point found: /media/sda1"));
        QCOMPARE(instrument.pageName(), QString("swUpdateScreen"));
    }
    // The backup never lands where a link on the stick points.
    QVERIFY(!instrument.root.exists(forged));
}

void TestMainWindowUsb::exportQuestion_answers_data()
{
    QTest::addColumn<QString>("stick"); // "none", "not mounted", "mounted"
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("shown"); // the pop-up's first line at the end, "" none
    QTest::newRow("no") << "mounted"
                        << "no"
                        << "";
    QTest::newRow("yes, no stick") << "none"
                                   << "yes"
                                   << "Invalid or missing USB device";
    QTest::newRow("yes, the stick's node but nothing mounted") << "not mounted"
                                                               << "yes"
                                                               << "Invalid or missing USB device";
    QTest::newRow("yes, a mounted stick") << "mounted"
                                          << "yes"
                                          << "Logs are transferred";
}

void TestMainWindowUsb::exportQuestion_answers()
{
    QFETCH(QString, stick);
    QFETCH(QString, answer);
    QFETCH(QString, shown);
    Instrument instrument(kSettings);
    LogCapture log;
    instrument.root.write("/usr/share/vemla/logs/errors.log", "error 1\n");
    QDir().mkpath(instrument.root.file(kStick));
    if (stick != "none")
        instrument.root.write("/dev/sda1", "");
    MountedVolumes volumes(stick == "mounted" ? QStringList {kStick} : QStringList {});
    QTRY_VERIFY_WITH_TIMEOUT(
            log.contains("isUsbAvailable " + QString(stick == "none" ? "false" : "true")),
            kCheckMs);
    instrument.logIn(testwindow::kAdminPassword);
    instrument.click("pushButton_settingsMenu_logFile");
    QCOMPARE(Instrument::popUpLine(1), QString("This will copy all log files to USB drive."));
    instrument.commands.setPassThrough(true); // the real copy
    Instrument::answer(answer);

    if (shown.isEmpty()) {
        QTest::qWait(200);
        QVERIFY(!Instrument::popUpShown());
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(Instrument::popUpLine(1), shown, kCheckMs);
        QVERIFY(Instrument::popUpShown());
    }
    // Only a mounted stick receives anything; the instrument's own folder never does.
    QCOMPARE(instrument.root.exists(kStick + "/logs/errors.log"), shown == "Logs are transferred");
}

QTEST_MAIN(TestMainWindowUsb)
#include "tst_mainwindowusb.moc"
