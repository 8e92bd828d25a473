#pragma once

#include "sim/model.h"

// The front power button on GPIO 160: a press drives the line high until the board is off.
class PowerButton : public Model
{
public:
    explicit PowerButton(const QString &root);

    QString name() const override { return "Power button"; }
    void tick(int) override { }
    QList<Reading> readings() const override;

    void press();

private:
    QString valueFile;
    bool pressed = false;
};
