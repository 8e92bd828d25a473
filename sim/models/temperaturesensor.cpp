#include "temperaturesensor.h"

#include "sim/simfiles.h"

#include <cmath>

namespace {

// Register pointer: 0 temperature, 1 configuration, 2 and 3 the alarm limits.
constexpr uint8_t kTemperatureRegister = 0;
constexpr uint8_t kPointerMask = 0x03;

// Power-on contents: continuous conversion, comparator mode; alarm limits 75 and 80 degC.
constexpr uint16_t kConfigurationAtPowerOn = 0x60A0;
constexpr uint16_t kLowLimitAtPowerOn = 0x4B00;
constexpr uint16_t kHighLimitAtPowerOn = 0x5000;

// The converter's range and resolution.
constexpr double kMinC = -55.0;
constexpr double kMaxC = 127.9375;
constexpr double kCountsPerDegree = 16.0;
constexpr int kUnusedLowBits = 4;

// Closed housing with the electronics running and no airflow settles this far above the room.
constexpr double kElectronicsHeatC = 9.0;
// The diaphragm pump's motor, running continuously, adds this much.
constexpr double kPumpHeatC = 6.0;
// The release valve's solenoid, held open.
constexpr double kReleaseValveHeatC = 1.5;
// Full fan duty carries away nearly all the added heat; airflow grows with the square root of
// the duty at the low end, so even the idle duty of 10 cools noticeably.
constexpr double kFanFullCoolingC = 12.0;
constexpr int kFanFullDuty = 255;
// Air, board and housing mass: about a quarter of an hour to get two thirds of the way to a
// new target, so a reading every 10 s moves by a tenth of a degree or so.
constexpr double kThermalTimeConstantMs = 900000.0;
// The outputs are looked at twice a second; the temperature cannot follow faster anyway.
constexpr int kSampleIntervalMs = 500;
constexpr int kGpioFieldWidth = 4;
constexpr int kPwmFieldWidth = 3;

} // namespace

TemperatureSensor::TemperatureSensor(const QString &root)
    : fanFile(root + "/sys/class/leds/PWM<D>/brightness"),
      motorFile(root + "/sys/class/gpio/gpio89/value"),
      secondMotorFile(root + "/sys/class/gpio/gpio149/value"),
      releaseFile(root + "/sys/class/gpio/gpio150/value"),
      registers {0, kConfigurationAtPowerOn, kLowLimitAtPowerOn, kHighLimitAtPowerOn}
{ }

void TemperatureSensor::encode(double celsius, uint8_t *high, uint8_t *low)
{
    const double clipped = std::min(kMaxC, std::max(kMinC, celsius));
    const int counts = static_cast<int>(std::lround(clipped * kCountsPerDegree));
    const uint16_t word = static_cast<uint16_t>(counts * (1 << kUnusedLowBits));
    *high = static_cast<uint8_t>(word >> 8);
    *low = static_cast<uint8_t>(word & 0xFF);
}

double TemperatureSensor::celsius() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return temperatureC;
}

double TemperatureSensor::targetC()
{
    const bool pumpRunning = simfiles::lastFieldValue(motorFile, kGpioFieldWidth, 0) == 1
            || simfiles::lastFieldValue(secondMotorFile, kGpioFieldWidth, 0) == 1;
    const bool releaseOpen = simfiles::lastFieldValue(releaseFile, kGpioFieldWidth, 0) == 1;
    const int duty = std::min(kFanFullDuty,
                              std::max(0, simfiles::lastFieldValue(fanFile, kPwmFieldWidth, 0)));
    const double added = kElectronicsHeatC + (pumpRunning ? kPumpHeatC : 0.0)
            + (releaseOpen ? kReleaseValveHeatC : 0.0);
    const double cooling = kFanFullCoolingC * std::sqrt(double(duty) / kFanFullDuty);
    return kAmbientC + std::max(0.0, added - cooling);
}

void TemperatureSensor::tick(int elapsedMs)
{
    sinceSampleMs += elapsedMs;
    if (sinceSampleMs >= kSampleIntervalMs) {
        sinceSampleMs = 0;
        cachedTargetC = targetC();
    }
    std::lock_guard<std::mutex> lock(mutex);
    if (held)
        return;
    // First-order lag towards the target.
    temperatureC += (cachedTargetC - temperatureC)
            * (1.0 - std::exp(-elapsedMs / kThermalTimeConstantMs));
}

bool TemperatureSensor::setFault(const QString &, const QStringList &arguments, QString *reason)
{
    bool ok = arguments.size() == 1;
    const double value = ok ? arguments[0].toDouble(&ok) : 0.0;
    if (!ok || value < kMinC || value > kMaxC) {
        *reason = "needs a temperature in degC, -55 to 127";
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex);
    temperatureC = value;
    held = true;
    return true;
}

void TemperatureSensor::clearFaults()
{
    std::lock_guard<std::mutex> lock(mutex);
    held = false;
}

QList<Model::Reading> TemperatureSensor::readings() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return {{"temperature",
             QString("%1 °C%2").arg(temperatureC, 0, 'f', 2).arg(held ? " (held)" : "")}};
}

bool TemperatureSensor::receive(const uint8_t *bytes, size_t count)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (count == 0)
        return true;
    pointer = bytes[0] & kPointerMask;
    // Two more bytes write the register just pointed at; the temperature register is read-only.
    if (count >= 3 && pointer != kTemperatureRegister)
        registers[pointer] = static_cast<uint16_t>((bytes[1] << 8) | bytes[2]);
    return true;
}

void TemperatureSensor::transmit(uint8_t *bytes, size_t count)
{
    std::lock_guard<std::mutex> lock(mutex);
    uint8_t word[2] = {static_cast<uint8_t>(registers[pointer] >> 8),
                       static_cast<uint8_t>(registers[pointer] & 0xFF)};
    if (pointer == kTemperatureRegister)
        encode(temperatureC, &word[0], &word[1]);
    // The sensor repeats the register for as long as the master keeps clocking.
    for (size_t i = 0; i < count; ++i)
        bytes[i] = word[i % 2];
}
