#pragma once

#include <QGraphicsView>

class Pixmap;
class QGraphicsScene;
class QSequentialAnimationGroup;

// The running page's picture of droplet production: nine droplets appear at the inlet on the
// left of the cartridge one after another, rise, cross the top and settle in a heap at the
// right-hand end. One pass lasts kPassMs and loops until the run ends.
class DropletAnimation : public QGraphicsView
{
    Q_OBJECT

public:
    static constexpr int kSceneWidth = 740; // the cartridge picture
    static constexpr int kSceneHeight = 200;
    static constexpr int kDropletCount = 9;
    static constexpr int kPassMs = 53920;

    explicit DropletAnimation(QWidget *parent = nullptr);
    ~DropletAnimation() override;

    QSize sizeHint() const override;

public slots:
    void onPlayEvent();
    void onStopEvent();

private:
    void addDropletPath(Pixmap *droplet, int index);

    QGraphicsScene *scene = nullptr;
    Pixmap *cartridge = nullptr;
    QSequentialAnimationGroup *sequence = nullptr;
};
