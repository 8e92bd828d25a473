#include "mainwindow.h"

#include "ui_mainwindow.h"

#include "softwareversion.h"

#include <QDebug>
#include <QLabel>

void MainWindow::setState(int newState)
{
    state = newState;
    if (stateObserver)
        stateObserver(state);

    switch (newState) {
    case 2:
        versionLabel->setText(QString("Version ") + kSoftwareVersion);
        ui->pushButton_vesselPress_back->setEnabled(false);
        ui->pushButton_vesselPress_back->setVisible(false);
        ui->stackedWidget->setCurrentWidget(ui->vesselPressureScreen);
        break;
    default:
        qDebug() << "State management: Undefined state";
        break;
    }
}
