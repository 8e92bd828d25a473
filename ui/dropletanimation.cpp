#include "dropletanimation.h"

#include "pixmap.h"

#include <QDebug>
#include <QGraphicsScene>
#include <QPropertyAnimation>
#include <QSequentialAnimationGroup>

#include <vector>

namespace {

const char *const kCartridgeImage = ":/images/images/cartridge.png";
const char *const kDropletImage = ":/images/images/droplet.png";

// The inlet of the cartridge, where every droplet appears, and the top of the channel it rises
// to before it turns right along the top edge.
const QPointF kInlet(76, 171);
const QPointF kRiseTop(76, 48);
const QPointF kTurn(96, 32);
const QPointF kTopRun(280, 32);

struct Step
{
    int durationMs;
    QPointF end;
};

// What each droplet does after the common rise and run along the top: down the outlet to the
// collection well and onto its place in the heap. The last step of each list repeats the end
// position: the droplet rests there before the next one starts.
const std::vector<std::vector<Step>> kHeapPaths = {
        {{1200, {497, 161}}, {1200, {701, 161}}, {500, {701, 161}}},
        {{1200, {497, 161}}, {920, {644, 161}}, {500, {644, 161}}},
        {{1200, {497, 161}},
         {400, {565, 161}},
         {200, {582, 132}},
         {200, {606, 109}},
         {200, {639, 101}},
         {200, {672.5, 111}},
         {500, {672.5, 111}}},
        {{1200, {497, 161}}, {500, {587, 161}}, {500, {587, 161}}},
        {{1200, {497, 161}},
         {200, {519, 161}},
         {200, {531, 129}},
         {200, {556, 107.5}},
         {200, {586, 101}},
         {200, {615.5, 111}},
         {500, {615.5, 111}}},
        {{1200, {497, 161}},
         {200, {519, 161}},
         {200, {531.5, 128}},
         {200, {548, 98}},
         {200, {571, 72.5}},
         {200, {599, 52}},
         {200, {633, 44}},
         {200, {668, 49}},
         {200, {701, 61}},
         {500, {701, 61}}},
        {{1200, {497, 161}},
         {200, {512, 129}},
         {200, {529, 99}},
         {200, {551, 72}},
         {200, {578, 53}},
         {200, {611, 50}},
         {200, {643.5, 61}},
         {500, {643.5, 61}}},
        {{1200, {497, 161}}, {200, {530, 161}}, {500, {530, 161}}},
        {{1000, {472, 145.5}},
         {200, {491, 115}},
         {200, {524, 100.5}},
         {200, {558.5, 111}},
         {1200, {558.5, 111}}},
};

QPropertyAnimation *animate(Pixmap *target, const char *property, int durationMs,
                            const QVariant &end)
{
    auto *animation = new QPropertyAnimation(target, property);
    animation->setDuration(durationMs);
    animation->setEndValue(end);
    return animation;
}

} // namespace

DropletAnimation::DropletAnimation(QWidget *parent) : QGraphicsView(parent)
{
    setStyleSheet("background-color: transparent;");
    setViewportUpdateMode(QGraphicsView::BoundingRectViewportUpdate);
    setCacheMode(QGraphicsView::CacheBackground);
    setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    setFocusPolicy(Qt::NoFocus);
    setContextMenuPolicy(Qt::NoContextMenu);
    setFrameShape(QFrame::NoFrame);
    setLineWidth(0);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setMinimumSize(kSceneWidth, kSceneHeight);

    const QPixmap cartridgeImage(kCartridgeImage);
    const QPixmap dropletImage(kDropletImage);
    if (cartridgeImage.isNull() || dropletImage.isNull())
        qWarning() << "DropletAnimation: missing picture" << kCartridgeImage << kDropletImage;

    scene = new QGraphicsScene(0, 0, kSceneWidth, kSceneHeight, this);

    cartridge = new Pixmap(cartridgeImage);
    cartridge->setCacheMode(QGraphicsItem::DeviceCoordinateCache);
    cartridge->setOffset(kSceneWidth / 2 - cartridgeImage.width() / 2,
                         kSceneHeight / 2 - cartridgeImage.height() / 2);
    scene->addItem(cartridge);

    sequence = new QSequentialAnimationGroup(this);

    std::vector<Pixmap *> droplets;
    for (int index = 0; index < kDropletCount; ++index) {
        auto *droplet = new Pixmap(dropletImage);
        droplet->setCacheMode(QGraphicsItem::DeviceCoordinateCache);
        // Centred on its position, so that scaling grows the droplet from its middle.
        droplet->setOffset(-dropletImage.width() / 2, -dropletImage.height() / 2);
        droplet->setPos(kInlet);
        droplet->setZValue(index);
        scene->addItem(droplet);
        // Every pass begins with an empty cartridge.
        sequence->addAnimation(animate(droplet, "scale", 0, 0.0));
        droplets.push_back(droplet);
    }

    setScene(scene);

    for (int index = 0; index < kDropletCount; ++index)
        addDropletPath(droplets[index], index);

    sequence->setLoopCount(-1);
    show();
}

DropletAnimation::~DropletAnimation()
{
    // The scene and its items go before the animations that drive them.
    sequence->stop();
    qDebug() << "DropletAnimation destructed";
}

QSize DropletAnimation::sizeHint() const
{
    return QSize(kSceneWidth, kSceneHeight);
}

void DropletAnimation::onPlayEvent()
{
    sequence->start();
    qDebug() << "Animation playing";
}

void DropletAnimation::onStopEvent()
{
    sequence->stop();
    qDebug() << "Animation stopped";
}

void DropletAnimation::addDropletPath(Pixmap *droplet, int index)
{
    sequence->addAnimation(animate(droplet, "pos", 300, kInlet));
    QPropertyAnimation *grow = animate(droplet, "scale", 600, 1.0);
    grow->setStartValue(0.0);
    sequence->addAnimation(grow);
    QPropertyAnimation *rise = animate(droplet, "pos", 1000, kRiseTop);
    rise->setStartValue(kInlet);
    sequence->addAnimation(rise);
    sequence->addAnimation(animate(droplet, "pos", 200, kTurn));
    sequence->addAnimation(animate(droplet, "pos", 1200, kTopRun));
    for (const Step &step : kHeapPaths[index])
        sequence->addAnimation(animate(droplet, "pos", step.durationMs, step.end));
}
