#include "simlog.h"

#include <cstdio>
#include <mutex>

#include <QDateTime>
#include <QFile>

namespace {

std::mutex logMutex;
FILE *logFile = nullptr;

void writeMessage(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    const QByteArray line = message.toLocal8Bit();
    std::lock_guard<std::mutex> lock(logMutex);
    std::fprintf(stderr, "%s\n", line.constData());
    if (logFile) {
        const QByteArray stamp
                = QDateTime::currentDateTime().toString("MMM dd hh:mm:ss.zzz").toLatin1();
        std::fprintf(logFile, "%s vemla8: %s\n", stamp.constData(), line.constData());
        // Flushed per line: a power cut must leave the log as far as it got.
        std::fflush(logFile);
    }
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace

void installSimLog(const QString &appLogFile)
{
    const QString previous = QString(appLogFile).replace(".log", ".previous.log");
    if (QFile::exists(appLogFile)) {
        QFile::remove(previous);
        QFile::rename(appLogFile, previous);
    }
    logFile = std::fopen(QFile::encodeName(appLogFile).constData(), "a");
    qInstallMessageHandler(writeMessage);
}
