#include "controlchannel.h"

#include "app/mainwindow.h"
#include "app/menunames.h"
#include "scenariorunner.h"
#include "scenarioscript.h"
#include "screencontrols.h"
#include "world.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSplashScreen>
#include <QStackedWidget>

ControlChannel::ControlChannel(MainWindow &window, World &world, ScenarioRunner &runner,
                               QObject *parent)
    : QObject(parent), window(window), world(world), runner(runner)
{ }

bool ControlChannel::listen(const QString &path, QString *error)
{
    server = new QLocalServer(this);
    // A socket file left by the board's previous life (a power cut, an update's restart).
    QLocalServer::removeServer(path);
    if (!server->listen(path)) {
        *error = "cannot listen on " + path + ": " + server->errorString();
        return false;
    }
    connect(server, &QLocalServer::newConnection, this, &ControlChannel::accept);
    return true;
}

void ControlChannel::stateEntered(int state)
{
    entered << state;
}

void ControlChannel::accept()
{
    while (QLocalSocket *next = server->nextPendingConnection()) {
        if (client) {
            next->disconnectFromServer();
            next->deleteLater();
            continue;
        }
        client = next;
        connect(client, &QLocalSocket::readyRead, this, &ControlChannel::readLines);
        connect(client, &QLocalSocket::disconnected, this, [this] {
            client->deleteLater();
            client = nullptr;
        });
    }
}

void ControlChannel::readLines()
{
    while (client && !stepRunning && client->canReadLine())
        handle(client->readLine().trimmed());
}

void ControlChannel::answer(const QByteArray &text)
{
    if (!client)
        return;
    client->write(text + '\n');
    client->flush();
}

void ControlChannel::handle(const QByteArray &line)
{
    if (line == "screen") {
        answer(screen());
        return;
    }
    const ScenarioScript script = ScenarioScript::parse(QString::fromUtf8(line));
    if (!script.error.isEmpty() || script.steps.size() != 1) {
        answer("fail "
               + (script.error.isEmpty() ? QByteArray("one step a line") : script.error.toUtf8()));
        return;
    }
    stepRunning = true;
    runner.play(script.steps.first(), [this](bool held, const QString &why) {
        stepRunning = false;
        answer(held ? QByteArray("ok") : "fail " + why.toUtf8());
        // Lines that came while the step ran.
        QMetaObject::invokeMethod(this, &ControlChannel::readLines, Qt::QueuedConnection);
    });
}

QByteArray ControlChannel::screen()
{
    QJsonObject out;
    out["state"] = window.menuState();
    out["name"] = menuName(window.menuState());
    QJsonArray states;
    for (int state : entered)
        states.append(state);
    entered.clear();
    out["entered"] = states;
    if (auto *stack = window.findChild<QStackedWidget *>("stackedWidget"))
        out["page"] = stack->isVisible() && stack->currentWidget()
                ? stack->currentWidget()->objectName()
                : QString();
    QJsonArray controls;
    for (const ScreenControl &control : screenControls(&window))
        controls.append(
                QJsonObject {{"name", control.name}, {"text", control.text}, {"top", control.top}});
    out["controls"] = controls;
    QJsonArray popUps;
    QJsonObject texts;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (!top->isVisible() || qobject_cast<QSplashScreen *>(top))
            continue;
        if (top != &window)
            popUps.append(top->objectName());
        for (const QLabel *label : top->findChildren<QLabel *>()) {
            if (label->isVisible() && !label->objectName().isEmpty() && !label->text().isEmpty())
                texts[label->objectName()] = label->text();
        }
    }
    out["popups"] = popUps;
    out["texts"] = texts;
    QJsonObject readings;
    for (const auto &model : world.readings()) {
        for (const auto &reading : model.second)
            readings[reading.first] = reading.second;
    }
    out["readings"] = readings;
    return QJsonDocument(out).toJson(QJsonDocument::Compact);
}
