#include "simfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <mutex>

namespace simfiles {

namespace {
std::mutex goneMutex;
QSet<QString> goneFiles;

bool isGone(const QString &file)
{
    std::lock_guard<std::mutex> lock(goneMutex);
    for (const QString &gone : goneFiles) {
        if (file == gone || file.startsWith(gone + '/'))
            return true;
    }
    return false;
}
} // namespace

void setGone(const QString &file, bool gone)
{
    std::lock_guard<std::mutex> lock(goneMutex);
    if (gone)
        goneFiles.insert(file);
    else
        goneFiles.remove(file);
}

bool writeAtomically(const QString &file, const QByteArray &content)
{
    if (isGone(file))
        return false;
    QDir().mkpath(QFileInfo(file).path());
    const QString temporary = file + ".sim-tmp";
    QFile out(temporary);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool written = out.write(content) == content.size();
    out.close();
    if (!written)
        return false;
    return std::rename(QFile::encodeName(temporary).constData(),
                       QFile::encodeName(file).constData())
            == 0;
}

QByteArray lastField(const QString &file, int fieldWidth)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = in.size();
    if (size > fieldWidth)
        in.seek(size - fieldWidth);
    QByteArray field = in.read(fieldWidth);
    const int nul = field.indexOf('\0');
    if (nul >= 0)
        field.truncate(nul);
    return field.trimmed();
}

int lastFieldValue(const QString &file, int fieldWidth, int fallback)
{
    bool ok = false;
    const int value = lastField(file, fieldWidth).toInt(&ok);
    return ok ? value : fallback;
}

} // namespace simfiles
