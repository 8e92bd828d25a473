#pragma once

#include <QImage>

class QWidget;

// What the 1024 x 600 touch screen shows: the main window with every visible pop-up (they are
// top-level windows of their own) and the splash screen painted over it at their positions.
// `exclude` (the simulator's panel) is left out.
QImage captureScreen(QWidget *mainWindow, const QWidget *exclude = nullptr);
