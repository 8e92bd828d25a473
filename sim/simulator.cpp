#include "simulator.h"

#include "app/mainwindow.h"
#include "app/menunames.h"
#include "models/drawermotor.h"
#include "models/fanmodel.h"
#include "models/powerbutton.h"
#include "models/pumpvessel.h"
#include "models/usbstick.h"
#include "panel.h"
#include "platform/platform.h"
#include "scenariorunner.h"
#include "simlog.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <vector>

namespace {

constexpr int kMaxHardwareVersion = 7;

const char *const kUsage
        = "usage: vemla8-sim [--root DIR] [--fresh] [--headless] [--scenario FILE]\n"
          "                  [--epc-port PATH] [--hw-version N] [--usb-inserted]\n"
          "                  [--resume-step N]\n";

} // namespace

bool Simulator::parseArguments(int argc, char **argv, Options *options, QString *error)
{
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        auto value = [&](QString *target) {
            if (i + 1 >= argc) {
                *error = arg + " needs a value\n" + kUsage;
                return false;
            }
            *target = QString::fromLocal8Bit(argv[++i]);
            return true;
        };
        if (arg == "--fresh") {
            options->fresh = true;
        } else if (arg == "--headless") {
            options->headless = true;
        } else if (arg == "--root") {
            if (!value(&options->root))
                return false;
        } else if (arg == "--scenario") {
            if (!value(&options->scenarioFile))
                return false;
        } else if (arg == "--epc-port") {
            if (!value(&options->epcPort))
                return false;
        } else if (arg == "--hw-version") {
            QString text;
            if (!value(&text))
                return false;
            bool ok = false;
            options->hardwareVersion = text.toInt(&ok);
            if (!ok || options->hardwareVersion < 0
                || options->hardwareVersion > kMaxHardwareVersion) {
                *error = "--hw-version takes 0 to 7\n";
                return false;
            }
        } else if (arg == "--usb-inserted") {
            options->usbInserted = true;
        } else if (arg == "--resume-step") {
            QString text;
            if (!value(&text))
                return false;
            bool ok = false;
            options->resumeStep = text.toInt(&ok);
            if (!ok || options->resumeStep < 0) {
                *error = "--resume-step takes a step number\n";
                return false;
            }
        } else {
            *error = "unknown option " + arg + "\n" + kUsage;
            return false;
        }
    }
    return true;
}

Simulator::Simulator(const Options &options) : options(options), sandbox(options.root) { }

Simulator::~Simulator()
{
    world.stop();
    platform::setDeviceIo(nullptr);
    platform::setCommandRunner({});
    platform::setVolumeQuery({});
}

bool Simulator::prepare(QString *error)
{
    if (!options.scenarioFile.isEmpty()) {
        QFile file(options.scenarioFile);
        if (!file.open(QIODevice::ReadOnly)) {
            *error = "cannot read the scenario " + options.scenarioFile;
            return false;
        }
        script = ScenarioScript::parse(QString::fromUtf8(file.readAll()));
        if (!script.error.isEmpty()) {
            *error = options.scenarioFile + ": " + script.error;
            return false;
        }
    }
    if (!sandbox.lay(options.fresh, options.hardwareVersion, error))
        return false;
    installSimLog(sandbox.appLog());

    platform::setRoot(sandbox.root().toStdString());
    platform::setDeviceIo(&deviceIo);
    // The fake platform tools come first on the command path; sync, mkdir and rm are the real
    // ones and work on the sandbox, and so is cp unless a stick fault is in force.
    const QByteArray path = QFile::encodeName(sandbox.toolsDir()) + ':' + qgetenv("PATH");
    qputenv("PATH", path);
    platform::setCommandRunner([this](const std::string &command) {
        const int status = std::system(command.c_str());
        if (QFileInfo::exists(sandbox.powerOffMarker()))
            powerOff();
        if (QFileInfo::exists(sandbox.restartMarker()))
            restart();
        return status;
    });

    world.add<PowerButton>(sandbox.root());
    world.add<UsbStick>(sandbox.root(), options.usbInserted);
    // Drawer, pump and vessel, fan. The lane valves count as closed until the valve
    // expander is modelled.
    world.add<DrawerMotor>(sandbox.root());
    world.add<PumpVessel>(sandbox.root());
    world.add<FanModel>(sandbox.root());
    platform::setVolumeQuery([this] {
        QStringList volumes;
        world.with<UsbStick>([&](UsbStick &stick) { volumes = stick.mountedVolumes(); });
        return volumes;
    });
    MainWindow::setStateObserver([this](int state) {
        std::printf("state %d %s\n", state, qPrintable(menuName(state)));
        std::fflush(stdout);
        if (scenario)
            scenario->stateEntered(state);
    });
    return true;
}

void Simulator::attach(MainWindow &window)
{
    // The models' thread needs the application object; it exists by now.
    world.start();
    if (!options.scenarioFile.isEmpty()) {
        scenario = std::make_unique<ScenarioRunner>(script, window, world);
        scenario->stateEntered(window.menuState());
        scenario->start(options.resumeStep);
    }
    if (!options.headless) {
        panel = std::make_unique<Panel>(world);
        panel->move(window.geometry().right() + 20, window.geometry().top());
        panel->show();
    }
}

void Simulator::powerOff()
{
    // The board is off: nothing after this runs, as on the instrument.
    const int code = scenario ? scenario->exitCodeAtPowerOff() : 0;
    std::printf("poweroff\n");
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(code);
}

void Simulator::restart()
{
    // The installed update reboots the board into the new software: the same program on the
    // same root (never laid fresh), with the stick still plugged in and the scenario at the step
    // it was waiting in.
    QStringList arguments {"--root", sandbox.root(), "--usb-inserted", "--hw-version",
                           QString::number(options.hardwareVersion)};
    if (options.headless)
        arguments << "--headless";
    if (!options.epcPort.isEmpty())
        arguments << "--epc-port" << options.epcPort;
    if (!options.scenarioFile.isEmpty()) {
        arguments << "--scenario" << options.scenarioFile;
        arguments << "--resume-step" << QString::number(scenario ? scenario->currentStep() : 0);
    }
    QFile::remove(sandbox.restartMarker());
    std::printf("restart\n");
    std::fflush(stdout);
    std::fflush(stderr);
    const QByteArray program = QFile::encodeName(QCoreApplication::applicationFilePath());
    std::vector<QByteArray> storage {program};
    for (const QString &argument : arguments)
        storage.push_back(QFile::encodeName(argument));
    std::vector<char *> argv;
    for (QByteArray &item : storage)
        argv.push_back(item.data());
    argv.push_back(nullptr);
    ::execv(program.constData(), argv.data());
    std::fprintf(stderr, "vemla8-sim: cannot restart %s\n", program.constData());
    ::_exit(2);
}
