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
    QSequentialAnimationGroup *sequence = view.findChild<QSequentialAnimationGroup *>();
    QList<Pixmap *> droplets; // by index, which is their z value

    Picture()
    {
        for (QGraphicsItem *item : view.QGraphicsView::scene()->items()) {
            auto *pixmap = dynamic_cast<Pixmap *>(item);
            if (pixmap && pixmap->pixmap().width() < DropletAnimation::kSceneWidth)
                droplets << pixmap;
        }
        std::sort(droplets.begin(), droplets.end(),
                  [](Pixmap *a, Pixmap *b) { return a->zValue() < b->zValue(); });
    }
    ~Picture() { sequence->stop(); }

    // The picture at a moment of the pass, without waiting for it.
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
    void pass_placesDroplets_data();
    void pass_placesDroplets();
    void stopAndPlay_keepsItemsThenRestartsEmpty();
};

void TestDropletAnimation::pass_placesDroplets_data()
{
    QTest::addColumn<int>("ms");
    QTest::addColumn<int>("droplet");
    QTest::addColumn<QPointF>("pos");
    QTest::addColumn<qreal>("scale");

    QTest::newRow("start: hidden at inlet") << 0 << 0 << QPointF(76, 171) << 0.0;
    QTest::newRow("end of common path") << 3300 << 0 << QPointF(280, 32) << 1.0;
    QTest::newRow("first settled") << 6200 << 0 << QPointF(701, 161) << 1.0;
    QTest::newRow("second starts after first") << 6200 << 1 << QPointF(76, 171) << 0.0;
    // Droplet 2 starts at 12120 ms: 3300 + 2900 (droplet 0) + 3300 + 2620 (droplet 1).
    QTest::newRow("third on heap top") << 17620 << 2 << QPointF(639, 101) << 1.0;
    QTest::newRow("last resting at end") << 53919 << 8 << QPointF(558.5, 111) << 1.0;
    QTest::newRow("next pass starts empty") << 53930 << 5 << QPointF(701, 61) << 0.0;
}

void TestDropletAnimation::pass_placesDroplets()
{
    QFETCH(int, ms);
    QFETCH(int, droplet);
    QFETCH(QPointF, pos);
    QFETCH(qreal, scale);

    Picture picture;
    QCOMPARE(picture.sequence->duration(), 53920);
    QCOMPARE(picture.droplets.size(), 9);
    // Positions are centres: the picture is drawn around them.
    QCOMPARE(picture.droplets[0]->offset(), QPointF(-28, -28));
    picture.seek(ms);
    QCOMPARE(picture.droplets.at(droplet)->pos(), pos);
    QCOMPARE(picture.droplets.at(droplet)->scale(), scale);
}

void TestDropletAnimation::stopAndPlay_keepsItemsThenRestartsEmpty()
{
    Picture picture;
    QCOMPARE(picture.sequence->state(), QAbstractAnimation::Stopped);
    picture.seek(20000);

    QTest::ignoreMessage(QtDebugMsg, "Animation stopped");
    picture.view.onStopEvent();
    QCOMPARE(picture.sequence->state(), QAbstractAnimation::Stopped);
    QCOMPARE(picture.droplets[0]->pos(), QPointF(701, 161));
    QCOMPARE(picture.droplets[0]->scale(), 1.0);

    QTest::ignoreMessage(QtDebugMsg, "Animation playing");
    picture.view.onPlayEvent();
    for (Pixmap *droplet : picture.droplets)
        QCOMPARE(droplet->scale(), 0.0);
    QTRY_VERIFY_WITH_TIMEOUT(picture.sequence->currentTime() > 0, 2000);
    QVERIFY(picture.sequence->currentTime() < 3300);
}

QTEST_MAIN(TestDropletAnimation)
#include "tst_dropletanimation.moc"
