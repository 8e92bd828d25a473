#pragma once

#include "lossydisk.h"
#include "sandbox.h"
#include "scenarioscript.h"
#include "simdeviceio.h"
#include "world.h"

#include <memory>

#include <QString>

class MainWindow;
class ControlChannel;
class ModbusRtuServer;
class Panel;
class ScenarioRunner;
class StallProbe;

// The simulated instrument around one run of the program: the sandbox root, the device-I/O
// backend, the hardware models, and what observes the screen (state lines, scenario, panel).
class Simulator
{
public:
    struct Options
    {
        QString root = "sim-root";
        bool fresh = false;
        bool headless = false;
        QString scenarioFile;
        QString epcPort;
        QString pressureSettings; // a settings file to install as the actual pressure settings
        QString controlPath; // a local socket for an outside driver (ControlChannel)
        int hardwareVersion = 1;
        // Set by the simulator itself when the update script restarts the board: the stick
        // stays in the port and the scenario goes on at the step it was in.
        bool usbInserted = false;
        int resumeStep = 0;
        // Measures the GUI thread's stalls and first paints for the benchmarks (StallProbe).
        bool stallProbe = false;
        // The data directory and the stick on the lossy disk even when no step needs it.
        bool lossyDisk = false;
        // The disk's choice of survivors at a power cut whose step names none.
        int cutSeed = 1;
    };

    // Parses the command line; false with a message for a bad one.
    static bool parseArguments(int argc, char **argv, Options *options, QString *error);

    explicit Simulator(const Options &options);
    ~Simulator();

    // Reads the scenario, lays the root, installs the platform backends and builds the models;
    // runs before the QApplication exists.
    bool prepare(QString *error);
    // The exit status for a failed prepare(): 2, or LossyDisk::kUnusableExitCode.
    int failureExitCode() const { return failureCode; }
    // The instrument's hardware is powered with the board: the models run (and present their
    // state, a drawer left open, a vessel still under pressure) before the program reads them.
    // Called once the application object exists, before the window is built.
    void powerOn();
    // Attaches to the constructed window (scenario runner, panel).
    void attach(MainWindow &window);

private:
    void addI2cChips();
    void addDrawerPumpAndFan();
    void powerOff();
    void restart();
    void reboot(int scenarioStep);
    bool connectEpcBus(QString *error);
    bool installPressureSettings(QString *error);
    bool needsLossyDisk() const;

    Options options;
    int failureCode = 2;
    LossyDisk disk; // before the world: its flash model refers to it
    Sandbox sandbox;
    SimDeviceIo deviceIo;
    World world;
    std::unique_ptr<ModbusRtuServer> epcBus; // declared after the world: stops before it
    ScenarioScript script;
    std::unique_ptr<ScenarioRunner> scenario;
    std::unique_ptr<ControlChannel> control;
    std::unique_ptr<Panel> panel;
    std::unique_ptr<StallProbe> probe;
};
