#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// One step of a scenario file. TEXT arguments run to the end of the line.
struct ScenarioStep
{
    enum Kind {
        WaitState,
        Click,
        ClickText,
        ExpectText,
        WaitText,
        Sleep,
        Screenshot,
        PowerButton,
        PowerCut,
        UsbInsert,
        UsbRemove,
        Fault,
        FaultClear,
        WaitFile,
        WaitNoFile,
        ExpectShown,
        ExpectHidden,
        WaitShown,
        WaitReading,
        Measure,
        PowerCutIn,
        Mark,
        StickFile,
        StickLink,
        WaitControl,
        WaitPowerOff
    };

    Kind kind = Sleep;
    int line = 0;
    QString source; // the line as written, for messages
    QString object; // object name (click, expect-*, wait-text), instrument path (wait-file,
                    // wait-no-file, measure), reading label (wait-reading), path on the stick
                    // (stick-file, stick-link)
    QString text; // TEXT, file name, fault name, the start of a reading, a stick file's content
                  // (\n written as a line break), a stick link's target
    QStringList args; // fault arguments
    int number = 0; // state number
    double seconds = 0; // sleep, or the wait limit
    bool update = false; // usb-insert update
    int seed = -1; // power-cut, power-cut-in: the disk's choice of survivors; -1 the default
    bool mounts = true; // usb-insert no-mount: false
};

struct ScenarioScript
{
    static constexpr double kDefaultWaitSeconds = 30;

    QVector<ScenarioStep> steps;
    QString error; // "line N: ..." when the text could not be read

    static ScenarioScript parse(const QString &text);
};
