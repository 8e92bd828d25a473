#include "logcapture.h"

std::atomic<LogCapture *> LogCapture::active {nullptr};

LogCapture::LogCapture()
{
    active = this;
    previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previous);
    active = nullptr;
    // A message being captured right now finishes before the list goes.
    const std::lock_guard<std::mutex> lock(mutex);
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    Q_UNUSED(type)
    Q_UNUSED(context)
    LogCapture *capture = active;
    if (!capture)
        return;
    const std::lock_guard<std::mutex> lock(capture->mutex);
    capture->captured.append(text);
}

QStringList LogCapture::lines() const
{
    const std::lock_guard<std::mutex> lock(mutex);
    return captured;
}

void LogCapture::clear()
{
    const std::lock_guard<std::mutex> lock(mutex);
    captured.clear();
}
