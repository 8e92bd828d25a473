#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QSet>

class QTimer;

// Measures how responsive the GUI thread stays: a short timer in that thread notes how late
// each of its ticks comes. A late tick is a stretch in which the event loop handled nothing
// else, so a touch would have waited as long. Prints to standard output, for the benchmarks:
//   probe painted CLASS          the first time a top-level window of that class is painted
//   probe late MS cpu MS until TIME   a tick more than 8 ms late, the GUI thread's CPU time
//                                in that stretch, and the time of day the tick came
//   probe stall STATE MS TICKS   on leaving a menu state (or at the end of the program): its
//                                worst lateness and its number of ticks
// The simulator creates it with --stall-probe only; the product has no such timer.
class StallProbe : public QObject
{
public:
    explicit StallProbe(QObject *parent = nullptr);

    // The window has entered `state`: reports the state it leaves.
    void stateEntered(int state);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void tick();
    static qint64 threadCpuNs();

    // Short against a display frame (16 ms), long against a timer's own dispatch.
    static constexpr int kTickMs = 5;
    // Half a display frame: stalls worth finding in the log.
    static constexpr int kNoteLateMs = 8;

    QTimer *timer = nullptr;
    QElapsedTimer clock;
    qint64 lastTickNs = -1; // no tick yet
    qint64 lastTickCpuNs = 0;
    qint64 worstLateNs = 0;
    int ticks = 0;
    int state = -1;
    QSet<QByteArray> painted;
};
