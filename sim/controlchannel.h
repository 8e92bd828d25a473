#pragma once

#include <QList>
#include <QObject>
#include <QString>

class MainWindow;
class QLocalServer;
class QLocalSocket;
class ScenarioRunner;
class World;

// A line protocol on a local socket for an outside driver (the operator explorer):
//   screen          one line of JSON: the menu state and the states entered since the last
//                   answer, the page, what can be pressed, the texts shown, the panel readings
//   <scenario step> any line of a scenario ("click pushButton_open", "sleep 2", "power-cut"),
//                   played by the scenario runner; answered "ok" or "fail <why>" when it ends
// Every action the driver takes is a scenario line, so a walk it records replays as a
// scenario. One driver at a time; a power cut or power-off ends the connection with the board.
class ControlChannel : public QObject
{
    Q_OBJECT

public:
    ControlChannel(MainWindow &window, World &world, ScenarioRunner &runner,
                   QObject *parent = nullptr);

    bool listen(const QString &path, QString *error);
    void stateEntered(int state);

private:
    void accept();
    void readLines();
    void handle(const QByteArray &line);
    void answer(const QByteArray &text);
    QByteArray screen();

    MainWindow &window;
    World &world;
    ScenarioRunner &runner;
    QLocalServer *server = nullptr;
    QLocalSocket *client = nullptr;
    QList<int> entered;
    bool stepRunning = false;
};
