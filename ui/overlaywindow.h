#pragma once

#include <QSize>

class QWidget;

// The pop-ups and the keypad are top-level windows laid over the main window: no frame, above
// it, see-through where they draw nothing, and never taking the focus from the main window.
constexpr QSize kScreenSize(1024, 600);

void setUpOverlayWindow(QWidget *overlay, const QSize &size = kScreenSize);
