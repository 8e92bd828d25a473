#include "screencapture.h"

#include <QApplication>
#include <QPainter>
#include <QWidget>

QImage captureScreen(QWidget *mainWindow)
{
    QImage screen(1024, 600, QImage::Format_RGB32);
    screen.fill(Qt::black);
    QPainter painter(&screen);
    const QPoint origin = mainWindow->geometry().topLeft();
    painter.drawPixmap(0, 0, mainWindow->grab());
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top == mainWindow || !top->isVisible())
            continue;
        painter.drawPixmap(top->geometry().topLeft() - origin, top->grab());
    }
    return screen;
}
