#pragma once

#include <QString>
#include <QVector>

class QWidget;

// What a finger can press now: the visible, enabled buttons and clickable labels of the window
// and of its pop-ups (the keypad included). A window control that a visible pop-up covers is
// out of reach, as on the touch screen.
struct ScreenControl
{
    QWidget *widget = nullptr;
    QString name; // object name
    QString text; // what it shows, for a button
    QString top; // object name of the window or pop-up it belongs to
};

QVector<ScreenControl> screenControls(QWidget *mainWindow);
