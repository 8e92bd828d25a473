// The simulated RS485 wire on a clock of the test's own: what the transceiver lines let onto the
// bus and into the board, collisions, the controllers' framing by silence.
#include "sim/rtuwire.h"
#include "sim/rtuwireframer.h"
#include "sim/rtuwireline.h"

#include <QtTest>

namespace {

constexpr int kBaud = 38400;
constexpr int64_t kCharUs = 286; // 11 bits at 38400 baud
constexpr int64_t kUartStartUs = 20;
const uint8_t kFrame[8] = {0x01, 0x03, 0x00, 0x20, 0x00, 0x01, 0x85, 0xC0};

// One step of a script on the wire: at `atUs`, set a pin ("de"/"re" with 0 or 1), write the
// request ("write"), flush ("flush"), or a controller answers ("answer N", `value` its address).
struct Step
{
    int64_t atUs;
    QString action;
    int value;
};

struct Outcome
{
    QByteArray onBus; // what reached the bus, in order
    QByteArray heard; // what the board's receiver took in (0 for a spoilt character)
};

Outcome play(const QVector<Step> &script, int64_t untilUs)
{
    int64_t now = 0;
    RtuWireLine line([&now] { return now; });
    Outcome outcome;
    auto settle = [&] {
        for (const RtuWireLine::Character &c : line.settle()) {
            if (c.onBus)
                outcome.onBus.append(static_cast<char>(c.byte));
            if (c.boardHears)
                outcome.heard.append(c.intact ? static_cast<char>(c.byte) : '\0');
        }
    };
    for (const Step &step : script) {
        now = step.atUs;
        settle();
        if (step.action == "de")
            line.setPin(RtuWireLine::Pin::DriverEnable, step.value == 1);
        else if (step.action == "re")
            line.setPin(RtuWireLine::Pin::ReceiverEnableLow, step.value == 1);
        else if (step.action == "write")
            line.boardWrite(kFrame, sizeof kFrame, kBaud);
        else if (step.action == "flush")
            line.boardFlushOutput();
        else if (step.action == "answer")
            line.controllerWrite(step.value, kFrame, 4, kBaud, now);
    }
    for (; now <= untilUs; now += 50)
        settle();
    return outcome;
}

QByteArray frameBytes(int from, int count)
{
    return QByteArray(reinterpret_cast<const char *>(kFrame) + from, count);
}

} // namespace

Q_DECLARE_METATYPE(QVector<Step>)

class TestRtuWire : public QObject
{
    Q_OBJECT

private slots:
    void line_transceiverDecidesBusAndBoard_data();
    void line_transceiverDecidesBusAndBoard();
    void framer_silenceEndsFrame_gapBreaksIt();
};

void TestRtuWire::line_transceiverDecidesBusAndBoard_data()
{
    QTest::addColumn<QVector<Step>>("script");
    QTest::addColumn<QByteArray>("onBus");
    QTest::addColumn<QByteArray>("heard");
    const int64_t frameEnd = kUartStartUs + 8 * kCharUs;
    const QByteArray whole = frameBytes(0, 8);
    // transmit: de 1, re 1; receive: de 0, re 0.
    QTest::newRow("driver on until the frame is out") << QVector<Step> {{0, "de", 1},
                                                                        {0, "re", 1},
                                                                        {10, "write", 0},
                                                                        {frameEnd + 50, "de", 0},
                                                                        {frameEnd + 50, "re", 0}}
                                                      << whole << QByteArray();
    QTest::newRow("driver off right after write(): nothing on the bus")
            << QVector<Step> {{0, "de", 1},
                              {0, "re", 1},
                              {10, "write", 0},
                              {60, "de", 0},
                              {60, "re", 0}}
            << QByteArray() << QByteArray();
    QTest::newRow("driver off in the third character: two on the bus")
            << QVector<Step> {{0, "de", 1},
                              {0, "re", 1},
                              {0, "write", 0},
                              {kUartStartUs + 2 * kCharUs + 100, "de", 0}}
            << frameBytes(0, 2) << QByteArray();
    QTest::newRow("receiver on while sending: the board hears itself")
            << QVector<Step> {{0, "de", 1}, {0, "re", 0}, {0, "write", 0}, {frameEnd + 50, "de", 0}}
            << whole << whole;
    QTest::newRow("receiver switched on in the middle of the fifth character")
            << QVector<Step> {{0, "de", 1},
                              {0, "re", 1},
                              {0, "write", 0},
                              {kUartStartUs + 4 * kCharUs + 100, "re", 0},
                              {frameEnd + 50, "de", 0}}
            << whole << frameBytes(5, 3);
    QTest::newRow("an answer while the receiver listens")
            << QVector<Step> {{0, "de", 0}, {0, "re", 0}, {1000, "answer", 2}} << frameBytes(0, 4)
            << frameBytes(0, 4);
    QTest::newRow("an answer while the receiver is off is lost")
            << QVector<Step> {{0, "de", 0},
                              {0, "re", 1},
                              {1000, "answer", 2},
                              {1000 + 2 * kCharUs, "re", 0}}
            << frameBytes(0, 4) << frameBytes(2, 2);
    QTest::newRow("an answer under the board's driver is drowned")
            << QVector<Step> {{0, "de", 1},
                              {0, "re", 0},
                              {1000, "answer", 2},
                              {1000 + kCharUs + 10, "de", 0}}
            << frameBytes(0, 4) << QByteArray(2, '\0') + frameBytes(2, 2);
    QTest::newRow("two controllers at once spoil each other")
            << QVector<Step> {{0, "de", 0},
                              {0, "re", 0},
                              {1000, "answer", 1},
                              {1000 + 3 * kCharUs, "answer", 2}}
            << frameBytes(0, 4) + frameBytes(0, 4)
            << frameBytes(0, 3) + QByteArray(2, '\0') + frameBytes(1, 3);
    QTest::newRow("a flush drops what has not started")
            << QVector<Step> {{0, "de", 1},
                              {0, "re", 1},
                              {0, "write", 0},
                              {kUartStartUs + kCharUs + 10, "flush", 0}}
            << frameBytes(0, 2) << QByteArray();
}

void TestRtuWire::line_transceiverDecidesBusAndBoard()
{
    QFETCH(QVector<Step>, script);
    QFETCH(QByteArray, onBus);
    QFETCH(QByteArray, heard);
    const Outcome outcome = play(script, 20000);
    QCOMPARE(outcome.onBus.toHex(' '), onBus.toHex(' '));
    QCOMPARE(outcome.heard.toHex(' '), heard.toHex(' '));
}

void TestRtuWire::framer_silenceEndsFrame_gapBreaksIt()
{
    QCOMPARE(rtuwire::frameSilenceUs(38400), 1750L);
    QCOMPARE(rtuwire::interCharacterLimitUs(115200), 750L);
    QCOMPARE(rtuwire::frameSilenceUs(9600), 4010L);
    QCOMPARE(rtuwire::interCharacterLimitUs(19200), 859L);

    RtuWireFramer framer(kBaud);
    int64_t t = 0;
    for (int i = 0; i < 8; ++i, t += kCharUs)
        framer.receive(t, t + kCharUs, kFrame[i], true);
    QCOMPARE(framer.silenceEndsUs(), t + 1750);
    RtuWireFramer::Frame frame = framer.take();
    QVERIFY(!frame.broken);
    QCOMPARE(int(frame.bytes.size()), 8);
    QCOMPARE(frame.completeUs, t + 1750);
    QVERIFY(!framer.hasBytes());

    // A pause of 750 us inside a frame is allowed; 751 us breaks it.
    t = 100000;
    framer.receive(t, t + kCharUs, 1, true);
    framer.receive(t + kCharUs + 750, t + 2 * kCharUs + 750, 3, true);
    QVERIFY(!framer.take().broken);
    framer.receive(t, t + kCharUs, 1, true);
    framer.receive(t + kCharUs + 751, t + 2 * kCharUs + 751, 3, true);
    QVERIFY(framer.take().broken);
    // A character with a parity error spoils the frame.
    framer.receive(t, t + kCharUs, 1, false);
    framer.receive(t + kCharUs, t + 2 * kCharUs, 3, true);
    QVERIFY(framer.take().broken);
    // A new speed drops what came at the old one.
    framer.receive(t, t + kCharUs, 1, true);
    framer.setBaud(19200);
    QVERIFY(!framer.hasBytes());
}

QTEST_GUILESS_MAIN(TestRtuWire)
#include "tst_rtuwire.moc"
