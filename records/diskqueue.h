#pragma once

#include <QObject>
#include <QThread>

#include <deque>
#include <functional>
#include <mutex>

// The board's flash takes tens of milliseconds for each flush, too long for the GUI thread to
// wait on. Writes that must reach the medium run here instead, on a thread of their own, one
// after the other in the order they were asked for: what is on the disk, and in what order it
// got there, is as if they had run in place. What must follow a write (the operator being told
// it is done, a device that reads it back) runs afterwards in the asking object's thread.
class DiskQueue
{
public:
    DiskQueue();
    DiskQueue(const DiskQueue &) = delete;
    DiskQueue &operator=(const DiskQueue &) = delete;
    // Does every write asked for, then ends the thread.
    ~DiskQueue();

    // `write` in the disk thread after every write asked for before it; then `then`, if given,
    // in `context`'s thread. `context` must outlive the queue.
    void write(std::function<void()> write, QObject *context = nullptr,
               std::function<void()> then = {});
    // Returns once every write asked for before it is done.
    void drain();

private:
    struct Job
    {
        std::function<void()> write;
        QObject *context;
        std::function<void()> then;
    };
    // In the disk thread: every job queued so far, in order.
    void runQueued();

    // The jobs pass to the disk thread under this lock rather than inside Qt's event queue, so
    // that their hand-over is ordered where a thread checker (and the next reader) can see it;
    // the event posted with each only wakes the thread.
    std::mutex mutex;
    std::deque<Job> jobs;
    QThread thread;
    QObject *worker;
};
