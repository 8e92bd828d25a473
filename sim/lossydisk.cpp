#include "lossydisk.h"

#include "lossycontrol.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr long kFuseMagic = 0x65735546;
// Loading the volume reads every file of the folder; a loaded machine may take a while.
constexpr int kMountTimeoutMs = 30000;

// A volume left behind by a simulator that was killed: its daemon is gone or about to go.
void detachStale(const std::string &folder)
{
    struct statfs info
    {
    };
    if (::statfs(folder.c_str(), &info) != 0 ? errno == ENOTCONN : info.f_type == kFuseMagic)
        ::umount2(folder.c_str(), MNT_DETACH);
}

bool startVolume(const std::string &folder, const std::string &report, pid_t *pid, QString *error)
{
    detachStale(folder);
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        *error = QString("pipe: ") + std::strerror(errno);
        return false;
    }
    // Made before the fork: the child of a threaded process may only exec.
    const std::string fd = std::to_string(ready[1]);
    *pid = ::fork();
    if (*pid == 0) {
        ::fcntl(ready[1], F_SETFD, 0);
        ::execl(VEMLA_LOSSYFS, "vemla8-lossyfs", "mount", folder.c_str(), report.c_str(),
                fd.c_str(), static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ::close(ready[1]);
    char answer[8] = {};
    pollfd wait {ready[0], POLLIN, 0};
    const bool answered = *pid > 0 && ::poll(&wait, 1, kMountTimeoutMs) == 1
            && ::read(ready[0], answer, sizeof answer - 1) > 0;
    ::close(ready[0]);
    if (answered && std::strncmp(answer, "ready", 5) == 0)
        return true;
    if (*pid > 0) {
        ::kill(*pid, SIGTERM);
        ::waitpid(*pid, nullptr, 0);
    }
    *error = QString("the lossy volume over %1 did not mount")
                     .arg(QFile::decodeName(folder.c_str()));
    return false;
}

} // namespace

LossyDisk::~LossyDisk()
{
    stop();
}

bool LossyDisk::mount(const QStringList &folders, const QString &reportFile, QString *error)
{
    std::string why;
    if (std::strlen(VEMLA_LOSSYFS) == 0) {
        *error = "no lossy disk: vemla8-lossyfs is not built for this machine";
        return false;
    }
    if (!lossycontrol::usable(&why)) {
        *error = "no lossy disk: " + QString::fromStdString(why);
        return false;
    }
    const std::string report = QFile::encodeName(reportFile).toStdString();
    for (const QString &folder : folders) {
        Volume volume {QFile::encodeName(folder).toStdString(), 0};
        if (!startVolume(volume.folder, report, &volume.pid, error)) {
            stop();
            return false;
        }
        std::lock_guard<std::mutex> guard(lock);
        volumes.push_back(volume);
    }
    return true;
}

bool LossyDisk::mounted() const
{
    std::lock_guard<std::mutex> guard(lock);
    return !volumes.empty();
}

void LossyDisk::cut(uint32_t seed)
{
    finish(std::to_string(seed));
}

void LossyDisk::stop()
{
    finish(lossycontrol::kKeepAll);
}

void LossyDisk::finish(const std::string &how)
{
    std::lock_guard<std::mutex> guard(lock);
    for (const Volume &volume : volumes) {
        lossycontrol::finish(volume.folder, how);
        // The program may still hold files open on it; detached, the folder shows the medium
        // at once, and the daemon ends when the last of them closes.
        ::umount2(volume.folder.c_str(), MNT_DETACH);
    }
    volumes.clear();
}

bool LossyDisk::setSlow(int milliseconds)
{
    std::lock_guard<std::mutex> guard(lock);
    bool ok = !volumes.empty();
    for (const Volume &volume : volumes)
        ok = lossycontrol::setSlow(volume.folder, milliseconds) && ok;
    return ok;
}
