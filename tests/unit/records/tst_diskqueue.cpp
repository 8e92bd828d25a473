// The disk thread: writes leave the asking thread, keep their order, and what follows a write
// comes back to the asker only once the write is done; nothing asked for is dropped at the end.
#include "records/diskqueue.h"

#include <QThread>
#include <QtTest>

#include <atomic>
#include <mutex>
#include <vector>

class TestDiskQueue : public QObject
{
    Q_OBJECT

private slots:
    void write_runsInOrderOffTheCaller_thenBackInContext();
    void destruction_finishesPendingWrites();
    void drain_returnsAfterEarlierWrites();
};

void TestDiskQueue::write_runsInOrderOffTheCaller_thenBackInContext()
{
    DiskQueue queue;
    std::mutex lock;
    std::vector<int> order;
    std::vector<QThread *> writers;
    std::vector<int> seenByThen;
    for (int i = 0; i < 20; ++i) {
        queue.write(
                [&, i] {
                    // A slow flush first, so a write that overtook it would show.
                    if (i % 5 == 0)
                        QThread::msleep(10);
                    std::lock_guard<std::mutex> guard(lock);
                    order.push_back(i);
                    writers.push_back(QThread::currentThread());
                },
                this,
                [&, i] {
                    QCOMPARE(QThread::currentThread(), thread());
                    std::lock_guard<std::mutex> guard(lock);
                    // Its own write, and every earlier one, is done.
                    seenByThen.push_back(int(order.size()) > i ? i : -1);
                });
    }
    QTRY_COMPARE(seenByThen.size(), size_t(20));
    std::vector<int> expected(20);
    for (int i = 0; i < 20; ++i)
        expected[i] = i;
    QCOMPARE(order, expected);
    QCOMPARE(seenByThen, expected);
    for (QThread *writer : writers)
        QVERIFY(writer != thread());
}

void TestDiskQueue::destruction_finishesPendingWrites()
{
    std::atomic<int> done {0};
    {
        DiskQueue queue;
        for (int i = 0; i < 5; ++i)
            queue.write([&] {
                QThread::msleep(5);
                ++done;
            });
    }
    QCOMPARE(done.load(), 5);
}

void TestDiskQueue::drain_returnsAfterEarlierWrites()
{
    DiskQueue queue;
    std::atomic<bool> written {false};
    queue.write([&] {
        QThread::msleep(30);
        written = true;
    });
    queue.drain();
    QVERIFY(written);
}

QTEST_GUILESS_MAIN(TestDiskQueue)
#include "tst_diskqueue.moc"
