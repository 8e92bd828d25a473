// Draws the program's pictures (background, cartridge, droplet, arrow icons) into
// resources/images. Run it once after changing a drawing and commit the PNGs, so that the
// instrument build itself needs no image tool:  build/picgen resources/images
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

#include <cstdio>

namespace {

const QColor kBlue(0, 118, 154);
const QColor kGrey(128, 128, 128);

QImage background()
{
    QImage image(1024, 600, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 1024, 600);
    sky.setColorAt(0.0, QColor(6, 40, 58));
    sky.setColorAt(0.55, QColor(4, 62, 86));
    sky.setColorAt(1.0, QColor(2, 24, 38));
    p.fillRect(image.rect(), sky);
    // A quiet field of droplets, brighter toward the lower right.
    for (int row = 0; row < 12; ++row) {
        for (int col = 0; col < 20; ++col) {
            const double x = 30 + col * 52 + (row % 2) * 26;
            const double y = 25 + row * 50;
            const double weight = (x / 1024.0 + y / 600.0) / 2.0;
            const double r = 3 + 9 * weight * weight;
            QColor c(0, 160, 200, int(10 + 40 * weight));
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawEllipse(QPointF(x, y), r, r);
        }
    }
    // A thin accent line above the status bar.
    p.setPen(QPen(QColor(0, 118, 154, 180), 2));
    p.drawLine(0, 560, 1024, 560);
    return image;
}

QImage cartridge()
{
    QImage image(740, 200, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient body(0, 0, 0, 200);
    body.setColorAt(0, QColor(225, 230, 235));
    body.setColorAt(1, QColor(170, 178, 186));
    p.setBrush(body);
    p.setPen(QPen(QColor(90, 100, 110), 3));
    p.drawRoundedRect(QRectF(4, 20, 732, 160), 18, 18);
    // Eight lanes, each an inlet well, a channel and an outlet well.
    for (int lane = 0; lane < 8; ++lane) {
        const double x = 70 + lane * 86;
        p.setPen(QPen(QColor(70, 80, 90), 2));
        p.setBrush(QColor(120, 130, 140));
        p.drawEllipse(QPointF(x, 60), 16, 16);
        p.drawEllipse(QPointF(x, 140), 22, 22);
        p.setPen(QPen(kBlue, 4));
        p.drawLine(QPointF(x, 76), QPointF(x, 118));
    }
    return image;
}

QImage droplet()
{
    QImage image(56, 56, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath drop;
    drop.moveTo(28, 3);
    drop.cubicTo(38, 18, 48, 27, 48, 36);
    drop.arcTo(QRectF(8, 16, 40, 38), 0, -180);
    drop.cubicTo(8, 27, 18, 18, 28, 3);
    QRadialGradient fill(22, 30, 30);
    fill.setColorAt(0, QColor(120, 210, 240));
    fill.setColorAt(1, kBlue);
    p.setPen(QPen(QColor(0, 80, 110), 1.5));
    p.setBrush(fill);
    p.drawPath(drop);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 170));
    p.drawEllipse(QPointF(20, 34), 4, 6);
    return image;
}

QImage arrow(bool pointsLeft, const QColor &color)
{
    QImage image(100, 100, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(QRectF(4, 4, 92, 92));
    QPolygonF head;
    head << QPointF(62, 24) << QPointF(34, 50) << QPointF(62, 76);
    if (!pointsLeft) {
        for (QPointF &point : head)
            point.setX(100 - point.x());
    }
    p.setPen(QPen(Qt::white, 10, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(head);
    return image;
}

bool save(const QImage &image, const QString &file)
{
    QDir().mkpath(QFileInfo(file).path());
    if (!image.save(file, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: picgen IMAGES_DIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    bool ok = save(background(), dir + "/background-image/korvand_background.png");
    ok = save(cartridge(), dir + "/images/cartridge.png") && ok;
    ok = save(droplet(), dir + "/images/droplet.png") && ok;
    ok = save(arrow(true, kBlue), dir + "/images/arrow-left-blue.png") && ok;
    ok = save(arrow(true, kGrey), dir + "/images/arrow-left-grey.png") && ok;
    ok = save(arrow(false, kBlue), dir + "/images/arrow-right-blue.png") && ok;
    ok = save(arrow(false, kGrey), dir + "/images/arrow-right-grey.png") && ok;
    return ok ? 0 : 1;
}
