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
            worker,
            [this] {
                runQueued();
                thread.quit();
            },
            Qt::QueuedConnection);
    thread.wait();
    // The join is a QWaitCondition a thread checker cannot see; the disk thread's last use of
    // the queue was under this lock, which orders it before the queue goes.
    std::lock_guard<std::mutex> lock(mutex);
}

void DiskQueue::write(std::function<void()> write, QObject *context, std::function<void()> then)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        jobs.push_back({std::move(write), context, std::move(then)});
    }
    QMetaObject::invokeMethod(
            worker, [this] { runQueued(); }, Qt::QueuedConnection);
}

void DiskQueue::drain()
{
    QMetaObject::invokeMethod(
            worker, [this] { runQueued(); }, Qt::BlockingQueuedConnection);
    // The blocking call returns through a Qt semaphore a thread checker cannot see; the jobs
    // ran before the disk thread last released this lock, so taking it orders them before what
    // the caller does next (the next run reuses the rows the last run's log was written from).
    std::lock_guard<std::mutex> lock(mutex);
}

void DiskQueue::runQueued()
{
    for (;;) {
        Job job;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (jobs.empty())
                return;
            job = std::move(jobs.front());
            jobs.pop_front();
        }
        job.write();
        if (job.context && job.then)
            QMetaObject::invokeMethod(job.context, std::move(job.then), Qt::QueuedConnection);
    }
}
