// The drawer screen (open, close, stop) and the drawer's answers.
#include "mainwindow.h"

#include "ui_mainwindow.h"

#include "hw/drawer.h"

#include <QDebug>

namespace {
constexpr int kDirectionOpen = 1;
constexpr int kDirectionClose = -1;
// The drawer test drives the drawer against a blocked cartridge on purpose.
constexpr int kDrawerTestType = 3;
constexpr int kBlockedCartridgeTestType = 2;
} // namespace

void MainWindow::toggleDrawer()
{
    showButton(ui->pushButton_close, false);
    showButton(ui->pushButton_drawer_stop, true);
    int direction;
    if (drawerToggleOpens) {
        ui->pushButton_close->setText("Open");
        drawerToggleOpens = false;
        drawerMidway = true;
        direction = kDirectionClose;
        if (initialTestActive && initialTestType == kDrawerTestType) {
            emit drawerForce(kDirectionClose);
            return;
        }
    } else {
        ui->pushButton_close->setText("Close");
        drawerToggleOpens = true;
        drawerMidway = true;
        direction = kDirectionOpen;
    }
    emit drawerMove(direction);
}

void MainWindow::onDrawerStopPressed()
{
    abortDrawerMove();
    showDrawerHalted();
}

void MainWindow::showDrawerHalted()
{
    ui->label_title_drawer_menu->setText("Please open cartridge drawer");
    showButton(ui->pushButton_drawer_stop, false);
    showButton(ui->pushButton_close, true);
    if (drawerToggleOpens) {
        ui->pushButton_close->setText("Open");
        drawerToggleOpens = false;
    }
    drawerMidway = true;
}

void MainWindow::onDrawerStopped()
{
    if (state == 18) {
        // An obstacle while opening for the calibration: offer to open again.
        ui->label_CalibrationOpenScreen_title->setText("Please open cartridge drawer");
        ui->pushButton_CalibrationOpenScreen_stop_open->setText("Open");
        drawerToggleOpens = false;
        drawerMidway = true;
        return;
    }
    showDrawerHalted();
}

void MainWindow::onDrawerOpen()
{
    drawerMidway = false;
    if (state == 18) {
        setState(19);
        return;
    }
    if (state == 21) {
        ++calibrationCycle;
        if (calibrationCycle < calibrationCycles) {
            emit enableDrawerCalibration();
            setState(21);
        } else {
            setState(22);
        }
        return;
    }
    QString title = "Please insert/remove cartridge";
    if (initialTestActive) {
        switch (initialTestType) {
        case 0:
        case 1:
            title = "Please remove cartridge";
            break;
        case kBlockedCartridgeTestType:
            // From the second lane on the blocked cartridge is already in: close at once.
            if (testLane >= 1) {
                setState(5);
                return;
            }
            title = "Please insert blocked cartridge";
            break;
        case kDrawerTestType:
            title = "Please insert blocked cartridge";
            break;
        default:
            qDebug() << "onDrawerOpen(): undefined initial test type";
            break;
        }
    }
    ui->label_title_drawer_menu->setText(title);
    showButton(ui->pushButton_drawer_stop, false);
    showButton(ui->pushButton_close, true);
    ui->pushButton_close->setText("Close");
}

void MainWindow::onDrawerClose()
{
    drawerClosedSeen = true;
    drawerMidway = false;
    if (state == 21) {
        emit enableTemporaryHighThreshold();
        toggleDrawer();
        return;
    }
    // The closing at start-up belongs to the first pressurizing, which carries on.
    if (state == 2)
        return;
    if (!initialTestActive) {
        setState(3);
        return;
    }
    switch (initialTestType) {
    case 0:
    case 1:
    case kBlockedCartridgeTestType:
        // A full vessel lets the lane run start at once; otherwise pressurize first.
        if (vesselPressureMax == 1)
            startLaneTest();
        else
            setState(12);
        break;
    case kDrawerTestType:
        testResults();
        break;
    default:
        qDebug() << "onDrawerClose(): undefined initial test";
        break;
    }
}

void MainWindow::abortDrawerMove()
{
    if (drawer)
        drawer->requestAbort(1);
}

void MainWindow::setUpDrawerButtons()
{
    connectButton(ui->pushButton_open, [this] { setState(4); });
    connectButton(ui->pushButton_close, [this] { setState(5); });
    connectButton(ui->pushButton_drawer_stop, [this] { onDrawerStopPressed(); });
    connectButton(ui->pushButton_next, [this] { setState(7); });
}
