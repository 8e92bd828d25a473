// The overlays: the message/question pop-up, the error list, the licence viewer and the
// keypad. Each replaces the stacked widget while it is shown.
#include "mainwindow.h"

#include "ui_mainwindow.h"

#include "ui/dropletanimation.h"
#include "ui/errorpopup.h"
#include "ui/licensepopup.h"
#include "ui/popup.h"
#include "ui/settingspopup.h"

#include <QDebug>

void MainWindow::createPopUps()
{
    popUp = new PopUp(nullptr);
    errorPopUp = new ErrorPopUp(nullptr);
    keypadPopUp = new settingsPopUp(nullptr);
    licensePopUp = new LicensePopUp(nullptr);
}

void MainWindow::deletePopUps()
{
    // Top-level windows without a parent: nothing else deletes them.
    delete popUp;
    delete errorPopUp;
    delete keypadPopUp;
    delete licensePopUp;
}

void MainWindow::connectPopUps()
{
    connect(popUp, &PopUp::popUpOkPressed, this, &MainWindow::onPopUpOkPressed);
    connect(popUp, &PopUp::popUpYesPressed, this, &MainWindow::onPopUpYesPressed);
    connect(popUp, &PopUp::popUpNoPressed, this, &MainWindow::onPopUpNoPressed);
    connect(errorPopUp, &ErrorPopUp::backPressed, this, &MainWindow::onErrorPopUpBackPressed);
    connect(keypadPopUp, &settingsPopUp::updateDateAndTime, this,
            &MainWindow::onDateAndTimeEntered);
    connect(licensePopUp, &LicensePopUp::licensePopUpOkPressed, this,
            &MainWindow::onLicensePopUpOkPressed);
    connect(this, &MainWindow::playAnimation, ui->dropletAnimation, &DropletAnimation::onPlayEvent);
    connect(this, &MainWindow::stopAnimation, ui->dropletAnimation, &DropletAnimation::onStopEvent);
    connect(this, &MainWindow::systemError, this, &MainWindow::handleSystemError);
    connect(ui->label_err_reference_input, &ClickableLabel::clicked, this, [this] {
        ui->stackedWidget->hide();
        errorPopUp->show();
    });
    connect(ui->tableWidget_licenses, &QTableWidget::itemPressed, this,
            [this](QTableWidgetItem *item) {
                ui->stackedWidget->hide();
                licensePopUp->showLicense(item);
                licensePopUp->show();
            });
}

void MainWindow::showQuestion(const QString &line1, const QString &line2)
{
    popUp->setYesNoMode();
    popUp->setText(line1, 1);
    popUp->setText(line2, 2);
    ui->stackedWidget->hide();
    popUp->show();
}

void MainWindow::showMessage(const QString &line1, const QString &line2)
{
    popUp->setOkMode();
    popUp->setText(line1, 1);
    popUp->setText(line2, 2);
    ui->stackedWidget->hide();
    popUp->show();
}

void MainWindow::closePopUp()
{
    popUp->hide();
    ui->stackedWidget->show();
}

void MainWindow::onErrorPopUpBackPressed()
{
    errorPopUp->hide();
    ui->stackedWidget->show();
}

void MainWindow::onLicensePopUpOkPressed()
{
    licensePopUp->hide();
    ui->stackedWidget->show();
}

void MainWindow::onChangeStatusLabel(QString info)
{
    // The pop-up may still be in the question form of the transfer it reports on.
    popUp->setOkMode();
    popUp->setText(info, 1);
    popUp->setText("", 2);
    // The OK would hide the progress of a copy that is still running.
    if (info == "Transferring...") {
        popUp->setOkEnabled(false);
        qDebug() << "PopUp OK disabled";
    } else {
        popUp->setOkEnabled(true);
    }
    ui->stackedWidget->hide();
    popUp->show();
}

void MainWindow::hideOverlays()
{
    popUp->hide();
    errorPopUp->hide();
    licensePopUp->hide();
    ui->stackedWidget->show();
}
