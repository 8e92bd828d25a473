// Benchmark of the drawer's current sampling: runs a real supervised opening (instrument
// clock, real sleeps) in the drawer's own thread against a temporary sysfs, while the main
// thread runs a 10 ms timer standing in for the GUI. Prints the sampling period statistics
// and how late the main thread's timer ever was.
//
//   drawerbench [seconds]      (default 10)
#include "bench/benchroot.h"
#include "hw/drawer.h"
#include "hw/drawerclock.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include <QCoreApplication>
#include <QMutex>
#include <QThread>
#include <QTimer>

namespace {

constexpr int kSamplePeriodMs = 25;
constexpr double kToleranceMs = 5;
constexpr int kGuiTickMs = 10;

double nowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// The instrument's clock, noting when each sample sleep ends (the moment of the ADC read).
class RecordingClock : public DrawerClock
{
public:
    void sleepMs(int ms) override
    {
        DrawerClock::sleepMs(ms);
        if (ms != kSamplePeriodMs)
            return;
        QMutexLocker lock(&mutex);
        sampleTimes.push_back(nowMs());
    }
    std::vector<double> times()
    {
        QMutexLocker lock(&mutex);
        return sampleTimes;
    }

private:
    QMutex mutex;
    std::vector<double> sampleTimes;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    // The drawer logs every sample; that belongs to what is measured, the terminal does not.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});

    BenchRoot root;
    for (const char *pwm : {"PWM<B>", "PWM<C>"})
        root.write(QString("/sys/class/leds/") + pwm + "/brightness", "0\n");
    // A drawer that keeps moving: the opening runs until it is aborted.
    root.write("/sys/bus/iio/devices/iio:device0/in_voltage4_raw", "350\n");
    root.write("/usr/share/vemla/vemla.ini", "[drawer]\nsafety_threshold=1500\n");

    RecordingClock clock;
    auto *drawer = new Drawer(&clock);
    drawer->setSafetyEnabled(true);
    QThread thread;
    drawer->moveToThread(&thread);
    thread.start();
    QMetaObject::invokeMethod(drawer, "updateDrawerSettings");
    QMetaObject::invokeMethod(drawer, "moveDrawer", Q_ARG(int, 1));

    double lastGuiTick = nowMs();
    double worstGuiLateMs = 0;
    QTimer gui;
    gui.setTimerType(Qt::PreciseTimer);
    QObject::connect(&gui, &QTimer::timeout, [&] {
        const double now = nowMs();
        worstGuiLateMs = std::max(worstGuiLateMs, now - lastGuiTick - kGuiTickMs);
        lastGuiTick = now;
    });
    gui.start(kGuiTickMs);
    QTimer::singleShot(seconds * 1000, &app, [&] {
        drawer->requestAbort(1);
        app.quit();
    });
    app.exec();
    thread.quit();
    thread.wait();
    delete drawer;

    const std::vector<double> times = clock.times();
    std::vector<double> periods;
    for (size_t i = 1; i < times.size(); ++i)
        periods.push_back(times[i] - times[i - 1]);
    if (periods.empty()) {
        std::printf("no samples taken\n");
        return 1;
    }
    double sum = 0, squares = 0;
    int within = 0;
    for (double p : periods) {
        sum += p;
        squares += p * p;
        within += std::fabs(p - kSamplePeriodMs) <= kToleranceMs;
    }
    const double mean = sum / periods.size();
    const auto [lowest, highest] = std::minmax_element(periods.begin(), periods.end());
    std::vector<double> sorted = periods;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    std::printf("samples %zu  period mean %.2f ms  median %.2f  sd %.2f  min %.2f  max %.2f\n",
                periods.size(), mean, sorted[sorted.size() / 2],
                std::sqrt(squares / periods.size() - mean * mean), *lowest, *highest);
    std::printf("within %d +- %.0f ms: %d of %zu (%.2f %%)\n", kSamplePeriodMs, kToleranceMs,
                within, periods.size(), 100.0 * within / periods.size());
    std::printf("main-thread %d ms timer: worst lateness %.2f ms\n", kGuiTickMs, worstGuiLateMs);
    return 0;
}
