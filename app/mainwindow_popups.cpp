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

#include <utility>

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
        // The status bar shows through the list; its height is known once it is laid out.
        errorPopUp->keepClearOfBottom(ui->statusBar->isVisible() ? ui->statusBar->height() : 0);
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

void MainWindow::askQuestion(const QString &line1, const QString &line2, std::function<void()> yes,
                             std::function<void()> no)
{
    openPopUp(line1, line2, true, {line1, std::move(yes), std::move(no), {}});
}

void MainWindow::showMessage(const QString &line1, const QString &line2, std::function<void()> ok)
{
    openPopUp(line1, line2, false, {line1, {}, {}, std::move(ok)});
}

bool MainWindow::openPopUp(const QString &line1, const QString &line2, bool yesNo,
                           PopUpQuestion question)
{
    // The shutdown page is the last thing the operator sees: a late answer of a device (the
    // log export's status) or a timer must not cover it.
    if (shuttingDown()) {
        qDebug().noquote() << "Shutting down: pop-up not shown:" << line1;
        return false;
    }
    if (yesNo)
        popUp->setYesNoMode();
    else
        popUp->setOkMode();
    popUp->setText(line1, 1);
    popUp->setText(line2, 2);
    pendingQuestion = std::move(question);
    ui->stackedWidget->hide();
    popUp->show();
    return true;
}

void MainWindow::closePopUp()
{
    pendingQuestion = {};
    popUp->hide();
    ui->stackedWidget->show();
}

void MainWindow::answerPopUp(std::function<void()> PopUpQuestion::*answer, const char *button)
{
    // Taken off before the pop-up closes: the answer may ask the next question.
    const PopUpQuestion question = std::exchange(pendingQuestion, {});
    closePopUp();
    const std::function<void()> &action = question.*answer;
    if (action)
        action();
    else if (question.asked.isEmpty())
        qDebug() << "Pop-up:" << button << "without a question on screen";
}

void MainWindow::onPopUpYesPressed()
{
    answerPopUp(&PopUpQuestion::yes, "Yes");
}

void MainWindow::onPopUpNoPressed()
{
    answerPopUp(&PopUpQuestion::no, "No");
}

void MainWindow::onPopUpOkPressed()
{
    answerPopUp(&PopUpQuestion::ok, "Ok");
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
    // The pop-up may still be in the question form of the transfer it reports on: the status
    // replaces it.
    if (!openPopUp(info, "", false, {info, {}, {}, {}}))
        return;
    // The OK would hide the progress of a copy that is still running.
    if (info == "Transferring...") {
        popUp->setOkEnabled(false);
        qDebug() << "PopUp OK disabled";
    } else {
        popUp->setOkEnabled(true);
    }
}

void MainWindow::hideOverlays()
{
    closePopUp();
    errorPopUp->hide();
    licensePopUp->hide();
    keypadPopUp->hide();
}
