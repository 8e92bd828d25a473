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
//   epc-slow N [MS]       it answers MS ms after the request instead of its usual processing
//                         delay (default 800: past the program's 500 ms watchdog), as a
//                         controller busy with its own regulation; the other two answer as usual
//   epc-exception N       it answers every request with Modbus exception 04, slave device
//                         failure (a controller whose sensor has failed its self-test)
//   epc-partial N         only the first half of each answer reaches the bus (a transceiver
//                         that drops out while it drives the line)
//   epc-baud BAUD         all three controllers run at BAUD (9600, 19200, 38400, 57600 or
//                         115200) instead of 38400, as after a service tool changed them
class PressureControllers : public Model
{
public:
    static constexpr int kControllers = 3;
    static constexpr uint16_t kMeasuredRegister = 0x0020;
    static constexpr uint16_t kSetPointRegister = 0x0021;
    static constexpr uint16_t kFullScaleRaw = 32000;
    static constexpr int kFullScaleMbar = 2000;

    static constexpr int kDefaultSlowReplyMs = 800;
    // From the end of a request (its closing silence) to the first bit of the answer: the
    // controller's firmware takes the frame in and answers after its current regulation cycle,
    // 1 to 3 ms on the controllers of this kind; we take the slow end.
    static constexpr int kProcessingDelayUs = 3000;
    // The controllers' line speed as they leave the factory set up for this instrument: that of
    // the shipped link file.
    static constexpr int kDefaultBaud = 38400;

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
    int replyDelayUs(int address) const;
    int lineBaud() const { return baud; }
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
    int baud = kDefaultBaud;
};
