// The window's side of the pressure control: set-points, read-back and the run's ramp.
#include "app/mainwindow.h"

void MainWindow::channel_1_value(uint16_t) { }

void MainWindow::channel_2_value(uint16_t) { }

void MainWindow::channel_3_value(uint16_t) { }

void MainWindow::onSetPressureDone() { }

void MainWindow::onReadPressureDone() { }

void MainWindow::setPreRampPressure(const QString &) { }
