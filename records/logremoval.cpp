#include "logremoval.h"

#include "platform/commands.h"

#include "platform/platform.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

namespace {

const QString kLogRoot = QStringLiteral("/usr/share/vemla/logs");

// Visible entries only: hidden files are the file system's, not logs.
QStringList entriesOf(const QString &resolvedDir)
{
    return QDir(resolvedDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

int removeLogFiles()
{
    const QStringList entries = entriesOf(platform::path(kLogRoot));
    int result = LOGS_NOTHING_TO_REMOVE;
    for (const QString &entry : entries) {
        const QString path = kLogRoot + "/" + entry;
        const QString resolved = platform::path(path);
        // A link is not one of our log folders: "rm -rf link/*" would empty wherever it points.
        const QFileInfo info(resolved);
        if (!info.isDir() || info.isSymLink()) {
            qDebug().noquote() << "Invalid directory: " + path;
            continue;
        }
        qDebug().noquote() << "Checking Dir:  " + path;
        if (entriesOf(resolved).isEmpty())
            continue;
        qDebug().noquote() << "Deleting log files from:   " + path;
        if (platform::removeContents(resolved.toStdString()) != 0) {
            qDebug().noquote() << "Failed to delete log files in: " + path;
            result = LOGS_REMOVAL_FAILED;
        } else if (result != LOGS_REMOVAL_FAILED) {
            result = LOGS_REMOVED;
        }
    }
    return result;
}
