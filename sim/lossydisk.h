#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include <sys/types.h>

// The board's flash in the simulator: each folder given (the data directory, the stick) is
// served over itself by a lossy volume (vemla8-lossyfs), which keeps at a power cut only what
// a journaling file system on flash keeps. A cut writes the medium's state into the folders and
// detaches the volumes, so the next boot and anyone reading the root afterwards see the disk as
// the power loss left it.
class LossyDisk
{
public:
    // Exit status of a simulator that needs the lossy disk where FUSE cannot be mounted: the
    // test harness counts it as skipped.
    static constexpr int kUnusableExitCode = 77;

    LossyDisk() = default;
    LossyDisk(const LossyDisk &) = delete;
    LossyDisk &operator=(const LossyDisk &) = delete;
    ~LossyDisk();

    // False, with the reason, when a volume could not be mounted (none stays mounted then).
    bool mount(const QStringList &folders, const QString &reportFile, QString *error);
    bool mounted() const;
    // A power cut, the survivors chosen by `seed` (0: nothing unsynced survives). Any thread.
    void cut(uint32_t seed);
    // An orderly power-off: everything written is kept.
    void stop();
    // Each fsync and sync of the volumes takes `milliseconds` first.
    bool setSlow(int milliseconds);

private:
    void finish(const std::string &how);

    struct Volume
    {
        std::string folder;
        pid_t pid;
    };
    mutable std::mutex lock;
    std::vector<Volume> volumes;
};
