#include "world.h"

#include <QDateTime>
#include <QTimer>

World::World() = default;

World::~World()
{
    stop();
}

void World::settle()
{
    std::lock_guard<std::mutex> lock(mutex);
    for (auto &model : models)
        model->tick(0);
}

void World::start()
{
    // Named so that the benchmarks can tell the simulated hardware's CPU use from the program's.
    thread.setObjectName("sim-world");
    moveToThread(&thread);
    connect(&thread, &QThread::started, this, [this] {
        timer = new QTimer(this);
        timer->setTimerType(Qt::PreciseTimer);
        lastTickMs = QDateTime::currentMSecsSinceEpoch();
        connect(timer, &QTimer::timeout, this, &World::tick);
        timer->start(kTickMs);
    });
    connect(&thread, &QThread::finished, this, [this] {
        // Under the lock, like every tick: stop() takes it after the join.
        std::lock_guard<std::mutex> lock(mutex);
        delete timer;
        timer = nullptr;
    });
    thread.start();
}

void World::stop()
{
    if (thread.isRunning()) {
        thread.quit();
        thread.wait();
    }
    // The last tick released the lock before its thread ended: taking it orders that tick
    // before the models are destroyed, in a way the thread sanitizer sees (QThread's join is
    // invisible to it).
    const std::lock_guard<std::mutex> lock(mutex);
}

void World::tick()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const int elapsed = static_cast<int>(now - lastTickMs);
    lastTickMs = now;
    std::lock_guard<std::mutex> lock(mutex);
    for (auto &model : models)
        model->tick(elapsed);
}

bool World::setFault(const QString &name, const QStringList &arguments, QString *reason)
{
    std::lock_guard<std::mutex> lock(mutex);
    for (auto &model : models) {
        if (model->faultNames().contains(name))
            return model->setFault(name, arguments, reason);
    }
    *reason = "no model knows the fault " + name;
    return false;
}

void World::clearFaults()
{
    std::lock_guard<std::mutex> lock(mutex);
    for (auto &model : models)
        model->clearFaults();
}

QStringList World::faultNames() const
{
    std::lock_guard<std::mutex> lock(mutex);
    QStringList names;
    for (const auto &model : models)
        names << model->faultNames();
    return names;
}

QList<QPair<QString, QList<Model::Reading>>> World::readings() const
{
    std::lock_guard<std::mutex> lock(mutex);
    QList<QPair<QString, QList<Model::Reading>>> all;
    for (const auto &model : models)
        all.append({model->name(), model->readings()});
    return all;
}
