#include "overlaywindow.h"

#include <QWidget>

void setUpOverlayWindow(QWidget *overlay, const QSize &size)
{
    overlay->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    overlay->setAttribute(Qt::WA_TranslucentBackground);
    overlay->setAttribute(Qt::WA_ShowWithoutActivating);
    overlay->setFixedSize(size);
    overlay->move(0, 0);
}
