#include "diskqueue.h"

DiskQueue::DiskQueue() : worker(new QObject)
{
    thread.setObjectName("diskThread");
    worker->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
    thread.start();
}

DiskQueue::~DiskQueue()
{
    // Queued behind every write: the thread ends only when they are all on the disk.
    QMetaObject::invokeMethod(
            worker, [this] { thread.quit(); }, Qt::QueuedConnection);
    thread.wait();
}

void DiskQueue::write(std::function<void()> write, QObject *context, std::function<void()> then)
{
    QMetaObject::invokeMethod(
            worker,
            [write = std::move(write), context, then = std::move(then)] {
                write();
                if (context && then)
                    QMetaObject::invokeMethod(context, then, Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
}

void DiskQueue::drain()
{
    QMetaObject::invokeMethod(
            worker, [] {}, Qt::BlockingQueuedConnection);
}
