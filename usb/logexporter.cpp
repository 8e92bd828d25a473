#include "logexporter.h"

#include "platform/commands.h"
#include "platform/platform.h"
#include "records/appsettings.h"
#include "records/stickfile.h"

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QThread>

namespace {

const QString kLogRoot = QStringLiteral("/usr/share/vemla/logs");
const QString kMountPoint = QStringLiteral("/media/sda1");
const QString kRunLogDir = QStringLiteral("/usr/share/vemla/logs/production");
const QString kStickLogDir = QStringLiteral("/media/sda1/logs");
const QString kDiagnosticsFile = QStringLiteral("/media/sda1/logs/diagnostics.log");
const char *const kLogRemoveScript = "/usr/bin/logremove.sh";
// Run logs kept on the instrument; older ones are the script's to remove.
constexpr int kRunLogsKept = 200;
// The stick's controller acknowledges the final sync before it has written everything out.
constexpr unsigned long kSettleAfterCopyMs = 500;

std::string resolved(const QString &instrumentPath)
{
    return platform::path(instrumentPath.toStdString());
}

// The copy's exit status is that of its final sync, so a stick that fills up or is pulled
// during the copy would pass unseen: every log file must be on the stick at its full size, as
// a plain file in a folder of the stick's own.
bool copiedCompletely(const QString &source, const QString &target)
{
    if (stickfile::kindAt(target) != stickfile::Kind::Folder)
        return false;
    QDirIterator it(source, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString copy = target + path.mid(source.size());
        qint64 size = 0;
        if (stickfile::kindAt(copy, &size) != stickfile::Kind::PlainFile
            || size != QFileInfo(path).size()) {
            qDebug().noquote() << "LogExporter: not on the stick: " + copy;
            return false;
        }
    }
    return true;
}

// Removes a link, FIFO, socket or device node at a path the copy will write. False, with the
// path, when one is there to stay.
bool clearPath(const QString &path, QString *refused)
{
    if (stickfile::kindAt(path) != stickfile::Kind::Other)
        return true;
    if (!stickfile::removeIfNotPlain(path)) {
        *refused = path;
        return false;
    }
    qDebug().noquote() << "LogExporter: removed a link or special file on the stick: " + path;
    return true;
}

// cp writes through a link that exists where it copies to (a stick's "logs" linked into the
// instrument, a log file linked to the settings file), and through a FIFO or device node it
// writes elsewhere or waits for ever. So every path the copy will write, from the stick's log
// folder down, is looked at before it, parents first, and such an entry is removed as cp would
// overwrite a file of that name.
bool clearWayFor(const QString &source, const QString &target, QString *refused)
{
    if (!clearPath(target, refused))
        return false;
    const QFileInfoList entries = QDir(source).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot
                                                             | QDir::Hidden | QDir::System);
    for (const QFileInfo &entry : entries) {
        const QString next = target + "/" + entry.fileName();
        const bool folder = entry.isDir() && !entry.isSymLink();
        if (!(folder ? clearWayFor(entry.filePath(), next, refused) : clearPath(next, refused)))
            return false;
    }
    return true;
}

} // namespace

LogExporter::LogExporter()
{
    qDebug("LogExporter created!");
    const int status = platform::sourceScript(platform::path(kLogRemoveScript),
                                              {resolved(kRunLogDir), std::to_string(kRunLogsKept)});
    qDebug("LogExporter: removed old run logs: %s", status == 0 ? "success" : "failed");
}

LogExporter::~LogExporter()
{
    qDebug("LogExporter deleted!");
}

void LogExporter::exportAll()
{
    // The node of a stick may be there with nothing mounted (a file system the board cannot
    // read): /media/sda1 is then a folder of the instrument's own disk.
    if (!platform::mountedVolumes().contains(platform::path(kMountPoint))) {
        qDebug("LogExporter: no USB stick mounted at /media/sda1");
        emit changeStatusLabel("Invalid or missing USB device");
        return;
    }
    const QString logRoot = platform::path(kLogRoot);
    if (QDir(logRoot).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty()) {
        emit changeStatusLabel("No log files available");
        return;
    }
    emit changeStatusLabel("Transferring...");
    const QString stickLogs = platform::path(kStickLogDir);
    QString refused;
    if (!clearWayFor(logRoot, stickLogs, &refused)) {
        qDebug().noquote() << "LogExporter: Refused, a link or special file on the stick cannot "
                              "be removed: "
                        + refused;
        emit changeStatusLabel("Error while transferring the logs");
        return;
    }
    if (stickfile::kindAt(stickLogs) != stickfile::Kind::Folder)
        platform::makeDirectory(resolved(kStickLogDir));
    const int status = platform::copyContentsAndSync(resolved(kLogRoot), resolved(kStickLogDir));
    QThread::msleep(kSettleAfterCopyMs);
    if (status < 0 || !copiedCompletely(logRoot, stickLogs)) {
        qDebug("LogExporter: Error while transferring the logs");
        emit changeStatusLabel("Error while transferring the logs");
        return;
    }
    qDebug("LogExporter: Exported logs directory");
    if (exportDiagnostics() < 0) {
        emit changeStatusLabel("Error while transferring diagnostics");
        return;
    }
    platform::sync();
    qDebug("LogExporter: Logs are transferred");
    emit changeStatusLabel("Logs are transferred");
}

int LogExporter::exportDiagnostics()
{
    AppSettings settings;
    const QByteArray content = "dPCR runs:   "
            + QByteArray::number(settings.loadProductionSetting(AppSettings::PRODUCTION_DPCR_RUN))
            + "\n" + "dMDA runs:   "
            + QByteArray::number(settings.loadProductionSetting(AppSettings::PRODUCTION_DMDA_RUN))
            + "\n";
    // A plain file of the stick's own, renamed over the name: a link there (to the settings
    // file, say) is removed first, never written through, and a stick that is full or pulled
    // keeps the previous diagnostics whole.
    const QString path = platform::path(kDiagnosticsFile);
    QString refused;
    if (!clearPath(path, &refused) || !stickfile::writePlain(path, content)) {
        qDebug().noquote() << "LogExporter: Failed to open:" << kDiagnosticsFile;
        return -1;
    }
    qDebug("LogExporter: Exported diagnostics");
    return 0;
}
