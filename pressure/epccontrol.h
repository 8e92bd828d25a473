#pragma once

#include <cstdint>
#include <string>

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
    // init() is queued to the link's thread: the window lets the reopened port settle this long
    // before it queues the first set-points behind it.
    static constexpr unsigned long kSettleAfterOpenMs = 10;
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

    int fd = 0;

    std::string portPath;
    int communicationLogs = 0;
    int crcLogs = 0;
    int parsingLogs = 0;
    uint8_t currentAddress = 0;
    int commandId = 0;
    unsigned int lineSpeed = 0; // termios speed constant
    int openFlags = 0;
    int clearTermios = 0;
    int termiosFlags = 0;
    int canonicalMode = 0;
    int postProcess = 0;
    int hwControl = 0;
    int vTime = 0;
    int vMin = 0;
    int rs485Mode = 0;
    int rtsctrControl = 0;
    int flush = 0;
    int respDelay = 0;
    int wait1 = 0;
    int wait2 = 0;
    int wait3 = 0;
    int wait4 = 0;
    int wait5 = 0;
    int readImmediately = 0;
    int checkAvailableBytes = 0;

    uint16_t fullScale = 0;
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
