#pragma once

#include "model.h"

#include <memory>
#include <mutex>
#include <vector>

#include <QObject>
#include <QThread>

class QTimer;

// Runs the hardware models on a thread of their own with a fixed tick.
class World : public QObject
{
    Q_OBJECT

public:
    // 5 ms resolves the program's fastest loop (the drawer's 25 ms current sampling).
    static constexpr int kTickMs = 5;

    World();
    ~World() override;

    // Models are added before start(); the world owns them. The lock: the Modbus server's
    // thread already looks its controllers up while the last models are added, and a growing
    // vector moves the ones it is reading.
    template<typename T, typename... Args> T *add(Args &&...args)
    {
        auto model = std::make_unique<T>(std::forward<Args>(args)...);
        T *raw = model.get();
        std::lock_guard<std::mutex> lock(mutex);
        models.push_back(std::move(model));
        return raw;
    }

    // Every model writes its state into the sandbox once, before the program starts: the
    // hardware is there before the program reads it, and no read may see files of the previous
    // boot that disagree with the state the world starts in while its thread is still starting.
    void settle();
    void start();
    void stop();

    // Run `action` on a model under the world's lock (from any thread).
    template<typename T, typename Action> bool with(Action action)
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (auto &model : models) {
            if (auto *typed = dynamic_cast<T *>(model.get())) {
                action(*typed);
                return true;
            }
        }
        return false;
    }

    // The model of type T, or nullptr, without taking the lock: for a model that reads another
    // from inside its tick, where the world's lock is already held.
    template<typename T> T *find() const
    {
        for (const auto &model : models) {
            if (auto *typed = dynamic_cast<T *>(model.get()))
                return typed;
        }
        return nullptr;
    }

    bool setFault(const QString &name, const QStringList &arguments, QString *reason);
    void clearFaults();
    QStringList faultNames() const;
    QList<QPair<QString, QList<Model::Reading>>> readings() const;

private:
    void tick();

    mutable std::mutex mutex;
    std::vector<std::unique_ptr<Model>> models;
    QThread thread;
    QTimer *timer = nullptr;
    qint64 lastTickMs = 0;
};
