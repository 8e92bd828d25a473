#include "logexporter.h"

#include "platform/platform.h"
#include "records/appsettings.h"
#include "records/shellargument.h"

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>

namespace {

const QString kLogRoot = QStringLiteral("/usr/share/vemla/logs");
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
    return shellArgument(platform::path(instrumentPath.toStdString()));
}

// The copy's exit status is that of its final sync, so a stick that fills up or is pulled
// during the copy would pass unseen: every log file must be on the stick at its full size.
bool copiedCompletely(const QString &source, const QString &target)
{
    QDirIterator it(source, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo original(path);
        const QFileInfo copy(target + path.mid(source.size()));
        if (!copy.isFile() || copy.size() != original.size()) {
            qDebug().noquote() << "LogExporter: not on the stick: " + copy.filePath();
            return false;
        }
    }
    return true;
}

} // namespace

LogExporter::LogExporter()
{
    qDebug("LogExporter created!");
    const int status = platform::run(". " + shellArgument(platform::path(kLogRemoveScript)) + " "
                                     + resolved(kRunLogDir) + " " + std::to_string(kRunLogsKept));
    qDebug("LogExporter: removed old run logs: %s", status == 0 ? "success" : "failed");
}

LogExporter::~LogExporter()
{
    qDebug("LogExporter deleted!");
}

void LogExporter::exportAll()
{
    const QString logRoot = platform::path(kLogRoot);
    if (QDir(logRoot).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty()) {
        emit changeStatusLabel("No log files available");
        return;
    }
    emit changeStatusLabel("Transferring...");
    const QString stickLogs = platform::path(kStickLogDir);
    if (!QFileInfo(stickLogs).isDir())
        platform::run("mkdir " + resolved(kStickLogDir));
    const int status = platform::run("cp -r " + resolved(kLogRoot) + "/* " + resolved(kStickLogDir)
                                     + "/; sync");
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
    platform::run("sync");
    qDebug("LogExporter: Logs are transferred");
    emit changeStatusLabel("Logs are transferred");
}

int LogExporter::exportDiagnostics()
{
    // Written beside and renamed over the old file: a stick that is full or pulled keeps the
    // previous diagnostics whole instead of a truncated one.
    QSaveFile file(platform::path(kDiagnosticsFile));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qDebug().noquote() << "LogExporter: Failed to open:" << kDiagnosticsFile;
        return -1;
    }
    AppSettings settings;
    const QByteArray content = "dPCR runs:   "
            + QByteArray::number(settings.loadProductionSetting(AppSettings::PRODUCTION_DPCR_RUN))
            + "\n" + "dMDA runs:   "
            + QByteArray::number(settings.loadProductionSetting(AppSettings::PRODUCTION_DMDA_RUN))
            + "\n";
    if (file.write(content) != content.size() || !file.commit()) {
        qDebug().noquote() << "LogExporter: Failed to write:" << kDiagnosticsFile;
        return -1;
    }
    qDebug("LogExporter: Exported diagnostics");
    return 0;
}
