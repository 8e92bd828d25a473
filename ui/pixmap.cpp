#include "pixmap.h"

Pixmap::Pixmap(const QPixmap &pixmap) : QGraphicsPixmapItem(pixmap) { }
