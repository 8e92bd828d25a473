#include "stickfile.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace stickfile {

Kind kindAt(const QString &resolvedPath, qint64 *size)
{
    if (size)
        *size = 0;
    struct stat status
    {
    };
    if (::lstat(QFile::encodeName(resolvedPath).constData(), &status) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Kind::Nothing : Kind::Other;
    if (S_ISDIR(status.st_mode))
        return Kind::Folder;
    if (!S_ISREG(status.st_mode))
        return Kind::Other;
    if (size)
        *size = status.st_size;
    return Kind::PlainFile;
}

bool removeIfNotPlain(const QString &resolvedPath)
{
    if (kindAt(resolvedPath) != Kind::Other)
        return true;
    // unlink removes the link itself, never what it points to.
    ::unlink(QFile::encodeName(resolvedPath).constData());
    return kindAt(resolvedPath) != Kind::Other;
}

bool writePlain(const QString &resolvedPath, const QByteArray &bytes)
{
    const QByteArray target = QFile::encodeName(resolvedPath);
    const QByteArray part = target + ".part";
    // Whatever a previous, interrupted write or the stick's owner left under the part's name.
    ::unlink(part.constData());
    const int fd
            = ::open(part.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    qint64 written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += n;
    }
    const bool complete = written == bytes.size() && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (complete && closed && std::rename(part.constData(), target.constData()) == 0)
        return true;
    ::unlink(part.constData());
    return false;
}

} // namespace stickfile
