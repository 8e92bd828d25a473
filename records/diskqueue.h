#pragma once

#include <QObject>
#include <QThread>

#include <functional>

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
    QThread thread;
    QObject *worker;
};
