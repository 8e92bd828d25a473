// Timing of the EPC link against the simulated controllers, with the shipped link file: one read
// exchange and one three-channel read cycle, next to what the wire and the configured waits
// take, and next to a libmodbus client reading the same register from the same server.
// Run alone, on a quiet machine: make bench BENCH_ONLY=link
#include "pressure/confighandler.h"
#include "pressure/epccontrol.h"
#include "sim/modbusrtuserver.h"
#include "sim/models/pressurecontrollers.h"
#include "sim/rtuwire.h"
#include "support/sandboxroot.h"
#include "support/simulatedcontrollers.h"

#include <algorithm>
#include <iostream>
#include <sstream>

#include <modbus/modbus.h>

#include <QtTest>

namespace {

constexpr int kCycles = 25;
// Cycles whose answer a busy simulator may miss without the figures losing their meaning.
constexpr int kLostCyclesAllowed = 3;
constexpr int kReadRequestBytes = 8;
constexpr int kReadResponseBytes = 7;
constexpr int kExchangesPerCycle = 3;
// Every three-channel operation ends with this pause of the driver.
constexpr double kCyclePauseUs = 100000;
// The driver waits this long after each of the three transceiver switches of an exchange.
constexpr double kTransceiverSettleUs = 3 * 10;
// What our exchange may spend beyond the wire and the configured waits.
constexpr double kOverheadLimitUs = 1000;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

class TestEpcBenchmark : public QObject
{
    Q_OBJECT

private slots:
    void readExchange_overheadBeyondWireAndWaits();
};

void TestEpcBenchmark::readExchange_overheadBeyondWireAndWaits()
{
    qRegisterMetaType<uint16_t>("uint16_t");
    SandboxRoot sandbox;
    SimulatedEpcLink link(sandbox);
    QString error;
    QVERIFY2(link.start(&error), qPrintable(error));

    ConfigHandler config(nullptr);
    config.readConfig(EpcControl::kConfigPath);
    const int baudSetting = config.getValue("baudrate");
    const int baud = baudSetting == 1 ? 38400 : baudSetting == 2 ? 115200 : 19200;
    // From the request's first bit to the answer's last: both frames at the line speed, the
    // silence that ends the request and the controller's processing.
    const double wireUs = rtuwire::wireTimeUs(kReadRequestBytes + kReadResponseBytes, baud)
            + rtuwire::frameSilenceUs(baud) + PressureControllers::kProcessingDelayUs;
    const double beforeReadUs = config.getValue("wait_2") + config.getValue("resp_delay") * 1000.0
            + config.getValue("wait_3");
    // Per exchange, apart from the reads: the first read comes after the configured response
    // wait; each read adds wait_4, and the exchange reads until the answer is all in.
    const double fixedUs = config.getValue("wait_1") + beforeReadUs + config.getValue("wait_5")
            + kTransceiverSettleUs;
    const double perReadUs = config.getValue("wait_4");

    std::vector<double> libmodbusUs;
    modbus_t *client = modbus_new_rtu(link.server.devicePath().c_str(), baud, 'E', 8, 1);
    QVERIFY(client);
    QVERIFY2(modbus_connect(client) == 0, modbus_strerror(errno));
    modbus_set_slave(client, 1);
    for (int i = 0; i < kCycles; ++i) {
        uint16_t value = 0;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(modbus_read_registers(client, 0x20, 1, &value), 1);
        libmodbusUs.push_back(clock.nsecsElapsed() / 1000.0);
    }
    // Closed before our driver opens the port: it restores the port's previous settings.
    modbus_close(client);
    modbus_free(client);
    // The exchange log tells how many reads each exchange needed: a reply that comes late from a
    // busy simulator costs configured waits, not ours.
    sandbox.write("/usr/share/vemla/resources/epc_config.inc",
                  sandbox.read("/usr/share/vemla/resources/epc_config.inc")
                          + "communication_logs:\"1\"\n");
    std::vector<double> cycleUs;
    std::vector<double> overheadUs;
    std::vector<double> budgetUs;
    {
        std::stringstream log;
        std::streambuf *previous = std::cout.rdbuf(log.rdbuf());
        EpcControl epc;
        epc.init();
        QSignalSpy done(&epc, &EpcControl::readPressureDone);
        QElapsedTimer clock;
        for (int i = 0; i < kCycles; ++i) {
            log.str({});
            const int before = done.count();
            clock.start();
            epc.readPressure(false);
            const double elapsed = clock.nsecsElapsed() / 1000.0;
            // A cycle that lost an answer on a busy machine (the window's watchdog repeats it)
            // says nothing about the exchange's cost.
            if (done.count() == before)
                continue;
            int reads = 0;
            QRegularExpressionMatchIterator it
                    = QRegularExpression("Attemps: (\\d+)")
                              .globalMatch(QString::fromStdString(log.str()));
            while (it.hasNext())
                reads += it.next().captured(1).toInt();
            const double budget = kExchangesPerCycle * fixedUs + reads * perReadUs;
            cycleUs.push_back(elapsed);
            budgetUs.push_back(budget / kExchangesPerCycle);
            overheadUs.push_back((elapsed - kCyclePauseUs - budget) / kExchangesPerCycle);
        }
        std::cout.rdbuf(previous);
        QVERIFY2(done.count() >= kCycles - kLostCyclesAllowed,
                 qPrintable(QString::number(done.count())));
    }

    link.server.stop();

    const double cycle = median(cycleUs);
    const double exchange = (cycle - kCyclePauseUs) / kExchangesPerCycle;
    // The best cycle shows the code's own cost; the median adds what other processes on a busy
    // machine take from us at every wake-up after a wait.
    const double overhead = *std::min_element(overheadUs.begin(), overheadUs.end());
    auto row = [](const char *label, double us) {
        qInfo().noquote() << QString("  %1 %2 us").arg(label, -30).arg(us, 9, 'f', 0);
    };
    qInfo().noquote()
            << QString("EPC link at %1 baud, medians of %2 cycles:").arg(baud).arg(cycleUs.size());
    row("three-channel read cycle", cycle);
    row("one read exchange", exchange);
    row("wire time of the exchange", wireUs);
    row("wire and configured waits", median(budgetUs));
    row("our overhead per exchange", median(overheadUs));
    row("  in the best cycle", overhead);
    row("libmodbus client, one read", median(libmodbusUs));
    QVERIFY2(overhead < kOverheadLimitUs, qPrintable(QString::number(overhead)));
}

QTEST_MAIN(TestEpcBenchmark)
#include "epclink.moc"
