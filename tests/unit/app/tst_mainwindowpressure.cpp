// The window's pressure logic driven through its slots, as the EPC link would answer.
#include "support/instrument.h"

#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using namespace testwindow;

namespace {

// Pre-ramp 40 mbar is exempt from the check and no line ramps: the run goes straight to target.
const QByteArray kSettings = "dpcr_line_1_preRamp:\"40\"\n"
                             "dpcr_line_1_target:\"1000\"\n"
                             "dpcr_line_2_target:\"150\"\n"
                             "dpcr_active_time:\"600\"\n";

// One read cycle's answers: the three lines, then the confirmation.
void answerRead(MainWindow *window, int line1, int line2, int line3)
{
    for (const auto &[slot, value] :
         {std::pair {"channel_1_value", line1}, std::pair {"channel_2_value", line2},
          std::pair {"channel_3_value", line3}})
        QMetaObject::invokeMethod(window, slot, Q_ARG(uint16_t, static_cast<uint16_t>(value)));
    QMetaObject::invokeMethod(window, "onReadPressureDone");
}

} // namespace

class TestMainWindowPressure : public QObject
{
    Q_OBJECT

private slots:
    void atTarget_outOfRangeFor51Readings_raisesRegulationError();
    void atTarget_controllersNotAnswering_raisesRegulationError();
};

void TestMainWindowPressure::atTarget_outOfRangeFor51Readings_raisesRegulationError()
{
    Instrument instrument({}, {}, kSettings);
    MainWindow *window = instrument.window.get();
    QSignalSpy setPoints(window, &MainWindow::setPressure);
    QSignalSpy reads(window, &MainWindow::readPressure);
    QSignalSpy errors(window, &MainWindow::systemError);
    instrument.click("pushButton_dpcr");
    QVERIFY(instrument.startRun());
    QCOMPARE(setPoints.last(), QVariantList({40, 0, 0}));
    // Whatever the lines read, 40 mbar passes the check; without ramp steps the targets follow.
    answerRead(window, 0, 0, 0);
    QTRY_COMPARE_WITH_TIMEOUT(window->menuState(), MenuState::Running, 3000);
    QCOMPARE(setPoints.last(), QVariantList({1000, 150, 0}));
    QCOMPARE(instrument.text("label_time_remaining_value"), QString("10 minutes"));

    // Exactly 10 % off is in range and resets the count; line 2's 150 mbar is not supervised.
    for (int reading = 0; reading < 50; ++reading)
        answerRead(window, 1101, 400, 0);
    answerRead(window, 1100, 400, 0);
    for (int reading = 0; reading < 50; ++reading)
        answerRead(window, 899, 400, 0);
    QCOMPARE(errors.count(), 0);
    const int readsBefore = reads.count();
    answerRead(window, 899, 400, 0);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.first().at(0).value<ErrorCode>(), ERROR_PRESSURE_REGULATION);
    // Every confirmed cycle asked for the next one at target.
    QCOMPARE(reads.at(readsBefore - 1).at(0).toBool(), false);
}

void TestMainWindowPressure::atTarget_controllersNotAnswering_raisesRegulationError()
{
    Instrument instrument({}, {}, kSettings);
    MainWindow *window = instrument.window.get();
    QSignalSpy errors(window, &MainWindow::systemError);
    auto *readWatchdog = window->findChild<QTimer *>("readPressureWatchdog");
    auto *setWatchdog = window->findChild<QTimer *>("setPressureWatchdog");
    QVERIFY(readWatchdog && setWatchdog);
    auto lose = [](QTimer *watchdog, int times) {
        for (int i = 0; i < times; ++i)
            QVERIFY(QMetaObject::invokeMethod(watchdog, "timeout", Qt::DirectConnection));
    };
    // In the pre-ramp the check of its own judges the lines.
    instrument.click("pushButton_dpcr");
    QVERIFY(instrument.startRun());
    lose(setWatchdog, 40);
    QCOMPARE(errors.count(), 0);
    answerRead(window, 0, 0, 0);
    QTRY_COMPARE_WITH_TIMEOUT(window->menuState(), MenuState::Running, 3000);

    // At target. The real watchdogs are stopped (no controller answers this window); one of
    // theirs may have expired on the way here, so the last two requests decide.
    setWatchdog->stop();
    readWatchdog->stop();
    lose(readWatchdog, 12);
    lose(setWatchdog, 12);
    QCOMPARE(errors.count(), 0);
    lose(readWatchdog, 2);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.first().at(0).value<ErrorCode>(), ERROR_PRESSURE_REGULATION);
}

QTEST_MAIN(TestMainWindowPressure)
#include "tst_mainwindowpressure.moc"
