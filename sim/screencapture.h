#pragma once

#include <QImage>

class QWidget;

// What the 1024 x 600 touch screen shows: the main window with every visible pop-up (they are
// top-level windows of their own) and the splash screen painted over it at their positions.
// Windows beside the screen (the simulator's panel) fall outside the picture.
QImage captureScreen(QWidget *mainWindow);
