// The drawer, fan and pump join the window: each is created, moved to its own thread,
// connected and started in one block. Every connection crosses threads, so all are queued.
#include "mainwindow.h"

#include "hw/drawer.h"
#include "hw/fan.h"
#include "hw/pump.h"

void MainWindow::connectDrawer()
{
    drawer = new Drawer;
    // Boards of hardware version 0 have no current sensing: the drawer then runs timed.
    drawer->setSafetyEnabled(hardwareVersion != 0);
    drawer->moveToThread(&drawerThread);
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
    // Deleted in its own thread once the loop has ended, with the timers it made there.
    connect(&drawerThread, &QThread::finished, drawer, &QObject::deleteLater);
    startWorker(drawerThread);
}

void MainWindow::connectFan()
{
    fan = new Fan;
    fan->moveToThread(&fanThread);
    connect(this, &MainWindow::fanStart, fan, &Fan::fanStart);
    connect(this, &MainWindow::fanStop, fan, &Fan::fanStop);
    connect(&fanThread, &QThread::finished, fan, &QObject::deleteLater);
    startWorker(fanThread);
}

void MainWindow::connectPump()
{
    pump = new Pump;
    pump->moveToThread(&pumpThread);
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
    connect(&pumpThread, &QThread::finished, pump, &QObject::deleteLater);
    startWorker(pumpThread);
}
