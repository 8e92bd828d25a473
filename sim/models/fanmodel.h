#pragma once

#include "sim/model.h"

// The cooling fan on PWM<D>: shows the duty the program set. It has no faults: the program
// never reads the fan back, so a broken fan could not be noticed by it.
class FanModel : public Model
{
public:
    explicit FanModel(const QString &root);

    QString name() const override { return "Fan"; }
    void tick(int elapsedMs) override;
    QList<Reading> readings() const override;

    int duty() const { return dutyNow; }

private:
    QString pwmFile;
    int dutyNow = 0;
};
