#pragma once

#include "linkconfig.h"

#include <chrono>
#include <cstdint>

#include <QObject>

// The half-duplex RS485 bus to the three electronic pressure controllers (addresses 1 to 3) on
// the board's serial port. Built in the GUI thread, then moved to a worker thread and driven
// only by queued calls; every exchange blocks that thread alone. Diagnostics go to standard
// output, one line each, as the service tools on the instrument collect them.
class EpcControl : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *kConfigPath = "/usr/share/vemla/resources/epc_config.inc";
    static constexpr int kResponseBufferSize = 100;
    // A port just opened and set up is left to settle this long before its first request.
    static constexpr int kSettleAfterOpenMs = 10;
    // A set or read cycle the controllers have not confirmed within this time is taken as lost:
    // the window reopens the link and repeats the request.
    static constexpr int kConfirmationTimeoutMs = 500;

    EpcControl();
    ~EpcControl() override;

    uint16_t calculateCRC(const uint8_t *data, uint8_t length);

public slots:
    int init();
    void setPressure(int p1, int p2, int p3);
    void readPressure(bool contReading);
    void resetAndSetPressure();
    void resetAndReadPressure();

signals:
    void setChannel_1_Value(uint16_t channel_1_value);
    void setChannel_2_Value(uint16_t channel_2_value);
    void setChannel_3_Value(uint16_t channel_3_value);
    void setPressureDone();
    void readPressureDone();

private:
    enum class Transceiver { Transmit, Receive, Idle };

    void readConfiguration();
    void setTransceiver(Transceiver state);
    int setChannel(int channel, float percent);
    int readChannel(int channel, uint16_t *value);
    int sendRequest(int requestID, uint8_t *frame, int length);
    void sendStoredSetPoints();
    void configureRs485();
    void closePort();

    // -1 while the port is closed: 0 is a valid descriptor (standard input, or the port itself
    // when the program runs with standard input closed).
    int fd = -1;
    LinkConfig link;
    // The first request of a port just set up waits until then.
    std::chrono::steady_clock::time_point settledAt;

    uint16_t lastRaw[3] = {0, 0, 0};
    float setPercent[3] = {0, 0, 0};
    int setResult[3] = {0, 0, 0};
    bool contReading = false;

    const char *exportPath = "/sys/class/gpio/export";
    const char *gpio83DirectionPath = "/sys/class/gpio/gpio83/direction";
    const char *gpio84DirectionPath = "/sys/class/gpio/gpio84/direction";
    const char *gpio83ValuePath = "/sys/class/gpio/gpio83/value";
    const char *gpio84ValuePath = "/sys/class/gpio/gpio84/value";
};
