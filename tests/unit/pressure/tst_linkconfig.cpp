// The link file's values as link settings and the terminal attributes they make, as plain values.
#include "pressure/linkconfig.h"

#include <map>

#include <QtTest>

namespace {

using Values = std::map<std::string, int>;

// The link file as the package ships it, in its order.
const std::vector<std::pair<std::string, int>> kShippedFile = {{"communication_logs", 0},
                                                               {"crc_logs", 0},
                                                               {"parsing_logs", 0},
                                                               {"channel_id", 1},
                                                               {"command_id", 0},
                                                               {"port", 0},
                                                               {"baudrate", 1},
                                                               {"opening_flags", 1},
                                                               {"clear_termios", 1},
                                                               {"termios_flags", 1},
                                                               {"canonical_mode", 0},
                                                               {"post_process", 0},
                                                               {"hw_control", 0},
                                                               {"v_time", 0},
                                                               {"v_min", 0},
                                                               {"flush", 1},
                                                               {"resp_delay", 6},
                                                               {"wait_1", 50},
                                                               {"wait_2", 3000},
                                                               {"wait_3", 0},
                                                               {"wait_4", 1000},
                                                               {"wait_5", 50},
                                                               {"read_immediately", 1},
                                                               {"check_available_bytes", 0},
                                                               {"rs485_mode", 1},
                                                               {"rtsctr_control", 1}};
const Values kShipped(kShippedFile.begin(), kShippedFile.end());

// Reads `values` (a missing key gives 0, as the config handler does), noting the keys asked.
LinkConfig readFrom(const Values &values, QStringList *report, QStringList *asked = nullptr)
{
    std::vector<std::string> lines;
    const LinkConfig config = LinkConfig::read(
            [&](const std::string &key) {
                if (asked)
                    *asked << QString::fromStdString(key);
                const auto it = values.find(key);
                return it == values.end() ? 0 : it->second;
            },
            &lines);
    for (const std::string &line : lines)
        *report << QString::fromStdString(line);
    return config;
}

// One setting of the link as a number, by name, for the tables.
int settingOf(const LinkConfig &config, const QString &name)
{
    if (name == "console port")
        return config.portPath == "/dev/ttymxc1";
    if (name == "speed")
        return static_cast<int>(config.lineSpeed);
    if (name == "open flags")
        return config.openFlags;
    if (name == "input flags")
        return static_cast<int>(config.inputFlags);
    if (name == "flush")
        return config.flushBeforeRequest;
    if (name == "rs485")
        return config.rs485Mode;
    if (name == "switch transceiver")
        return config.switchTransceiver;
    if (name == "receive right after write")
        return config.receiveRightAfterWrite;
    if (name == "communication logs")
        return config.communicationLogs;
    qFatal("no field %s", qPrintable(name));
    return 0;
}

termios allFlagsSet()
{
    termios dirty {};
    dirty.c_iflag = ~tcflag_t(0);
    dirty.c_oflag = ~tcflag_t(0);
    dirty.c_cflag = ~tcflag_t(0);
    dirty.c_lflag = ~tcflag_t(0);
    dirty.c_cc[VMIN] = 9;
    dirty.c_cc[VTIME] = 9;
    return dirty;
}

} // namespace

Q_DECLARE_METATYPE(termios)
Q_DECLARE_METATYPE(Values)

class TestLinkConfig : public QObject
{
    Q_OBJECT

private slots:
    void read_shippedFile_asksEachKeyOnceAndReportsInFileOrder();
    void read_selectors_data();
    void read_selectors();
    void terminalAttributes_alwaysRaw8E1AtTheLinkSpeed_data();
    void terminalAttributes_alwaysRaw8E1AtTheLinkSpeed();
};

void TestLinkConfig::read_shippedFile_asksEachKeyOnceAndReportsInFileOrder()
{
    QStringList report;
    QStringList asked;
    const LinkConfig config = readFrom(kShipped, &report, &asked);

    QStringList keys;
    for (const auto &entry : kShippedFile)
        keys << QString::fromStdString(entry.first);
    QCOMPARE(asked, keys);

    // The service tools read these lines: labels, tabs and spelling as they are.
    const QStringList expected = {"----------- Reading configurations ----------------",
                                  "Com. logs:\t0",
                                  "CRC logs:\t0",
                                  "Parsing logs:\t0",
                                  "Channel ID:\t1",
                                  "Command ID:\t0",
                                  "Port:\t\t/dev/ttymx0 (EPC RS485)",
                                  "Baudrate:\t38400",
                                  "Opening_flags:\t1",
                                  "Clear_termios:\t1",
                                  "Termios flags:\t1",
                                  "Canonical mode:\t0",
                                  "Post process:\t0",
                                  "HW control:\t0",
                                  "v_time:\t\t0",
                                  "v_min:\t\t0",
                                  "Flush:\t\t1",
                                  "Resp delay:\t6",
                                  "Wait time 1:\t50",
                                  "Wait time 2:\t3000",
                                  "Wait time 3:\t0",
                                  "Wait time 4:\t1000",
                                  "Wait time 5:\t50",
                                  "Enable RE immediately:\t1",
                                  "Check available bytes:\t0",
                                  "RS485 mode:\t\t1",
                                  "rtsctr control:\t\t1",
                                  "---------------------------------------------------"};
    QCOMPARE(report, expected);

    QCOMPARE(config.portPath, std::string("/dev/ttymxc0"));
    QCOMPARE(config.lineSpeed, speed_t(B38400));
    QCOMPARE(config.openFlags, O_RDWR | O_NOCTTY);
    QVERIFY(config.clearTermios && config.flushBeforeRequest && config.rs485Mode);
    QVERIFY(config.switchTransceiver && config.receiveRightAfterWrite);
    QVERIFY(!config.canonicalMode && !config.postProcess && !config.hardwareFlowControl);
    QCOMPARE(config.waitBeforeWriteUs, 50);
    QCOMPARE(config.waitAfterWriteUs, 3000);
    QCOMPARE(config.responseDelayMs, 6);
    QCOMPARE(config.waitBeforeReadUs, 0);
    QCOMPARE(config.waitAfterReadUs, 1000);
    QCOMPARE(config.waitAtEndUs, 50);
}

void TestLinkConfig::read_selectors_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("reportLine"); // empty: only the field is checked

    QTest::newRow("port 1: console")
            << "port" << 1 << "console port" << 1 << "Port:\t\t/dev/ttymxc1 (Serial console)";
    QTest::newRow("port 2: RS485") << "port" << 2 << "console port" << 0 << QString();
    QTest::newRow("baud 0") << "baudrate" << 0 << "speed" << int(B19200) << "Baudrate:\t19200";
    QTest::newRow("baud 2") << "baudrate" << 2 << "speed" << int(B115200) << "Baudrate:\t115200";
    QTest::newRow("baud 3") << "baudrate" << 3 << "speed" << int(B19200) << "Baudrate:\t19200";
    QTest::newRow("open 0") << "opening_flags" << 0 << "open flags" << O_RDWR
                            << "Opening_flags:\t0";
    QTest::newRow("open 2") << "opening_flags" << 2 << "open flags"
                            << (O_RDWR | O_NOCTTY | O_NONBLOCK) << QString();
    QTest::newRow("open 3") << "opening_flags" << 3 << "open flags"
                            << (O_RDWR | O_NOCTTY | O_NONBLOCK) << QString();
    QTest::newRow("open 4") << "opening_flags" << 4 << "open flags" << O_RDWR << QString();
    QTest::newRow("termios 2") << "termios_flags" << 2 << "input flags"
                               << int(LinkConfig::InputFlags::ThoroughNonCanonical)
                               << "Termios flags:\t2";
    QTest::newRow("termios 3") << "termios_flags" << 3 << "input flags"
                               << int(LinkConfig::InputFlags::Basic) << QString();
    // Some switches take any non-zero value, others only 1.
    QTest::newRow("flush 2") << "flush" << 2 << "flush" << 1 << "Flush:\t\t2";
    QTest::newRow("rs485 2") << "rs485_mode" << 2 << "rs485" << 1 << "RS485 mode:\t\t2";
    QTest::newRow("rtsctr 2") << "rtsctr_control" << 2 << "switch transceiver" << 0
                              << "rtsctr control:\t\t2";
    QTest::newRow("read immediately 2")
            << "read_immediately" << 2 << "receive right after write" << 0 << QString();
    QTest::newRow("communication logs 2")
            << "communication_logs" << 2 << "communication logs" << 0 << "Com. logs:\t2";
}

void TestLinkConfig::read_selectors()
{
    QFETCH(QString, key);
    QFETCH(int, value);
    QFETCH(QString, field);
    QFETCH(int, expected);
    QFETCH(QString, reportLine);
    QStringList report;
    const LinkConfig config = readFrom({{key.toStdString(), value}}, &report);
    QCOMPARE(settingOf(config, field), expected);
    if (!reportLine.isEmpty())
        QVERIFY2(report.contains(reportLine), qPrintable(report.join('|')));
}

void TestLinkConfig::terminalAttributes_alwaysRaw8E1AtTheLinkSpeed_data()
{
    QTest::addColumn<termios>("current");
    QTest::addColumn<Values>("values");
    QTest::addColumn<int>("iflagSet");
    QTest::addColumn<int>("iflagClear");
    QTest::addColumn<int>("oflagSet");
    QTest::addColumn<int>("lflagSet");
    QTest::addColumn<int>("cflagSet");
    QTest::addColumn<int>("cflagClear");

    const termios dirty = allFlagsSet();
    const int noFlowControl = int(CRTSCTS);
    QTest::newRow("shipped, dirty port: cleared to the bone")
            << dirty << kShipped << int(INPCK) << int(~INPCK) << 0 << 0 << 0 << noFlowControl;
    QTest::newRow("no file, dirty port: the port's other input flags stay")
            << dirty << Values {} << int(INPCK | IGNBRK | BRKINT | ISTRIP | PARMRK)
            << int(IGNPAR | INLCR | ICRNL | IXON | IXANY | IXOFF) << 0 << 0 << 0 << noFlowControl;
    QTest::newRow("thorough input flags, dirty port")
            << dirty << Values {{"termios_flags", 1}} << int(INPCK | IUCLC)
            << int(IGNBRK | BRKINT | IGNPAR | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON) << 0
            << 0 << 0 << noFlowControl;
    QTest::newRow("canonical") << termios {} << Values {{"canonical_mode", 1}} << int(INPCK) << 0
                               << 0 << int(ICANON) << 0 << noFlowControl;
    QTest::newRow("canonical undone by termios flags 2")
            << dirty << Values {{"canonical_mode", 1}, {"termios_flags", 2}} << int(INPCK)
            << int(IXON) << 0 << 0 << 0 << noFlowControl;
    QTest::newRow("post process kept")
            << dirty << Values {{"post_process", 1}, {"baudrate", 2}} << int(INPCK) << int(IXON)
            << int(OPOST) << 0 << 0 << noFlowControl;
    QTest::newRow("flow control, timed reads")
            << termios {} << Values {{"hw_control", 1}, {"v_min", 1}, {"v_time", 5}} << int(INPCK)
            << 0 << 0 << 0 << int(CRTSCTS) << 0;
}

void TestLinkConfig::terminalAttributes_alwaysRaw8E1AtTheLinkSpeed()
{
    QFETCH(termios, current);
    QFETCH(Values, values);
    QFETCH(int, iflagSet);
    QFETCH(int, iflagClear);
    QFETCH(int, oflagSet);
    QFETCH(int, lflagSet);
    QFETCH(int, cflagSet);
    QFETCH(int, cflagClear);
    QStringList report;
    const LinkConfig config = readFrom(values, &report);
    const termios settings = config.terminalAttributes(current);

    // Modbus RTU's characters: 8 data bits, even parity, one stop bit; receiving, no modem lines.
    QCOMPARE(settings.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(settings.c_cflag & (PARENB | PARODD | CSTOPB), tcflag_t(PARENB));
    QCOMPARE(settings.c_cflag & (CREAD | CLOCAL), tcflag_t(CREAD | CLOCAL));
    // The port's previous speed leaves no bit behind.
    QCOMPARE(cfgetospeed(&settings), config.lineSpeed);
    QCOMPARE(cfgetispeed(&settings), config.lineSpeed);
    QCOMPARE(settings.c_cflag & (CBAUD | CBAUDEX), tcflag_t(config.lineSpeed));
    // Raw bytes: no echo, no signals, no output translation.
    QCOMPARE(settings.c_lflag & (ECHO | ECHOE | ECHONL | ISIG | IEXTEN), tcflag_t(0));
    QCOMPARE(settings.c_oflag & (ONLCR | OCRNL), tcflag_t(0));
    QCOMPARE(settings.c_cc[VMIN], config.vMin);
    QCOMPARE(settings.c_cc[VTIME], config.vTime);

    QCOMPARE(settings.c_iflag & tcflag_t(iflagSet), tcflag_t(iflagSet));
    QCOMPARE(settings.c_iflag & tcflag_t(iflagClear), tcflag_t(0));
    QCOMPARE(settings.c_oflag & OPOST, tcflag_t(oflagSet));
    QCOMPARE(settings.c_lflag & ICANON, tcflag_t(lflagSet));
    QCOMPARE(settings.c_cflag & tcflag_t(cflagSet), tcflag_t(cflagSet));
    QCOMPARE(settings.c_cflag & tcflag_t(cflagClear), tcflag_t(0));
}

QTEST_APPLESS_MAIN(TestLinkConfig)
#include "tst_linkconfig.moc"
