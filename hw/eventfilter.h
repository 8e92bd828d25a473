#pragma once

#include <functional>

#include <QObject>

class QEvent;

// Application-wide filter against the touch panel's bounce: a double click that follows a
// release within kDoubleClickWindowMs, and a touch that begins 1 to kTouchBounceWindowMs after
// the previous one ended, are swallowed. Everything else passes on.
// The times of the last release and touch end are shared by every filter of the process.
class EventFilter : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 kDoubleClickWindowMs = 99;
    static constexpr qint64 kTouchBounceWindowMs = 99;

    // Milliseconds of a monotonic clock. The steady clock by default; tests script it.
    using Clock = std::function<qint64()>;
    static void setClock(Clock clock); // an empty clock restores the steady one

    explicit EventFilter(QObject *parent);

    bool eventFilter(QObject *watched, QEvent *event) override;
};
