// The power button line: set up on GPIO 160, polled, and a press reported exactly once.
#include "hw/buttonhandler.h"
#include "support/sandboxroot.h"

#include <QSignalSpy>
#include <QtTest>

class TestButtonHandler : public QObject
{
    Q_OBJECT

private slots:
    void press_reportedOnceByThePollEvenWhileHeld();
};

void TestButtonHandler::press_reportedOnceByThePollEvenWhileHeld()
{
    const QString value = "/sys/class/gpio/gpio160/value";
    SandboxRoot sandbox;
    for (const char *file : {"/sys/class/gpio/export", "/sys/class/gpio/gpio160/direction",
                             "/sys/class/gpio/gpio160/edge"})
        sandbox.write(file, {});
    ButtonHandler handler;
    QSignalSpy pressed(&handler, &ButtonHandler::powerButtonPressed);
    QCOMPARE(sandbox.read("/sys/class/gpio/export"), QByteArray("160\0", 4));
    QCOMPARE(sandbox.read("/sys/class/gpio/gpio160/direction"), QByteArray("in\0\0", 4));
    QCOMPARE(sandbox.read("/sys/class/gpio/gpio160/edge"), QByteArray("both"));

    // An unreadable line, a floating one and garbage are no press; polling goes on.
    for (const QByteArray &content :
         {QByteArray(), QByteArray("0\n"), QByteArray("2\n"), QByteArray("x\n")}) {
        if (content.isNull())
            sandbox.remove(value);
        else
            sandbox.write(value, content);
        handler.readButtonStatus();
    }
    QCOMPARE(pressed.count(), 0);

    // Nobody calls in: the one-second poll itself finds the press, and then ends for good.
    sandbox.write(value, "1\n");
    QVERIFY(pressed.wait(3 * ButtonHandler::kPollIntervalMs));
    QTest::qWait(ButtonHandler::kPollIntervalMs + 200);
    sandbox.write(value, "0\n");
    handler.readButtonStatus();
    sandbox.write(value, "1\n");
    handler.readButtonStatus();
    QCOMPARE(pressed.count(), 1);
}

QTEST_GUILESS_MAIN(TestButtonHandler)
#include "tst_buttonhandler.moc"
