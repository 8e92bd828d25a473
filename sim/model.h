#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// One piece of simulated hardware. The world calls tick() on its own thread at a fixed rate;
// faults and readings are asked for from the GUI thread, but always under the world's lock,
// so a model needs no locking of its own for state touched only in these calls.
class Model
{
public:
    using Reading = QPair<QString, QString>;

    virtual ~Model() = default;

    virtual QString name() const = 0;
    virtual void tick(int elapsedMs) = 0;

    // Faults this model understands ("fault NAME ARGS" in a scenario or on the panel).
    virtual QStringList faultNames() const { return {}; }
    // Switches a fault on; returns false (with a reason) when the arguments do not fit.
    virtual bool setFault(const QString &name, const QStringList &arguments, QString *reason)
    {
        Q_UNUSED(name)
        Q_UNUSED(arguments)
        *reason = "unknown fault";
        return false;
    }
    virtual void clearFaults() { }

    // What the panel shows for this model: label and value.
    virtual QList<Reading> readings() const { return {}; }
};
