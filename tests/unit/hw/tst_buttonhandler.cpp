// The power button line: set up on GPIO 160, polled, and a press reported exactly once.
#include "hw/buttonhandler.h"
#include "support/logcapture.h"
#include "support/sandboxroot.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
const QString kValue = "/sys/class/gpio/gpio160/value";

void layLine(const SandboxRoot &sandbox)
{
    sandbox.write("/sys/class/gpio/export", {});
    sandbox.write("/sys/class/gpio/gpio160/direction", {});
    sandbox.write("/sys/class/gpio/gpio160/edge", {});
    sandbox.write(kValue, "0\n");
}
} // namespace

class TestButtonHandler : public QObject
{
    Q_OBJECT

private slots:
    void construction_setsUpLineAsInputOnBothEdges();
    void press_reportedOnceByThePollEvenWhileHeld();
    void unreadableLine_readsReleasedAndPollingGoesOn();
};

void TestButtonHandler::construction_setsUpLineAsInputOnBothEdges()
{
    SandboxRoot sandbox;
    layLine(sandbox);
    ButtonHandler handler;
    QCOMPARE(sandbox.read("/sys/class/gpio/export"), QByteArray("160\0", 4));
    QCOMPARE(sandbox.read("/sys/class/gpio/gpio160/direction"), QByteArray("in\0\0", 4));
    QCOMPARE(sandbox.read("/sys/class/gpio/gpio160/edge"), QByteArray("both"));
}

void TestButtonHandler::press_reportedOnceByThePollEvenWhileHeld()
{
    SandboxRoot sandbox;
    layLine(sandbox);
    ButtonHandler handler;
    QSignalSpy pressed(&handler, &ButtonHandler::powerButtonPressed);

    handler.readButtonStatus();
    QCOMPARE(pressed.count(), 0);

    // Nobody calls in: the one-second poll itself finds the press.
    sandbox.write(kValue, "1\n");
    QVERIFY(pressed.wait(3 * ButtonHandler::kPollIntervalMs));
    QCOMPARE(pressed.count(), 1);

    // Held down (and released and pressed again): the poll has ended for good.
    QTest::qWait(2 * ButtonHandler::kPollIntervalMs + 200);
    handler.readButtonStatus();
    sandbox.write(kValue, "0\n");
    handler.readButtonStatus();
    sandbox.write(kValue, "1\n");
    handler.readButtonStatus();
    QCOMPARE(pressed.count(), 1);
}

void TestButtonHandler::unreadableLine_readsReleasedAndPollingGoesOn()
{
    SandboxRoot sandbox;
    layLine(sandbox);
    ButtonHandler handler;
    QSignalSpy pressed(&handler, &ButtonHandler::powerButtonPressed);

    sandbox.remove(kValue);
    LogCapture log;
    handler.readButtonStatus();
    QCOMPARE(pressed.count(), 0);
    QVERIFY(log.contains("GPIO read failed"));
    handler.onButtonValueChanged(sandbox.file(kValue));
    QVERIFY(log.contains("ERROR: Could not open clamp15 file."));

    // Other values than 1 (a floating line read as 2, garbage) are not a press either.
    sandbox.write(kValue, "2\n");
    handler.readButtonStatus();
    sandbox.write(kValue, "x\n");
    handler.readButtonStatus();
    QCOMPARE(pressed.count(), 0);

    sandbox.write(kValue, "1\n");
    handler.readButtonStatus();
    QCOMPARE(pressed.count(), 1);
}

QTEST_GUILESS_MAIN(TestButtonHandler)
#include "tst_buttonhandler.moc"
