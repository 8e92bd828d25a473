// The window's side of the vessel pressure: the thinned-out reports and the once-per-second
// pressurizing check, driven by calling the report slot and firing the check's timer.
#include "support/instrument.h"

#include <QProgressBar>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using namespace testwindow;

namespace {

constexpr int kCheckPeriodMs = 1000;

// The pressurizing check runs on the window's only running one-second timer.
QTimer *checkTimer(const Instrument &instrument)
{
    for (QTimer *timer : instrument.window->findChildren<QTimer *>()) {
        if (timer->interval() == kCheckPeriodMs && timer->isActive() && !timer->isSingleShot())
            return timer;
    }
    return nullptr;
}

bool runCheck(const Instrument &instrument)
{
    QTimer *timer = checkTimer(instrument);
    if (!timer)
        return false;
    QMetaObject::invokeMethod(timer, "timeout");
    return true;
}

int bar(const Instrument &instrument)
{
    return instrument.widget<QProgressBar>("progressBar_vesselPress")->value();
}

} // namespace

class TestMainWindowVessel : public QObject
{
    Q_OBJECT

private slots:
    void reports_oneInThreeAndPercent_data();
    void reports_oneInThreeAndPercent();
    void check_leakageAndCompletion_data();
    void check_leakageAndCompletion();
};

void TestMainWindowVessel::reports_oneInThreeAndPercent_data()
{
    QTest::addColumn<int>("mbar");
    QTest::addColumn<int>("reports");
    QTest::addColumn<int>("percent");
    QTest::newRow("2500") << 2500 << 3 << 50;
    QTest::newRow("two reports are not used") << 2500 << 2 << 0;
    QTest::newRow("4999") << 4999 << 3 << 99;
    QTest::newRow("9999") << 9999 << 3 << 100;
    QTest::newRow("10000 is no pressure") << 10000 << 3 << 0;
    QTest::newRow("every third of seven") << 3000 << 7 << 60;
}

void TestMainWindowVessel::reports_oneInThreeAndPercent()
{
    QFETCH(int, mbar);
    QFETCH(int, reports);
    QFETCH(int, percent);
    Instrument instrument;
    QCOMPARE(instrument.window->menuState(), MenuState::InitialPressurizing);
    if (mbar > 9999)
        instrument.reportVessel(4000, 0); // a stale value must not survive an invalid report
    instrument.reportVessel(mbar, 0, reports);
    QVERIFY(runCheck(instrument));
    QCOMPARE(bar(instrument), percent);
    // The status bar shows nothing while the pressure display is off.
    QCOMPARE(instrument.text("pressureValueLabel"), QString());
}

void TestMainWindowVessel::check_leakageAndCompletion_data()
{
    QTest::addColumn<int>("step"); // mbar added per check
    QTest::addColumn<int>("switchAtCheck"); // 0: never
    QTest::addColumn<int>("leakAtCheck"); // 0: never
    QTest::newRow("flat: error at the 16th") << 0 << 0 << 16;
    QTest::newRow("rising 1 % a check: none") << 50 << 0 << 0;
    QTest::newRow("full at check 10") << 50 << 10 << 0;
    QTest::newRow("full in the failing tick: error wins") << 0 << 16 << 16;
}

void TestMainWindowVessel::check_leakageAndCompletion()
{
    QFETCH(int, step);
    QFETCH(int, switchAtCheck);
    QFETCH(int, leakAtCheck);
    Instrument instrument;
    QSignalSpy errors(instrument.window.get(), &MainWindow::systemError);
    QSignalSpy autoStartStopped(instrument.window.get(), &MainWindow::stopPumpAutoStart);
    for (int check = 1; check <= 30; ++check) {
        instrument.reportVessel(1000 + step * check, check == switchAtCheck ? 1 : 0);
        if (!runCheck(instrument))
            break;
        if (leakAtCheck && check < leakAtCheck)
            QCOMPARE(errors.count(), 0);
    }
    if (leakAtCheck) {
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.first().first().value<ErrorCode>(), ERROR_PRESSURE_LEAKAGE);
        QCOMPARE(instrument.window->menuState(),
                 MenuState::Error); // not Home: the completion never ran
    } else if (switchAtCheck) {
        QCOMPARE(errors.count(), 0);
        QCOMPARE(bar(instrument), 100);
        QCOMPARE(autoStartStopped.count(), 1);
        QCOMPARE(instrument.window->menuState(), MenuState::Home);
        QVERIFY(!checkTimer(instrument));
    } else {
        QCOMPARE(errors.count(), 0);
        QCOMPARE(instrument.window->menuState(), MenuState::InitialPressurizing);
    }
}

QTEST_MAIN(TestMainWindowVessel)
#include "tst_mainwindowvessel.moc"
