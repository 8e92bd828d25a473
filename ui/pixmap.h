#pragma once

#include <QGraphicsPixmapItem>
#include <QObject>

// A picture in a graphics scene whose position, scale and rotation can be driven by
// QPropertyAnimation (a plain graphics item has no properties to animate).
class Pixmap : public QObject, public QGraphicsPixmapItem
{
    Q_OBJECT
    Q_PROPERTY(QPointF pos READ pos WRITE setPos)
    Q_PROPERTY(qreal scale READ scale WRITE setScale)
    Q_PROPERTY(qreal rotation READ rotation WRITE setRotation)

public:
    explicit Pixmap(const QPixmap &pixmap);
};
