#include "logsvolume.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include <dlfcn.h>
#include <sys/uio.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

// The program writes its logs through Qt, the C++ streams and the C library, all of which end
// in write() or, for a chunk larger than a stream's buffer, writev(). The simulator is the same
// process, so it answers that call itself: the one place where a full volume shows, whichever way
// the program writes.
namespace {

std::atomic<bool> volumeFull {false};
std::string logsPrefix; // set before volumeFull turns true, read only while it is true

bool onLogsVolume(int fd)
{
    char link[64];
    char target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = ::readlink(link, target, sizeof target - 1);
    if (length <= 0)
        return false;
    return static_cast<size_t>(length) > logsPrefix.size()
            && std::strncmp(target, logsPrefix.c_str(), logsPrefix.size()) == 0;
}

template<typename Call> Call nextDefinition(const char *name)
{
    return reinterpret_cast<Call>(dlsym(RTLD_NEXT, name));
}

// Descriptors 0 to 2 are the console: never on the volume, and the hottest path.
bool refused(int fd)
{
    if (fd > STDERR_FILENO && volumeFull.load(std::memory_order_acquire) && onLogsVolume(fd)) {
        errno = ENOSPC;
        return true;
    }
    return false;
}

} // namespace

extern "C" ssize_t write(int fd, const void *buffer, size_t count)
{
    using WriteCall = ssize_t (*)(int, const void *, size_t);
    static const WriteCall next = nextDefinition<WriteCall>("write");
    return refused(fd) ? -1 : next(fd, buffer, count);
}

extern "C" ssize_t writev(int fd, const struct iovec *parts, int count)
{
    using WritevCall = ssize_t (*)(int, const struct iovec *, int);
    static const WritevCall next = nextDefinition<WritevCall>("writev");
    return refused(fd) ? -1 : next(fd, parts, count);
}

LogsVolume::LogsVolume(const QString &root)
{
    // The descriptors name canonical paths; the root may be given through a link.
    const QString canonical = QFileInfo(root).canonicalFilePath();
    logsPrefix = QFile::encodeName((canonical.isEmpty() ? root : canonical) + kLogsDirectory)
                         .toStdString();
}

LogsVolume::~LogsVolume()
{
    volumeFull = false;
}

bool LogsVolume::setFault(const QString &name, const QStringList &arguments, QString *reason)
{
    if (name != "logs-full" || !arguments.isEmpty()) {
        *reason = "logs-full takes no arguments";
        return false;
    }
    volumeFull.store(true, std::memory_order_release);
    return true;
}

void LogsVolume::clearFaults()
{
    volumeFull = false;
}

QList<Model::Reading> LogsVolume::readings() const
{
    return {{"logs volume", volumeFull ? "full" : "free space"}};
}
