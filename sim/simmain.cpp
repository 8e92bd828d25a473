// vemla8-sim: the instrument program on the simulated instrument.
#include "app/mainwindow.h"
#include "app/startup.h"
#include "simulator.h"

#include <cstdio>

#include <QApplication>

int main(int argc, char *argv[])
{
    Simulator::Options options;
    QString error;
    if (!Simulator::parseArguments(argc, argv, &options, &error)) {
        std::fprintf(stderr, "%s", qPrintable(error));
        return 2;
    }
    if (options.headless)
        qputenv("QT_QPA_PLATFORM", "offscreen");

    Simulator simulator(options);
    if (!simulator.prepare(&error)) {
        std::fprintf(stderr, "vemla8-sim: %s\n", qPrintable(error));
        return 2;
    }
    QApplication app(argc, argv);
    simulator.powerOn();
    return runInstrument(app, [&](MainWindow &window) { simulator.attach(window); });
}
