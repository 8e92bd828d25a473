#pragma once

#include "scenarioscript.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSet>

#include <functional>

class MainWindow;
class QTimer;
class QWidget;
class World;

// Plays a scenario against the running program, one step at a time, from the GUI thread.
// Ends the program with 0 when every step held, 1 naming the first step that did not.
class ScenarioRunner : public QObject
{
    Q_OBJECT

public:
    ScenarioRunner(const ScenarioScript &script, MainWindow &window, World &world,
                   QObject *parent = nullptr);

    // Plays from `firstStep` on (0 for a whole scenario; later after a restart of the board).
    void start(int firstStep = 0);
    int currentStep() const { return current; }
    // Every menu state the window enters (from its state observer).
    void stateEntered(int state);
    // Exit code for the moment the board powers off: 0 when the scenario was waiting in its
    // last step, 1 when steps were left.
    int exitCodeAtPowerOff() const;
    // Called at a power cut with steps left after it: the board boots again from cold and the
    // scenario goes on at `nextStep`. Without it a power cut ends the scenario.
    void setPowerReturn(std::function<void(int nextStep)> boot) { powerReturn = std::move(boot); }
    // Called at every power cut, from the thread that cuts, with the step's seed (-1 none):
    // the disk keeps what it keeps before the process ends.
    void setPowerLoss(std::function<void(int seed)> loss) { powerLoss = std::move(loss); }

    // Played one step at a time from outside (the control channel): the program is not ended
    // when the steps run out or one fails; `done` hears how each step went.
    using StepDone = std::function<void(bool held, const QString &why)>;
    void play(const ScenarioStep &step, StepDone done);

private:
    void poll();
    bool runStep(const ScenarioStep &step); // true when the step is complete
    void exitProgram(int code);
    void finishStep();
    void reportStep(bool held, const QString &why);
    void fail(const QString &why);

    QWidget *findWidget(const QString &objectName) const;
    bool clickWidget(QWidget *widget, QString *why);
    static bool textOf(const QWidget *widget, QString *text);
    static bool appendMeasurement(const QString &instrumentPath);
    static bool anyFileHolds(const QString &instrumentPath, const QString &text);

    ScenarioScript script;
    MainWindow &window;
    World &world;
    QTimer *timer = nullptr;
    int current = 0;
    bool stepStarted = false;
    QElapsedTimer stepClock;
    QSet<int> statesSinceStepStart;
    std::function<void(int)> powerReturn;
    std::function<void(int)> powerLoss;
    bool interactive = false;
    StepDone stepDone;
};
