#include "simulator.h"

#include "app/mainwindow.h"
#include "app/menunames.h"
#include "controlchannel.h"
#include "modbusrtuserver.h"
#include "models/drawermotor.h"
#include "models/fanmodel.h"
#include "models/flashdisk.h"
#include "models/i2cbus.h"
#include "models/i2cbuses.h"
#include "models/laneflow.h"
#include "models/leddriver.h"
#include "models/logsvolume.h"
#include "models/physicalstate.h"
#include "models/powerbutton.h"
#include "models/pressurecontrollers.h"
#include "models/pumpvessel.h"
#include "models/sysfsattributes.h"
#include "models/temperaturesensor.h"
#include "models/usbstick.h"
#include "models/valveexpander.h"
#include "panel.h"
#include "platform/platform.h"
#include "scenariorunner.h"
#include "simlog.h"
#include "stallprobe.h"

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
          "                  [--epc-port PATH] [--hw-version N] [--pressure-settings FILE]\n"
          "                  [--control SOCKET]\n"
          "                  [--usb-inserted] [--resume-step N] [--stall-probe]\n"
          "                  [--lossy-disk] [--cut-seed N]\n";

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
        } else if (arg == "--control") {
            if (!value(&options->controlPath))
                return false;
        } else if (arg == "--pressure-settings") {
            if (!value(&options->pressureSettings))
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
        } else if (arg == "--lossy-disk") {
            options->lossyDisk = true;
        } else if (arg == "--cut-seed") {
            QString text;
            if (!value(&text))
                return false;
            bool ok = false;
            options->cutSeed = text.toInt(&ok);
            if (!ok || options->cutSeed < 0) {
                *error = "--cut-seed takes a number from 0 on\n";
                return false;
            }
        } else if (arg == "--stall-probe") {
            options->stallProbe = true;
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
    if (!options->controlPath.isEmpty() && !options->scenarioFile.isEmpty()) {
        *error = "--control and --scenario drive the same runner: give one\n";
        return false;
    }
    return true;
}

Simulator::Simulator(const Options &options) : options(options), sandbox(options.root) { }

Simulator::~Simulator()
{
    world.stop();
    disk.stop();
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

    // The hardware as the last power-on left it (a fresh root: a new instrument).
    const PhysicalState::Saved physical
            = PhysicalState::load(PhysicalState::fileFor(sandbox.root()));
    addI2cChips();
    world.add<PowerButton>(sandbox.root());
    world.add<UsbStick>(sandbox.root(), options.usbInserted || physical.stickPlugged);
    world.add<SysfsAttributes>(sandbox.root());
    world.add<LogsVolume>(sandbox.root());
    addDrawerPumpAndFan();
    world.add<PhysicalState>(sandbox.root(), physical, world.find<DrawerMotor>(),
                             world.find<PumpVessel>());
    if (!connectEpcBus(error) || !installPressureSettings(error))
        return false;
    world.add<FlashDisk>(disk);
    if (needsLossyDisk()
        && !disk.mount({sandbox.file("/usr/share/vemla"), sandbox.file("/sim/usb-stick")},
                       sandbox.file("/sim/disk.log"), error)) {
        failureCode = LossyDisk::kUnusableExitCode;
        return false;
    }
    world.settle();
    platform::setVolumeQuery([this] {
        QStringList volumes;
        world.with<UsbStick>([&](UsbStick &stick) { volumes = stick.mountedVolumes(); });
        return volumes;
    });
    MainWindow::setStateObserver([this](int state) {
        std::printf("state %d %s\n", state, qPrintable(menuName(state)));
        std::fflush(stdout);
        if (probe)
            probe->stateEntered(state);
        if (scenario)
            scenario->stateEntered(state);
        if (control)
            control->stateEntered(state);
    });
    return true;
}

void Simulator::powerOn()
{
    // The models' thread needs the application object; it exists by now.
    world.start();
}

void Simulator::attach(MainWindow &window)
{
    if (options.stallProbe) {
        probe = std::make_unique<StallProbe>();
        probe->stateEntered(window.menuState());
    }
    // A cut keeps of the disk what the cut's seed (or the simulator's) lets the flash keep.
    const auto cutDisk = [this](int seed) {
        disk.cut(static_cast<uint32_t>(seed < 0 ? options.cutSeed : seed));
    };
    if (!options.scenarioFile.isEmpty()) {
        scenario = std::make_unique<ScenarioRunner>(script, window, world);
        scenario->stateEntered(window.menuState());
        // Power comes back after a cut: the board boots from cold on the same disk.
        scenario->setPowerReturn([this](int nextStep) { reboot(nextStep); });
        scenario->setPowerLoss(cutDisk);
        scenario->start(options.resumeStep);
    }
    if (!options.controlPath.isEmpty()) {
        scenario = std::make_unique<ScenarioRunner>(ScenarioScript {}, window, world);
        scenario->stateEntered(window.menuState());
        // The explorer cuts the power too: on the same lossy disk as a scenario's cut.
        scenario->setPowerLoss(cutDisk);
        control = std::make_unique<ControlChannel>(window, world, *scenario);
        QString error;
        if (!control->listen(options.controlPath, &error)) {
            std::fprintf(stderr, "vemla8-sim: %s\n", qPrintable(error));
            ::_exit(2);
        }
    }
    if (!options.headless) {
        panel = std::make_unique<Panel>(world);
        panel->move(window.geometry().right() + 20, window.geometry().top());
        panel->show();
    }
}

// The board's I2C chips on their buses: the sensor and the status light on i2c-2, the valve
// expander on i2c-4. The program opens the nodes through the sandbox root.
void Simulator::addI2cChips()
{
    auto *buses = world.add<I2cBuses>(sandbox.root());
    const auto sensorBus = buses->bus(I2cBuses::kSensorBus);
    const auto valveBus = buses->bus(I2cBuses::kValveBus);
    sensorBus->attach(TemperatureSensor::kAddress, world.add<TemperatureSensor>(sandbox.root()));
    sensorBus->attach(LedDriver::kAddress, world.add<LedDriver>());
    valveBus->attach(ValveExpander::kAddress, world.add<ValveExpander>());
    deviceIo.addDevice(platform::path("/dev/i2c-2"), sensorBus);
    deviceIo.addDevice(platform::path("/dev/i2c-4"), valveBus);
}

// The drawer motor, the pump with its vessel, and the fan. The lanes draw on the vessel through
// the open valves as far as the controllers deliver pressure into the lines.
void Simulator::addDrawerPumpAndFan()
{
    world.add<DrawerMotor>(sandbox.root(), options.hardwareVersion != 0);
    world.add<PumpVessel>(sandbox.root(), [this]() -> double {
        // Found at every tick, under the world's lock: the controllers join after the pump.
        const ValveExpander *valves = world.find<ValveExpander>();
        if (!valves)
            return 0;
        const PressureControllers *controllers = world.find<PressureControllers>();
        if (!controllers) // controllers on an external bus: their lines are taken as delivering
            return laneflow::openLanes(valves->valveMask(), valves->driven());
        std::array<double, laneflow::kLines> lines {};
        for (int line = 0; line < laneflow::kLines; ++line)
            lines[line] = controllers->lineMbar(line + 1);
        return laneflow::draw(valves->valveMask(), valves->driven(), lines);
    });
    world.add<FanModel>(sandbox.root());
}

// A power cut is only a test of the program's writes on a disk that loses what a real one
// loses; a slow flush needs the same volume.
bool Simulator::needsLossyDisk() const
{
    // A driver on the control channel may cut the power at any step.
    if (options.lossyDisk || !options.controlPath.isEmpty())
        return true;
    for (const ScenarioStep &step : script.steps) {
        if (step.kind == ScenarioStep::PowerCut || step.kind == ScenarioStep::PowerCutIn
            || (step.kind == ScenarioStep::Fault && step.text == "disk-slow"))
            return true;
    }
    return false;
}

bool Simulator::installPressureSettings(QString *error)
{
    if (options.pressureSettings.isEmpty())
        return true;
    const QString target = sandbox.file("/usr/share/vemla/resources/pressure_settings.inc");
    QFile::remove(target);
    if (!QFile::copy(options.pressureSettings, target)) {
        *error = "cannot install the pressure settings " + options.pressureSettings;
        return false;
    }
    return true;
}

// The program's serial port /dev/ttymxc0 is a link: to the simulated controllers' pseudo-terminal,
// or with --epc-port to a real device (a USB-RS485 adapter with controllers on the bench).
bool Simulator::connectEpcBus(QString *error)
{
    QString target = options.epcPort;
    if (target.isEmpty()) {
        world.add<PressureControllers>(sandbox.root());
        epcBus = std::make_unique<ModbusRtuServer>(world, sandbox.file("/sim/serial.trace"));
        if (!epcBus->start(error))
            return false;
        target = QString::fromStdString(epcBus->devicePath());
        deviceIo.attachWire(platform::path("/dev/ttymxc0"),
                            platform::path("/sys/class/gpio/gpio83/value"),
                            platform::path("/sys/class/gpio/gpio84/value"), epcBus->wire());
    }
    const QString link = sandbox.file("/dev/ttymxc0");
    QFile::remove(link);
    if (!QFile::link(target, link)) {
        *error = "cannot link " + link + " to " + target;
        return false;
    }
    return true;
}

void Simulator::powerOff()
{
    // The board is off: nothing after this runs, as on the instrument; the hardware stays as
    // it is.
    world.with<PhysicalState>([](PhysicalState &state) { state.saveNow(); });
    // Its shutdown has flushed the disks.
    disk.stop();
    const int code = scenario ? scenario->exitCodeAtPowerOff() : 0;
    std::printf("poweroff\n");
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(code);
}

void Simulator::restart()
{
    // The installed update reboots the board into the new software, the scenario at the step it
    // was waiting in.
    QFile::remove(sandbox.restartMarker());
    disk.stop();
    std::printf("restart\n");
    reboot(scenario ? scenario->currentStep() : 0);
}

void Simulator::reboot(int scenarioStep)
{
    // The same program on the same root (never laid fresh); a stick in the port stays there.
    QStringList arguments {"--root", sandbox.root(), "--hw-version",
                           QString::number(options.hardwareVersion)};
    if (QFileInfo::exists(sandbox.file("/dev/sda1")))
        arguments << "--usb-inserted";
    if (options.headless)
        arguments << "--headless";
    if (options.stallProbe)
        arguments << "--stall-probe";
    if (options.lossyDisk)
        arguments << "--lossy-disk";
    arguments << "--cut-seed" << QString::number(options.cutSeed);
    if (!options.epcPort.isEmpty())
        arguments << "--epc-port" << options.epcPort;
    if (!options.pressureSettings.isEmpty())
        arguments << "--pressure-settings" << options.pressureSettings;
    if (!options.controlPath.isEmpty())
        arguments << "--control" << options.controlPath;
    if (!options.scenarioFile.isEmpty()) {
        arguments << "--scenario" << options.scenarioFile;
        arguments << "--resume-step" << QString::number(scenarioStep);
    }
    std::fflush(stdout);
    std::fflush(stderr);
    const QByteArray program = QFile::encodeName(QCoreApplication::applicationFilePath());
    // The board's build played on a workstation runs under user-mode emulation, and the kernel
    // cannot start an arm64 program by itself: VEMLA_SIM_EMULATOR (e.g. "qemu-aarch64 -L /",
    // set by the test that started this one through it) starts it again the same way.
    std::vector<QByteArray> storage;
    for (const QByteArray &word : qgetenv("VEMLA_SIM_EMULATOR").split(' '))
        if (!word.isEmpty())
            storage.push_back(word);
    storage.push_back(program);
    for (const QString &argument : arguments)
        storage.push_back(QFile::encodeName(argument));
    std::vector<char *> argv;
    for (QByteArray &item : storage)
        argv.push_back(item.data());
    argv.push_back(nullptr);
    ::execvp(argv.front(), argv.data());
    std::fprintf(stderr, "vemla8-sim: cannot restart %s\n", argv.front());
    ::_exit(2);
}
