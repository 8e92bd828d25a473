// The running page's droplet animation: where the droplets are at chosen times of a pass, and
// what stopping and playing again do.
#include "ui/dropletanimation.h"
#include "ui/pixmap.h"

#include <QGraphicsScene>
#include <QSequentialAnimationGroup>
#include <QtTest>

#include <algorithm>

namespace {

struct Picture
{
    DropletAnimation view;
    QSequentialAnimationGroup *sequence = nullptr;
    Pixmap *cartridge = nullptr;
    QList<Pixmap *> droplets; // by index (z value)

    Picture()
    {
        sequence = view.findChild<QSequentialAnimationGroup *>();
        for (QGraphicsItem *item : view.QGraphicsView::scene()->items()) {
            auto *pixmap = dynamic_cast<Pixmap *>(item);
            if (!pixmap)
                continue;
            if (pixmap->pixmap().width() == DropletAnimation::kSceneWidth)
                cartridge = pixmap;
            else
                droplets << pixmap;
        }
        std::sort(droplets.begin(), droplets.end(),
                  [](Pixmap *a, Pixmap *b) { return a->zValue() < b->zValue(); });
    }
    ~Picture() { sequence->stop(); }

    // The state of the picture at a moment of the pass, without waiting for it.
    void seek(int ms)
    {
        sequence->start();
        sequence->pause();
        sequence->setCurrentTime(ms);
    }
};

} // namespace

class TestDropletAnimation : public QObject
{
    Q_OBJECT

private slots:
    void construction_buildsSceneStopped();
    void pass_placesDroplets_data();
    void pass_placesDroplets();
    void stopAndPlay_keepsItemsThenRestartsEmpty();
};

void TestDropletAnimation::construction_buildsSceneStopped()
{
    Picture picture;
    QCOMPARE(picture.view.sceneRect(), QRectF(0, 0, 740, 200));
    QVERIFY(picture.sequence);
    QCOMPARE(picture.sequence->state(), QAbstractAnimation::Stopped);
    QCOMPARE(picture.sequence->loopCount(), -1);
    QCOMPARE(picture.sequence->duration(), DropletAnimation::kPassMs);
    QVERIFY(picture.cartridge);
    // The cartridge picture is centred on the scene.
    QCOMPARE(picture.cartridge->sceneBoundingRect().center(), QPointF(370, 100));
    QCOMPARE(picture.droplets.size(), DropletAnimation::kDropletCount);
    for (int index = 0; index < picture.droplets.size(); ++index) {
        Pixmap *droplet = picture.droplets[index];
        QCOMPARE(droplet->zValue(), qreal(index));
        // A droplet's position is its centre.
        QCOMPARE(droplet->offset(),
                 QPointF(-droplet->pixmap().width() / 2, -droplet->pixmap().height() / 2));
        QCOMPARE(droplet->sceneBoundingRect().center(), QPointF(76, 171));
    }
}

void TestDropletAnimation::pass_placesDroplets_data()
{
    QTest::addColumn<int>("ms");
    QTest::addColumn<int>("droplet");
    QTest::addColumn<QPointF>("pos");
    QTest::addColumn<qreal>("scale");

    QTest::newRow("start: first droplet hidden at inlet") << 0 << 0 << QPointF(76, 171) << 0.0;
    QTest::newRow("growing") << 600 << 0 << QPointF(76, 171) << 0.5;
    QTest::newRow("rising halfway") << 1400 << 0 << QPointF(76, 109.5) << 1.0;
    QTest::newRow("end of common path") << 3300 << 0 << QPointF(280, 32) << 1.0;
    QTest::newRow("others still hidden at 3300") << 3300 << 8 << QPointF(76, 171) << 0.0;
    QTest::newRow("first droplet settled") << 6200 << 0 << QPointF(701, 161) << 1.0;
    QTest::newRow("second droplet appears after first") << 6200 << 1 << QPointF(76, 171) << 0.0;
    QTest::newRow("second droplet grown") << 7100 << 1 << QPointF(76, 171) << 1.0;
    QTest::newRow("first stays in heap") << 20000 << 0 << QPointF(701, 161) << 1.0;
    // Droplet 2 starts at 12120 ms: 3300 + 2900 (droplet 0) + 3300 + 2620 (droplet 1).
    QTest::newRow("third droplet mid-step") << 16820 << 2 << QPointF(531, 161) << 1.0;
    QTest::newRow("third droplet at heap top") << 17620 << 2 << QPointF(639, 101) << 1.0;
    QTest::newRow("last droplet resting") << 53919 << 8 << QPointF(558.5, 111) << 1.0;
    QTest::newRow("heap complete at end of pass") << 53919 << 5 << QPointF(701, 61) << 1.0;
    QTest::newRow("next pass starts empty") << 53920 + 10 << 5 << QPointF(701, 61) << 0.0;
}

void TestDropletAnimation::pass_placesDroplets()
{
    QFETCH(int, ms);
    QFETCH(int, droplet);
    QFETCH(QPointF, pos);
    QFETCH(qreal, scale);

    Picture picture;
    picture.seek(ms);
    Pixmap *item = picture.droplets.at(droplet);
    QCOMPARE(item->pos(), pos);
    QCOMPARE(item->scale(), scale);
}

void TestDropletAnimation::stopAndPlay_keepsItemsThenRestartsEmpty()
{
    Picture picture;
    picture.seek(20000);
    const QPointF heapPlace = picture.droplets[0]->pos();

    QTest::ignoreMessage(QtDebugMsg, "Animation stopped");
    picture.view.onStopEvent();
    QCOMPARE(picture.sequence->state(), QAbstractAnimation::Stopped);
    QCOMPARE(picture.droplets[0]->pos(), heapPlace);
    QCOMPARE(picture.droplets[0]->scale(), 1.0);

    QTest::ignoreMessage(QtDebugMsg, "Animation playing");
    picture.view.onPlayEvent();
    QCOMPARE(picture.sequence->state(), QAbstractAnimation::Running);
    for (Pixmap *droplet : picture.droplets)
        QCOMPARE(droplet->scale(), 0.0);
    // And the pass runs from its beginning again.
    QTRY_VERIFY_WITH_TIMEOUT(picture.sequence->currentTime() > 0, 2000);
    QVERIFY(picture.sequence->currentTime() < 3300);
}

QTEST_MAIN(TestDropletAnimation)
#include "tst_dropletanimation.moc"
