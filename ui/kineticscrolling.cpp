#include "kineticscrolling.h"

#include <QAbstractScrollArea>
#include <QScroller>
#include <QScrollerProperties>

void enableKineticScrolling(QAbstractScrollArea *area)
{
    // Touches arrive at the viewport, so that is where the scroller listens.
    QWidget *target = area->viewport();
    QScroller *scroller = QScroller::scroller(target);
    QScrollerProperties properties = scroller->scrollerProperties();
    const QVariant off = QVariant::fromValue(QScrollerProperties::OvershootAlwaysOff);
    properties.setScrollMetric(QScrollerProperties::HorizontalOvershootPolicy, off);
    properties.setScrollMetric(QScrollerProperties::VerticalOvershootPolicy, off);
    scroller->setScrollerProperties(properties);
    QScroller::grabGesture(target, QScroller::TouchGesture);
}
