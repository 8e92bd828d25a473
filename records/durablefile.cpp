#include "durablefile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <unistd.h>

bool syncDirectoryOf(const QString &resolvedPath)
{
    const QByteArray directory = QFile::encodeName(QFileInfo(resolvedPath).absolutePath());
    const int fd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

AppendResult appendDurably(const QString &resolvedPath, const QByteArray &bytes, bool created)
{
    QFile file(resolvedPath);
    // Unbuffered: the bytes go out in a single write, so a record is never split between two.
    // A loss of power can still cut it short; the reader and the next append recognise that by
    // the missing line end.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return AppendResult::OpenFailed;
    const bool written = file.write(bytes) == bytes.size();
    const bool synced = ::fsync(file.handle()) == 0;
    file.close();
    return written && synced && (!created || syncDirectoryOf(resolvedPath))
            ? AppendResult::Appended
            : AppendResult::WriteFailed;
}

bool syncDurably(const QString &resolvedPath, bool created)
{
    QFile file(resolvedPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const bool synced = ::fsync(file.handle()) == 0;
    file.close();
    return synced && (!created || syncDirectoryOf(resolvedPath));
}

bool replaceDurably(const QString &resolvedPath, const QByteArray &bytes)
{
    // The temporary file is synced before it is renamed over the old one; the rename reaches
    // the medium with the directory.
    QSaveFile file(resolvedPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return false;
    return syncDirectoryOf(resolvedPath);
}
