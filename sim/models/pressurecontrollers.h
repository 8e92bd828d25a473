#pragma once

#include "sim/model.h"

#include <array>
#include <cstdint>
#include <random>

// The three electronic pressure controllers of the lines, bus addresses 1 to 3. Each holds a
// set-point register (0x0021) and a measured-value register (0x0020), both in raw units of
// 0 ... 32000 for 0 ... 2000 mbar. A line follows its set-point with a short first-order lag and a
// little sensor noise, and never rises above the vessel pressure that feeds it.
//
// Faults (N is the controller's address 1, 2 or 3):
//   epc-silent N          the controller does not answer at all (a loose bus connector)
//   epc-bad-crc N         its answers carry a corrupted checksum (a noisy line)
//   epc-wrong-address N   its answers carry the next controller's address (a miswired address
//                         switch), with a checksum that matches the wrong frame
//   epc-offset N MBAR     the line settles MBAR off its set-point (a drifting regulator)
//   epc-slow N [MS]       its answers leave MS ms late (default 800: past the program's 500 ms
//                         watchdog), as a controller busy with its own regulation
//   epc-exception N       it answers every request with Modbus exception 04, slave device
//                         failure (a controller whose sensor has failed its self-test)
//   epc-partial N         only the first half of each answer reaches the bus (a transceiver
//                         that drops out while it drives the line)
class PressureControllers : public Model
{
public:
    static constexpr int kControllers = 3;
    static constexpr uint16_t kMeasuredRegister = 0x0020;
    static constexpr uint16_t kSetPointRegister = 0x0021;
    static constexpr uint16_t kFullScaleRaw = 32000;
    static constexpr int kFullScaleMbar = 2000;

    static constexpr int kDefaultSlowReplyMs = 800;

    enum class Reply { Normal, Silent, BadCrc, WrongAddress, Slow, Exception, Partial };

    // `root` is the sandbox root; the vessel pressure is read from the pump's analogue input
    // there. An empty root means a vessel that always has pressure to spare (tests).
    explicit PressureControllers(const QString &root);

    QString name() const override { return "Pressure controllers"; }
    void tick(int elapsedMs) override;
    QStringList faultNames() const override;
    bool setFault(const QString &name, const QStringList &arguments, QString *reason) override;
    void clearFaults() override;
    QList<Reading> readings() const override;

    // The bus side, called by the Modbus server under the world's lock. Address 1 ... 3.
    static bool isAddress(int address) { return address >= 1 && address <= kControllers; }
    Reply replyMode(int address) const;
    int replyDelayMs(int address) const { return controllers[address - 1].delayMs; }
    uint16_t measuredRaw(int address);
    uint16_t setPointRaw(int address) const;
    void setSetPointRaw(int address, uint16_t raw);

    double lineMbar(int address) const { return controllers[address - 1].lineMbar; }

private:
    struct Controller
    {
        uint16_t setPointRaw = 0;
        double lineMbar = 0;
        int offsetMbar = 0;
        int delayMs = 0;
        Reply reply = Reply::Normal;
    };

    int vesselMbar();

    QString vesselFile;
    std::array<Controller, kControllers> controllers {};
    std::mt19937 noise {8};
    int vesselCachedMbar = 0;
    int sinceVesselReadMs = 0;
    bool vesselRead = false;
};
