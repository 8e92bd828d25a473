#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <mutex>

// Collects the program's debug-log lines while it lives (from any thread), so a test can check
// the exact texts a device logs.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList lines() const;
    bool contains(const QString &line) const { return lines().contains(line); }
    void clear();

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &text);

    // std::mutex rather than QMutex: the sanitizer build sees its locking, so messages logged
    // by the device threads are not reported as races.
    mutable std::mutex mutex;
    QStringList captured;
    QtMessageHandler previous;
    static std::atomic<LogCapture *> active;
};
