#include "clickablelabel.h"

#include <QMouseEvent>

ClickableLabel::ClickableLabel(QWidget *parent) : QLabel(parent) { }

void ClickableLabel::mousePressEvent(QMouseEvent *event)
{
    // Taken here, so the press does not travel on to the page behind the label.
    event->accept();
    emit clicked();
}
