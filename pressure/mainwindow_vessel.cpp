// The vessel pressure reported by the pump and the check that pressurizing makes progress.
#include "app/mainwindow.h"

void MainWindow::updateCurrentPressure(uint16_t, int) { }

void MainWindow::checkPressurizing() { }
