// The device workers join the window here, in the order the constructor starts them: each
// worker is created, connected, then adopted into its thread. Every connection crosses
// threads, so all are queued.
//
//   drawerThread    Drawer
//   fanThread       Fan
//   pumpThread      Pump
//   pressureThread  EpcControl
//   i2cThread       I2C_InternalTemp, I2C_LedControl
//   valveThread     I2C_ValveControl
//   exportThread    RunCounters, LogExporter
#include "mainwindow.h"

#include "hw/drawer.h"
#include "hw/fan.h"
#include "hw/i2c_internaltemp.h"
#include "hw/i2c_ledcontrol.h"
#include "hw/i2c_valvecontrol.h"
#include "hw/pump.h"
#include "pressure/epccontrol.h"
#include "records/runcounters.h"
#include "usb/logexporter.h"

#include <QTimer>

void MainWindow::connectDevices()
{
    connectDrawer();
    connectFan();
    connectPump();
    connectPressureControl();
    connectI2cDevices();
    connectRunCounters();
    connectLogExporter();
    adopt(exportThread, {runCounters, logExporter});
}

QList<QThread *> MainWindow::deviceThreads()
{
    return {&drawerThread, &fanThread,      &pumpThread,  &valveThread,
            &i2cThread,    &pressureThread, &exportThread};
}

void MainWindow::adopt(QThread &thread, std::initializer_list<QObject *> workers)
{
    for (QObject *worker : workers) {
        worker->moveToThread(&thread);
        // Deleted in its own thread once the loop has ended, with the timers it made there and
        // its device descriptor, which is closed there.
        connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
    }
    // Workers run at the priority of the GUI thread: the drawer's current supervision must
    // not starve behind the screen, nor the other way round.
    thread.start(QThread::InheritPriority);
}

void MainWindow::connectDrawer()
{
    drawer = new Drawer;
    // Boards of hardware version 0 have no current sensing: the drawer then runs timed.
    drawer->setSafetyEnabled(hardwareVersion != 0);
    connect(this, &MainWindow::drawerInit, drawer, &Drawer::init);
    connect(this, &MainWindow::drawerMove, drawer, &Drawer::moveDrawer);
    connect(this, &MainWindow::drawerForce, drawer, &Drawer::forceDrawer);
    connect(drawer, &Drawer::drawerIsOpened, this, &MainWindow::onDrawerOpen);
    connect(drawer, &Drawer::drawerIsClosed, this, &MainWindow::onDrawerClose);
    connect(drawer, &Drawer::drawerIsStopped, this, &MainWindow::onDrawerStopped);
    connect(drawer, &Drawer::drawerError, this, &MainWindow::handleSystemError);
    connect(this, &MainWindow::drawerLogEnabled, drawer, &Drawer::enableLogging);
    connect(this, &MainWindow::drawerLogDisabled, drawer, &Drawer::disableLogging);
    connect(this, &MainWindow::drawerUpdateSettings, drawer, &Drawer::updateDrawerSettings);
    connect(this, &MainWindow::enableDrawerCalibration, drawer, &Drawer::enableCalibration);
    connect(this, &MainWindow::enableTemporaryHighThreshold, drawer, &Drawer::enableHighThreshold);
    adopt(drawerThread, {drawer});
}

void MainWindow::connectFan()
{
    fan = new Fan;
    connect(this, &MainWindow::fanStart, fan, &Fan::fanStart);
    connect(this, &MainWindow::fanStop, fan, &Fan::fanStop);
    adopt(fanThread, {fan});
}

void MainWindow::connectPump()
{
    pump = new Pump;
    connect(this, &MainWindow::initPump, pump, &Pump::initPump);
    connect(this, &MainWindow::disablePumpAutoStart, pump, &Pump::stopPumpAutoStart);
    connect(this, &MainWindow::enablePump, pump, &Pump::enablePump);
    connect(this, &MainWindow::disablePump, pump, &Pump::disablePump);
    connect(this, &MainWindow::pressureRelease, pump, &Pump::pressureRelease);
    connect(pump, &Pump::pressureValue, this, &MainWindow::updateCurrentPressure);
    connect(this, &MainWindow::stopPumpAutoStart, pump, &Pump::stopPumpAutoStart);
    connect(pump, &Pump::pumpIsEnabled, this, &MainWindow::onPumpEnabled);
    connect(pump, &Pump::pumpIsDisabled, this, &MainWindow::onPumpDisabled);
    connect(this, &MainWindow::startPumpAutoStart, pump, &Pump::startPumpAutoStart);
    adopt(pumpThread, {pump});
}

void MainWindow::connectPressureControl()
{
    pressureControl = new EpcControl();
    connect(this, &MainWindow::initEpc, pressureControl, &EpcControl::init);
    connect(setPressureWatchdog, &QTimer::timeout, pressureControl,
            &EpcControl::resetAndSetPressure);
    connect(readPressureWatchdog, &QTimer::timeout, pressureControl,
            &EpcControl::resetAndReadPressure);
    connect(this, &MainWindow::setPressure, pressureControl, &EpcControl::setPressure);
    connect(this, &MainWindow::readPressure, pressureControl, &EpcControl::readPressure);
    connect(pressureControl, &EpcControl::setChannel_1_Value, this, &MainWindow::channel_1_value,
            Qt::QueuedConnection);
    connect(pressureControl, &EpcControl::setChannel_2_Value, this, &MainWindow::channel_2_value,
            Qt::QueuedConnection);
    connect(pressureControl, &EpcControl::setChannel_3_Value, this, &MainWindow::channel_3_value,
            Qt::QueuedConnection);
    connect(pressureControl, &EpcControl::setPressureDone, this, &MainWindow::onSetPressureDone,
            Qt::QueuedConnection);
    connect(pressureControl, &EpcControl::readPressureDone, this, &MainWindow::onReadPressureDone,
            Qt::QueuedConnection);
    adopt(pressureThread, {pressureControl});
}

// The temperature sensor and the status light share i2cThread (and bus i2c-2), so their
// transfers never overlap; the valve expander has valveThread.
void MainWindow::connectI2cDevices()
{
    internalTemp = new I2C_InternalTemp;
    valveControl = new I2C_ValveControl;
    ledControl = new I2C_LedControl;

    connect(this, &MainWindow::temperatureInit, internalTemp, &I2C_InternalTemp::init);
    connect(temperatureTimer, &QTimer::timeout, internalTemp, &I2C_InternalTemp::readTemperature);
    connect(internalTemp, &I2C_InternalTemp::updateTemperature, this, &MainWindow::saveTemperature);
    connect(this, &MainWindow::ledInit, ledControl, &I2C_LedControl::init);
    connect(this, &MainWindow::ledReset, ledControl, &I2C_LedControl::reset);
    connect(this, &MainWindow::ledOutput, ledControl, &I2C_LedControl::setLED);
    adopt(i2cThread, {internalTemp, ledControl});

    connect(this, &MainWindow::valveInit, valveControl, &I2C_ValveControl::init);
    connect(this, &MainWindow::valveOutput, valveControl, &I2C_ValveControl::setOutputPins);
    adopt(valveThread, {valveControl});
}

// Idle during a run; answers the counting that startRun asks for.
void MainWindow::connectRunCounters()
{
    runCounters = new RunCounters;
    connect(runCounters, &RunCounters::runCounted, this, [this] { continueRunStart(); });
}

void MainWindow::connectLogExporter()
{
    // Constructed here, in the GUI thread, so that its run-log pruning is done at start-up.
    logExporter = new LogExporter;
    connect(this, &MainWindow::logExportRun, logExporter, &LogExporter::exportAll);
    connect(logExporter, &LogExporter::changeStatusLabel, this, &MainWindow::onChangeStatusLabel);
}
