// The drawer screen (open, close, stop) and the drawer's answers.
#include "mainwindow.h"

#include "ui_mainwindow.h"

#include "hw/drawer.h"
#include "service/initialtest.h"

#include <QDebug>

namespace {
constexpr int kDirectionOpen = 1;
constexpr int kDirectionClose = -1;
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
        // The drawer test drives the drawer against a blocked cartridge on purpose.
        if (initialTestActive && initialTestType == initialtest::DRAWER_TEST) {
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
    if (state == MenuState::CalibrationOpen) {
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
    if (state == MenuState::CalibrationOpen) {
        setState(MenuState::CalibrationInsert);
        return;
    }
    if (state == MenuState::CalibrationInProgress) {
        ++calibrationCycle;
        if (calibrationCycle < calibrationCycles) {
            emit enableDrawerCalibration();
            setState(MenuState::CalibrationInProgress);
        } else {
            setState(MenuState::CalibrationReady);
        }
        return;
    }
    QString title = "Please insert/remove cartridge";
    if (initialTestActive) {
        switch (initialTestType) {
        case initialtest::CLOSE_RUN_TEST:
        case initialtest::OPEN_RUN_TEST:
            title = "Please remove cartridge";
            break;
        case initialtest::BLOCKED_CARTRIDGE_TEST:
            // From the second lane on the blocked cartridge is already in: close at once.
            if (testLane >= 1) {
                setState(MenuState::CloseDrawer);
                return;
            }
            title = "Please insert blocked cartridge";
            break;
        case initialtest::DRAWER_TEST:
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
    if (state == MenuState::CalibrationInProgress) {
        emit enableTemporaryHighThreshold();
        toggleDrawer();
        return;
    }
    // The closing at start-up belongs to the first pressurizing, which carries on.
    if (state == MenuState::InitialPressurizing)
        return;
    if (!initialTestActive) {
        setState(MenuState::Home);
        return;
    }
    switch (initialTestType) {
    case initialtest::CLOSE_RUN_TEST:
    case initialtest::OPEN_RUN_TEST:
    case initialtest::BLOCKED_CARTRIDGE_TEST:
        // A full vessel lets the lane run start at once; otherwise pressurize first.
        if (vesselPressureMax == 1)
            startLaneTest();
        else
            setState(MenuState::Pressurizing);
        break;
    case initialtest::DRAWER_TEST:
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
    connectButton(ui->pushButton_open, [this] { setState(MenuState::OpenDrawer); });
    connectButton(ui->pushButton_close, [this] { setState(MenuState::CloseDrawer); });
    connectButton(ui->pushButton_drawer_stop, [this] { onDrawerStopPressed(); });
    connectButton(ui->pushButton_next, [this] { setState(MenuState::ModeSelection); });
}
