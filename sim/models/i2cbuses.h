#pragma once

#include "sim/model.h"

#include <memory>
#include <vector>

class I2cBus;
class I2cTrace;

// The board's I2C adapters, /dev/i2c-2 and /dev/i2c-4, with the shared transfer trace.
// The chips are models of their own, attached to a bus by the simulator.
//
// Faults (BUS is 2, i2c-2 or /dev/i2c-2; ADDR a 7-bit address, 0x48 or 72):
//   i2c-absent BUS ADDR    the node opens, but nothing acknowledges ADDR: every transfer fails
//   i2c-nack-once BUS ADDR the next write to ADDR is not acknowledged, later ones go through
//   i2c-no-bus BUS         the adapter is gone: open fails, open descriptors fail every transfer
class I2cBuses : public Model
{
public:
    static constexpr int kSensorBus = 2;
    static constexpr int kValveBus = 4;

    explicit I2cBuses(const QString &root);

    // The node of a board bus; nullptr for a bus the board does not have.
    std::shared_ptr<I2cBus> bus(int number) const;

    QString name() const override { return "I2C buses"; }
    void tick(int) override { }
    QStringList faultNames() const override;
    bool setFault(const QString &name, const QStringList &arguments, QString *reason) override;
    void clearFaults() override;
    QList<Reading> readings() const override;

private:
    std::shared_ptr<I2cBus> parseBus(const QString &text, QString *reason) const;

    std::shared_ptr<I2cTrace> trace;
    std::vector<std::shared_ptr<I2cBus>> buses;
};
