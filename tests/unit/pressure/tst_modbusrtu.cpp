// Frames, checksum, response validation and unit conversions of the controllers' protocol.
#include "pressure/modbusrtu.h"

#include <QtTest>

using namespace modbusrtu;
Q_DECLARE_METATYPE(modbusrtu::ResponseFault)

namespace {

QByteArray bytes(const uint8_t *data, int length)
{
    return QByteArray(reinterpret_cast<const char *>(data), length);
}

// A frame with its CRC appended by an independent bit-by-bit computation.
QByteArray withCrc(QByteArray frame)
{
    uint16_t crc = 0xFFFF;
    for (char c : frame) {
        crc ^= static_cast<uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    frame.append(static_cast<char>(crc & 0xFF));
    frame.append(static_cast<char>(crc >> 8));
    return frame;
}

} // namespace

class TestModbusRtu : public QObject
{
    Q_OBJECT

private slots:
    void crc_checkValues();
    void frames_matchTheWorkedExamples();
    void validateResponse_faultsInOrder_data();
    void validateResponse_faultsInOrder();
    void conversions_data();
    void conversions();
};

void TestModbusRtu::crc_checkValues()
{
    const QByteArray digits("123456789");
    QCOMPARE(crc16(reinterpret_cast<const uint8_t *>(digits.constData()), 9), uint16_t(0x4B37));
    QCOMPARE(crc16(nullptr, 0), uint16_t(0xFFFF));
}

void TestModbusRtu::frames_matchTheWorkedExamples()
{
    uint8_t frame[kRequestLength];
    buildReadRequest(frame, 2);
    QCOMPARE(bytes(frame, 8), QByteArray::fromHex("0203002000010000"));
    putCrc(frame, 8);
    QCOMPARE(bytes(frame, 8), QByteArray::fromHex("02030020000185F3"));

    buildWriteRequest(frame, 1, rawFromPercent(percentOfFullScale(1000)));
    putCrc(frame, 8);
    QCOMPARE(bytes(frame, 8), QByteArray::fromHex("010600213E80C800"));

    uint8_t request[kRequestLength];
    buildReadRequest(request, 1);
    putCrc(request, 8);
    const QByteArray response = QByteArray::fromHex("0103023E80A984");
    uint16_t value = 0;
    QCOMPARE(validateResponse(4, request, reinterpret_cast<const uint8_t *>(response.constData()),
                              7, &value),
             ResponseFault::None);
    QCOMPARE(value, uint16_t(16000));
    QCOMPARE(mbarFromRaw(value), uint16_t(1000));
}

void TestModbusRtu::validateResponse_faultsInOrder_data()
{
    QTest::addColumn<int>("requestId");
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<ResponseFault>("fault");
    QTest::addColumn<int>("value");
    const QByteArray goodRead = QByteArray::fromHex("0103023E80A984");
    const QByteArray goodWrite = QByteArray::fromHex("010600213E80C800");
    QByteArray badLow = goodRead;
    badLow[5] = static_cast<char>(badLow[5] ^ 0x01);
    QByteArray badHigh = goodRead;
    badHigh[6] = static_cast<char>(badHigh[6] ^ 0x80);

    QTest::newRow("good read") << 4 << goodRead << ResponseFault::None << 16000;
    QTest::newRow("good write echo") << 5 << goodWrite << ResponseFault::None << -1;
    QTest::newRow("write echo with another value")
            << 5 << withCrc(QByteArray::fromHex("010600210001")) << ResponseFault::None << -1;
    QTest::newRow("nothing received") << 4 << QByteArray() << ResponseFault::WrongChannel << -1;
    QTest::newRow("other address")
            << 4 << withCrc(QByteArray::fromHex("0203023E80")) << ResponseFault::WrongChannel << -1;
    QTest::newRow("exception reply")
            << 4 << withCrc(QByteArray::fromHex("018302")) << ResponseFault::WrongFunction << -1;
    QTest::newRow("address only") << 4 << QByteArray::fromHex("01") << ResponseFault::WrongFunction
                                  << -1;
    QTest::newRow("CRC low byte changed") << 4 << badLow << ResponseFault::InvalidCrc << -1;
    QTest::newRow("CRC high byte changed") << 4 << badHigh << ResponseFault::InvalidCrc << -1;
    QTest::newRow("three bytes") << 4 << QByteArray::fromHex("010302") << ResponseFault::InvalidCrc
                                 << -1;
    QTest::newRow("trailing byte")
            << 4 << goodRead + QByteArray(1, '\x55') << ResponseFault::InvalidCrc << -1;
    // CRC(frame + its CRC low byte) is always 0x00 followed by the high byte, so a trailing NUL
    // passes the checksum: only the length catches it.
    QTest::newRow("trailing NUL") << 4 << goodRead + QByteArray(1, '\0')
                                  << ResponseFault::WrongLength << -1;
    QTest::newRow("byte count 4") << 4 << withCrc(QByteArray::fromHex("0103043E800000"))
                                  << ResponseFault::WrongByteCount << -1;
    // A frame cut short can still carry a matching CRC; its value bytes would be the CRC.
    QTest::newRow("short frame with valid CRC")
            << 4 << withCrc(QByteArray::fromHex("010302")) << ResponseFault::WrongLength << -1;
    QTest::newRow("wrong register") << 5 << withCrc(QByteArray::fromHex("010600203E80"))
                                    << ResponseFault::WrongRegister << -1;
    QTest::newRow("short write echo")
            << 5 << withCrc(QByteArray::fromHex("01060021")) << ResponseFault::WrongLength << -1;
    QTest::newRow("unknown request kind") << 7 << goodRead << ResponseFault::InvalidRequestId << -1;
}

void TestModbusRtu::validateResponse_faultsInOrder()
{
    QFETCH(int, requestId);
    QFETCH(QByteArray, response);
    QFETCH(ResponseFault, fault);
    QFETCH(int, value);
    uint8_t request[kRequestLength];
    if (requestId == 5)
        buildWriteRequest(request, 1, 16000);
    else
        buildReadRequest(request, 1);
    putCrc(request, 8);
    // The response sits in a larger buffer of non-zero bytes: nothing past `count` may be used.
    QByteArray buffer = response + QByteArray(32, '\x5A');
    uint16_t got = 0xFFFF;
    QCOMPARE(validateResponse(requestId, request,
                              reinterpret_cast<const uint8_t *>(buffer.constData()),
                              response.size(), &got),
             fault);
    if (value >= 0)
        QCOMPARE(int(got), value);
    QVERIFY(QByteArray(faultMessage(fault)).isEmpty() == (fault == ResponseFault::None));
}

void TestModbusRtu::conversions_data()
{
    QTest::addColumn<int>("mbar");
    QTest::addColumn<float>("percent");
    QTest::addColumn<int>("raw");
    QTest::newRow("zero") << 0 << 0.0f << 0;
    QTest::newRow("half scale") << 1000 << 50.0f << 16000;
    QTest::newRow("full scale") << 2000 << 100.0f << 32000;
    QTest::newRow("one mbar") << 1 << 0.05f << 16;
    QTest::newRow("above full scale") << 2001 << 100.05f << -1;
}

void TestModbusRtu::conversions()
{
    QFETCH(int, mbar);
    QFETCH(float, percent);
    QFETCH(int, raw);
    QCOMPARE(percentOfFullScale(mbar), percent);
    if (raw >= 0) {
        QCOMPARE(int(rawFromPercent(percent)), raw);
        QCOMPARE(int(mbarFromRaw(static_cast<uint16_t>(raw))), mbar);
    }
    QCOMPARE(int(mbarFromRaw(15)), 0);
    QCOMPARE(int(mbarFromRaw(65535)), 4095);
}

QTEST_GUILESS_MAIN(TestModbusRtu)
#include "tst_modbusrtu.moc"
