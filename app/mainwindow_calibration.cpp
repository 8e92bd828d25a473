// The pages of the guided drawer calibration and their buttons.
#include "mainwindow.h"

#include "ui_mainwindow.h"

void MainWindow::setUpCalibration()
{
    connectButton(ui->pushButton_CalibrationStartScreen_open, [this] { setState(18); });
    connectButton(ui->pushButton_CalibrationStartScreen_cancel, [this] { setState(3); });
    connectButton(ui->pushButton_CalibrationOpenScreen_stop_open, [this] {
        if (!drawerToggleOpens) {
            setState(18);
            return;
        }
        abortDrawerMove();
        ui->label_CalibrationOpenScreen_title->setText("Please open cartridge drawer");
        ui->pushButton_CalibrationOpenScreen_stop_open->setText("Open");
        drawerToggleOpens = false;
        drawerMidway = true;
    });
    connectButton(ui->pushButton_CalibrationInsertScreen_ready,
                  [this] { setState(state == 19 ? 20 : 21); });
    connectButton(ui->pushButton_CalibrationReadyScreen_cancel, [this] { setState(24); });
    connectButton(ui->pushButton_CalibrationCancelScreen_yes, [this] { setState(19); });
    connectButton(ui->pushButton_CalibrationCancelScreen_no, [this] { setState(23); });
    connectButton(ui->pushButton_CalibrationFinishedScreen_close, [this] { setState(5); });
}
