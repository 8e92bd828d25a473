#include "logcapture.h"

#include <QMutexLocker>

LogCapture *LogCapture::active = nullptr;

LogCapture::LogCapture()
{
    active = this;
    previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previous);
    active = nullptr;
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    Q_UNUSED(type)
    Q_UNUSED(context)
    if (!active)
        return;
    QMutexLocker lock(&active->mutex);
    active->captured.append(text);
}

QStringList LogCapture::lines() const
{
    QMutexLocker lock(&mutex);
    return captured;
}

QStringList LogCapture::startingWith(const QString &prefix) const
{
    QStringList found;
    for (const QString &line : lines()) {
        if (line.startsWith(prefix))
            found.append(line);
    }
    return found;
}

void LogCapture::clear()
{
    QMutexLocker lock(&mutex);
    captured.clear();
}
