#include "i2cbuses.h"

#include "i2cbus.h"
#include "i2ctrace.h"

namespace {

constexpr int kMaxSevenBitAddress = 0x7F;

bool parseAddress(const QString &text, int *address, QString *reason)
{
    bool ok = false;
    *address = text.toInt(&ok, 0);
    if (!ok || *address < 0 || *address > kMaxSevenBitAddress) {
        *reason = "not a 7-bit address: " + text;
        return false;
    }
    return true;
}

} // namespace

I2cBuses::I2cBuses(const QString &root)
    : trace(std::make_shared<I2cTrace>(root + "/sim/i2c.trace")),
      buses {std::make_shared<I2cBus>(kSensorBus, trace),
             std::make_shared<I2cBus>(kValveBus, trace)}
{ }

std::shared_ptr<I2cBus> I2cBuses::bus(int number) const
{
    for (const auto &candidate : buses) {
        if (candidate->number() == number)
            return candidate;
    }
    return nullptr;
}

QStringList I2cBuses::faultNames() const
{
    return {"i2c-absent", "i2c-nack-once", "i2c-no-bus"};
}

std::shared_ptr<I2cBus> I2cBuses::parseBus(const QString &text, QString *reason) const
{
    QString number = text;
    number.remove("/dev/").remove("i2c-");
    // Text that is no number gives 0, a bus the board does not have either.
    auto found = bus(number.toInt());
    if (!found)
        *reason = "no such bus: " + text + " (the board has i2c-2 and i2c-4)";
    return found;
}

bool I2cBuses::setFault(const QString &name, const QStringList &arguments, QString *reason)
{
    const int expected = name == "i2c-no-bus" ? 1 : 2;
    if (arguments.size() != expected) {
        *reason = expected == 1 ? "needs BUS" : "needs BUS ADDR";
        return false;
    }
    auto target = parseBus(arguments[0], reason);
    if (!target)
        return false;
    if (name == "i2c-no-bus") {
        target->setMissing();
        return true;
    }
    int address = 0;
    if (!parseAddress(arguments[1], &address, reason))
        return false;
    if (name == "i2c-absent")
        target->setAbsent(address);
    else
        target->setNackOnce(address);
    return true;
}

void I2cBuses::clearFaults()
{
    for (const auto &each : buses)
        each->clearFaults();
}

QList<Model::Reading> I2cBuses::readings() const
{
    QList<Reading> all;
    for (const auto &each : buses) {
        const QStringList faults = each->activeFaults();
        all.append({each->name(), faults.isEmpty() ? "ok" : faults.join(", ")});
    }
    return all;
}
