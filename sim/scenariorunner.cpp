#include "scenariorunner.h"

#include "app/mainwindow.h"
#include "models/physicalstate.h"
#include "models/powerbutton.h"
#include "models/usbstick.h"
#include "platform/platform.h"
#include "screencapture.h"
#include "screencontrols.h"
#include "world.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QThread>
#include <QTimer>

namespace {
// Fine enough for the program's 25 ms loops, coarse enough to cost nothing.
constexpr int kPollMs = 20;
} // namespace

ScenarioRunner::ScenarioRunner(const ScenarioScript &script, MainWindow &window, World &world,
                               QObject *parent)
    : QObject(parent), script(script), window(window), world(world)
{ }

void ScenarioRunner::start(int firstStep)
{
    current = qBound(0, firstStep, int(script.steps.size()));
    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &ScenarioRunner::poll);
    timer->start(kPollMs);
}

void ScenarioRunner::stateEntered(int state)
{
    statesSinceStepStart.insert(state);
}

void ScenarioRunner::play(const ScenarioStep &step, StepDone done)
{
    interactive = true;
    stepDone = std::move(done);
    script.steps.append(step);
    if (!timer) {
        start(current);
        return;
    }
    timer->start(kPollMs);
}

void ScenarioRunner::reportStep(bool held, const QString &why)
{
    if (!stepDone)
        return;
    const StepDone done = std::move(stepDone);
    stepDone = nullptr;
    done(held, why);
}

int ScenarioRunner::exitCodeAtPowerOff() const
{
    // Played from outside, the driver judges the power-off itself.
    if (interactive || current >= script.steps.size())
        return 0;
    const ScenarioStep &step = script.steps[current];
    const bool waiting = step.kind == ScenarioStep::WaitState || step.kind == ScenarioStep::WaitText
            || step.kind == ScenarioStep::Sleep || step.kind == ScenarioStep::WaitFile
            || step.kind == ScenarioStep::WaitNoFile || step.kind == ScenarioStep::WaitPowerOff;
    if (waiting && current == script.steps.size() - 1)
        return 0;
    std::fprintf(stderr, "scenario: line %d: the board powered off with steps left: %s\n",
                 step.line, qPrintable(step.source));
    return 1;
}

void ScenarioRunner::poll()
{
    while (current < script.steps.size()) {
        const ScenarioStep &step = script.steps[current];
        if (!stepStarted) {
            stepStarted = true;
            stepClock.start();
        }
        if (!runStep(step))
            return;
        finishStep();
        reportStep(true, {});
    }
    timer->stop();
    if (interactive)
        return;
    std::printf("scenario: %d steps held\n", int(script.steps.size()));
    std::fflush(stdout);
    exitProgram(0);
}

// The start-up paints its splash screen through processEvents() before the event loop runs;
// a step that ends inside that would ask an exit of no loop, and the program would run on.
// So the exit waits until the loop is there.
void ScenarioRunner::exitProgram(int code)
{
    if (QThread::currentThread()->loopLevel() > 0) {
        QCoreApplication::exit(code);
        return;
    }
    QTimer::singleShot(kPollMs, this, [this, code] { exitProgram(code); });
}

void ScenarioRunner::finishStep()
{
    ++current;
    stepStarted = false;
    statesSinceStepStart.clear();
    statesSinceStepStart.insert(window.menuState());
}

void ScenarioRunner::fail(const QString &why)
{
    if (interactive) {
        finishStep();
        reportStep(false, why);
        return;
    }
    timer->stop();
    const ScenarioStep &step = script.steps[current];
    std::fprintf(stderr, "scenario: line %d: %s: %s\n", step.line, qPrintable(step.source),
                 qPrintable(why));
    std::fflush(stderr);
    std::fflush(stdout);
    current = script.steps.size();
    exitProgram(1);
}

bool ScenarioRunner::runStep(const ScenarioStep &step)
{
    const bool timedOut = stepClock.elapsed() > step.seconds * 1000;
    QString why;
    switch (step.kind) {
    case ScenarioStep::WaitState:
        if (window.menuState() == step.number || statesSinceStepStart.contains(step.number))
            return true;
        if (timedOut)
            fail(QString("state %1 not reached within %2 s; the state is %3")
                         .arg(step.number)
                         .arg(step.seconds)
                         .arg(window.menuState()));
        return false;
    case ScenarioStep::Click: {
        QWidget *widget = findWidget(step.object);
        if (!widget) {
            fail("no widget of that name");
            return false;
        }
        if (!clickWidget(widget, &why)) {
            fail(why);
            return false;
        }
        return true;
    }
    case ScenarioStep::ClickText: {
        QWidget *match = nullptr;
        // Pop-ups first: they cover the window when they are up.
        QList<QWidget *> tops;
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (top != &window)
                tops << top;
        }
        tops << &window;
        for (QWidget *top : tops) {
            if (!top->isVisible())
                continue;
            for (QAbstractButton *button : top->findChildren<QAbstractButton *>()) {
                if (button->isVisible() && button->isEnabled() && button->text() == step.text) {
                    match = button;
                    break;
                }
            }
            if (match)
                break;
        }
        if (!match) {
            fail("no visible, enabled button shows that text");
            return false;
        }
        if (!clickWidget(match, &why)) {
            fail(why);
            return false;
        }
        return true;
    }
    case ScenarioStep::ExpectText:
    case ScenarioStep::WaitText: {
        QWidget *widget = findWidget(step.object);
        QString text;
        if (widget && textOf(widget, &text) && text == step.text)
            return true;
        if (step.kind == ScenarioStep::ExpectText || timedOut) {
            if (!widget)
                fail("no widget of that name");
            else if (!textOf(widget, &text))
                fail("the widget shows no text");
            else
                fail("it shows \"" + text + "\"");
        }
        return false;
    }
    case ScenarioStep::Sleep:
        return stepClock.elapsed() >= step.seconds * 1000;
    case ScenarioStep::Screenshot: {
        const QString file = QFileInfo(step.text).absoluteFilePath();
        QDir().mkpath(QFileInfo(file).path());
        if (!captureScreen(&window).save(file, "PNG")) {
            fail("cannot write " + file);
            return false;
        }
        return true;
    }
    case ScenarioStep::PowerButton:
        world.with<PowerButton>([](PowerButton &button) { button.press(); });
        return true;
    case ScenarioStep::PowerCut:
        // Power is gone at once: nothing is flushed by the program, nothing is destroyed; the
        // hardware stays as it is, the disk keeps what it keeps.
        world.with<PhysicalState>([](PhysicalState &state) { state.saveNow(); });
        if (powerLoss)
            powerLoss(step.seed);
        std::printf("power-cut\n");
        std::fflush(stdout);
        std::fflush(stderr);
        if (powerReturn && current + 1 < script.steps.size())
            powerReturn(current + 1);
        ::_exit(0);
    case ScenarioStep::UsbInsert:
        world.with<UsbStick>([&step](UsbStick &stick) { stick.insert(step.update, step.mounts); });
        return true;
    case ScenarioStep::StickFile:
    case ScenarioStep::StickLink: {
        bool done = false;
        world.with<UsbStick>([&](UsbStick &stick) {
            done = step.kind == ScenarioStep::StickFile
                    ? stick.putFile(step.object, step.text.toUtf8(), &why)
                    : stick.putLink(step.object, step.text, &why);
        });
        if (!done)
            fail(why);
        return done;
    }
    case ScenarioStep::UsbRemove:
        world.with<UsbStick>([](UsbStick &stick) { stick.remove(); });
        return true;
    case ScenarioStep::Fault:
        if (!world.setFault(step.text, step.args, &why)) {
            fail(why);
            return false;
        }
        return true;
    case ScenarioStep::FaultClear:
        world.clearFaults();
        return true;
    case ScenarioStep::ExpectShown:
    case ScenarioStep::ExpectHidden:
    case ScenarioStep::WaitShown: {
        const QWidget *widget = findWidget(step.object);
        if (!widget) {
            fail("no widget of that name");
            return false;
        }
        const bool shown = widget->isVisible() && widget->isEnabled();
        if (shown == (step.kind != ScenarioStep::ExpectHidden))
            return true;
        if (step.kind != ScenarioStep::WaitShown || timedOut)
            fail(shown ? "the widget is shown" : "the widget is hidden or disabled");
        return false;
    }
    case ScenarioStep::WaitReading: {
        QStringList seen;
        for (const auto &model : world.readings()) {
            for (const Model::Reading &reading : model.second) {
                if (reading.first != step.object)
                    continue;
                if (reading.second.contains(step.text))
                    return true;
                seen << reading.second;
            }
        }
        if (timedOut)
            fail(seen.isEmpty() ? QString("no model shows that reading")
                                : "it shows \"" + seen.join("\", \"") + "\"");
        return false;
    }
    case ScenarioStep::Measure:
        if (!appendMeasurement(step.object)) {
            fail("cannot append to " + step.object);
            return false;
        }
        return true;
    case ScenarioStep::PowerCutIn: {
        const auto delay = std::chrono::milliseconds(qRound64(step.seconds * 1000));
        // Its own thread: the cut may fall in the middle of anything, a file half-written by
        // the window or a device thread included.
        std::thread([this, delay, loss = powerLoss, seed = step.seed] {
            std::this_thread::sleep_for(delay);
            world.with<PhysicalState>([](PhysicalState &state) { state.saveNow(); });
            if (loss)
                loss(seed);
            static const char kLine[] = "power-cut\n";
            std::fflush(stdout);
            std::fflush(stderr);
            [[maybe_unused]] const ssize_t written
                    = ::write(STDOUT_FILENO, kLine, sizeof kLine - 1);
            ::_exit(0);
        }).detach();
        return true;
    }
    case ScenarioStep::WaitControl:
        if (!screenControls(&window).isEmpty())
            return true;
        if (timedOut)
            fail(QString("nothing to press for %1 s in state %2")
                         .arg(step.seconds)
                         .arg(window.menuState()));
        return false;
    case ScenarioStep::WaitPowerOff:
        if (timedOut)
            fail(QString("the board is still on after %1 s in state %2")
                         .arg(step.seconds)
                         .arg(window.menuState()));
        return false;
    case ScenarioStep::WaitFile: {
        if (anyFileHolds(step.object, step.text))
            return true;
        if (timedOut)
            fail(QString("%1 does not hold \"%2\" within %3 s")
                         .arg(step.object, step.text)
                         .arg(step.seconds));
        return false;
    }
    case ScenarioStep::Mark:
        qInfo().noquote() << "Scenario mark:" << step.text;
        std::printf("mark %s\n", qPrintable(step.text));
        std::fflush(stdout);
        return true;
    case ScenarioStep::WaitNoFile:
        if (!QFileInfo::exists(platform::path(step.object)))
            return true;
        if (timedOut)
            fail(QString("%1 is still there after %2 s").arg(step.object).arg(step.seconds));
        return false;
    }
    return true;
}

// One line "TIME_MS RSS_KB FDS": the resident memory and the open descriptors of this process,
// which holds the program and the simulated instrument.
bool ScenarioRunner::appendMeasurement(const QString &instrumentPath)
{
    qint64 residentKb = -1;
    QFile status("/proc/self/status");
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                residentKb = line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    const int descriptors = QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size();
    QFile out(platform::path(instrumentPath));
    if (residentKb < 0 || !out.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray line = QByteArray::number(QDateTime::currentMSecsSinceEpoch()) + ' '
            + QByteArray::number(residentKb) + ' ' + QByteArray::number(descriptors) + '\n';
    return out.write(line) == line.size();
}

// The instrument path may end in a name pattern ("system_log_*.log"): files named after the
// time they were written cannot be spelt in a script.
bool ScenarioRunner::anyFileHolds(const QString &instrumentPath, const QString &text)
{
    const QFileInfo pattern(platform::path(instrumentPath));
    const QStringList names = QDir(pattern.path()).entryList({pattern.fileName()}, QDir::Files);
    for (const QString &name : names) {
        QFile file(pattern.path() + "/" + name);
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(text.toUtf8()))
            return true;
    }
    return false;
}

QWidget *ScenarioRunner::findWidget(const QString &objectName) const
{
    QWidget *hidden = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        QList<QWidget *> candidates = top->findChildren<QWidget *>(objectName);
        if (top->objectName() == objectName)
            candidates.prepend(top);
        for (QWidget *widget : candidates) {
            if (widget->isVisible())
                return widget;
            hidden = hidden ? hidden : widget;
        }
    }
    return hidden;
}

bool ScenarioRunner::clickWidget(QWidget *widget, QString *why)
{
    if (!widget->isVisible()) {
        *why = "the widget is hidden";
        return false;
    }
    if (!widget->isEnabled()) {
        *why = "the widget is disabled";
        return false;
    }
    // A real press and release, so the application's event filter sees what a finger does.
    const QPoint centre = widget->rect().center();
    const QPoint global = widget->mapToGlobal(centre);
    QMouseEvent press(QEvent::MouseButtonPress, centre, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
    return true;
}

bool ScenarioRunner::textOf(const QWidget *widget, QString *text)
{
    if (auto *label = qobject_cast<const QLabel *>(widget))
        *text = label->text();
    else if (auto *button = qobject_cast<const QAbstractButton *>(widget))
        *text = button->text();
    else if (auto *line = qobject_cast<const QLineEdit *>(widget))
        *text = line->text();
    else if (auto *plain = qobject_cast<const QPlainTextEdit *>(widget))
        *text = plain->toPlainText();
    else if (auto *rich = qobject_cast<const QTextEdit *>(widget))
        *text = rich->toPlainText();
    else
        return false;
    return true;
}
