#pragma once

#include <QObject>
#include <QString>

// Copies the instrument's log tree onto the USB stick with a diagnostics file of the run
// counters: only onto a stick mounted at /media/sda1, and never through a link on it. Lives in
// its own thread so the touch screen stays responsive during the copy; the progress goes out as
// status texts for the pop-up. Its construction, on the main thread at start-up, also prunes
// the old run logs.
class LogExporter : public QObject
{
    Q_OBJECT

public:
    LogExporter();
    ~LogExporter() override;

    // Writes /media/sda1/logs/diagnostics.log afresh: 0 written, -1 not written.
    int exportDiagnostics();

signals:
    void changeStatusLabel(QString info);

public slots:
    void exportAll();
};
