// Period of the pump's vessel check as the window sees it: a real Pump in its own thread over a
// temporary sysfs, its pressureValue signals arriving queued in the main thread. Prints the
// median and the extremes of the intervals between arrivals.
//
//   vemla-bench-pumpperiod [seconds]      (default 20)
#include "bench/benchroot.h"
#include "hw/pump.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

namespace {

constexpr int kDefaultSeconds = 20;

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qRegisterMetaType<uint16_t>("uint16_t");
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : kDefaultSeconds;
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});

    BenchRoot root;
    root.write("/sys/class/gpio/export", {});
    for (const char *pin : {"89", "150", "149", "39"}) {
        root.write(QString("/sys/class/gpio/gpio") + pin + "/direction", {});
        root.write(QString("/sys/class/gpio/gpio") + pin + "/value", "0\n");
    }
    // A vessel in its band, the switch open: the pump is checked and left alone.
    root.write("/sys/bus/iio/devices/iio:device0/in_voltage7_raw", "3000\n");

    auto *pump = new Pump;
    QThread thread;
    pump->moveToThread(&thread);
    thread.start();
    QElapsedTimer clock;
    clock.start();
    std::vector<double> arrivals;
    QObject::connect(pump, &Pump::pressureValue, &app,
                     [&] { arrivals.push_back(clock.nsecsElapsed() / 1e6); });
    QMetaObject::invokeMethod(pump, "initPump");
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    thread.quit();
    thread.wait();
    delete pump;

    std::vector<double> periods;
    for (size_t i = 1; i < arrivals.size(); ++i)
        periods.push_back(arrivals[i] - arrivals[i - 1]);
    if (periods.empty()) {
        std::printf("no checks seen\n");
        return 1;
    }
    std::sort(periods.begin(), periods.end());
    std::printf("checks %zu  period median %.2f ms  min %.2f  max %.2f\n", periods.size(),
                periods[periods.size() / 2], periods.front(), periods.back());
    return 0;
}
