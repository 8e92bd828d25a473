#include "linkconfig.h"

namespace {

// The selectors of the link file: the value that picks the alternative; any other value picks
// the default.
constexpr int kConsolePort = 1;
constexpr int kBaud38400 = 1;
constexpr int kBaud115200 = 2;
constexpr int kOpenWithoutControllingTerminal = 1;
constexpr int kOpenNonBlocking = 2;
constexpr int kOpenNonBlockingToo = 3;
constexpr int kThoroughInputFlags = 1;
constexpr int kThoroughNonCanonical = 2;
constexpr int kOn = 1;

} // namespace

LinkConfig LinkConfig::read(const ValueOf &valueOf, std::vector<std::string> *report)
{
    // Each key is read, then reported with its label and the value as the file has it.
    auto value = [&](const char *key, const char *label) {
        const int number = valueOf(key);
        if (label)
            report->push_back(label + std::to_string(number));
        return number;
    };

    LinkConfig config;
    report->push_back("----------- Reading configurations ----------------");
    config.communicationLogs = value("communication_logs", "Com. logs:\t") == kOn;
    config.crcLogs = value("crc_logs", "CRC logs:\t") == kOn;
    config.parsingLogs = value("parsing_logs", "Parsing logs:\t") == kOn;
    // Reported only: every request names the controller it addresses.
    value("channel_id", "Channel ID:\t");
    value("command_id", "Command ID:\t");
    if (value("port", nullptr) == kConsolePort) {
        config.portPath = "/dev/ttymxc1";
        report->push_back("Port:\t\t/dev/ttymxc1 (Serial console)");
    } else {
        config.portPath = "/dev/ttymxc0";
        report->push_back("Port:\t\t/dev/ttymx0 (EPC RS485)");
    }
    switch (value("baudrate", nullptr)) {
    case kBaud38400:
        config.lineSpeed = B38400;
        report->push_back("Baudrate:\t38400");
        break;
    case kBaud115200:
        config.lineSpeed = B115200;
        report->push_back("Baudrate:\t115200");
        break;
    default:
        config.lineSpeed = B19200;
        report->push_back("Baudrate:\t19200");
        break;
    }
    switch (value("opening_flags", "Opening_flags:\t")) {
    case kOpenWithoutControllingTerminal:
        config.openFlags = O_RDWR | O_NOCTTY;
        break;
    case kOpenNonBlocking:
    case kOpenNonBlockingToo:
        config.openFlags = O_RDWR | O_NOCTTY | O_NONBLOCK;
        break;
    default:
        config.openFlags = O_RDWR;
        break;
    }
    config.clearTermios = value("clear_termios", "Clear_termios:\t") == kOn;
    switch (value("termios_flags", "Termios flags:\t")) {
    case kThoroughInputFlags:
        config.inputFlags = InputFlags::Thorough;
        break;
    case kThoroughNonCanonical:
        config.inputFlags = InputFlags::ThoroughNonCanonical;
        break;
    default:
        config.inputFlags = InputFlags::Basic;
        break;
    }
    config.canonicalMode = value("canonical_mode", "Canonical mode:\t") == kOn;
    config.postProcess = value("post_process", "Post process:\t") == kOn;
    config.hardwareFlowControl = value("hw_control", "HW control:\t") == kOn;
    // The control characters are bytes: the file's value is cut to one, as the port takes it.
    config.vTime = static_cast<cc_t>(value("v_time", "v_time:\t\t"));
    config.vMin = static_cast<cc_t>(value("v_min", "v_min:\t\t"));
    config.flushBeforeRequest = value("flush", "Flush:\t\t") != 0;
    config.responseDelayMs = value("resp_delay", "Resp delay:\t");
    config.waitBeforeWriteUs = value("wait_1", "Wait time 1:\t");
    config.waitAfterWriteUs = value("wait_2", "Wait time 2:\t");
    config.waitBeforeReadUs = value("wait_3", "Wait time 3:\t");
    config.waitAfterReadUs = value("wait_4", "Wait time 4:\t");
    config.waitAtEndUs = value("wait_5", "Wait time 5:\t");
    config.receiveRightAfterWrite = value("read_immediately", "Enable RE immediately:\t") == kOn;
    value("check_available_bytes", "Check available bytes:\t");
    config.rs485Mode = value("rs485_mode", "RS485 mode:\t\t") != 0;
    config.switchTransceiver = value("rtsctr_control", "rtsctr control:\t\t") == kOn;
    report->push_back("---------------------------------------------------");
    return config;
}

termios LinkConfig::terminalAttributes(const termios &current) const
{
    termios settings = current;
    if (clearTermios) {
        settings.c_iflag = INPCK;
        settings.c_oflag = 0;
        settings.c_cflag = 0;
        settings.c_lflag = 0;
    } else {
        settings.c_iflag &= ~(IGNPAR | INLCR | ICRNL | IXON | IXANY | IXOFF);
        settings.c_iflag |= INPCK;
    }
    const tcflag_t startInputFlags = settings.c_iflag;

    // 8 data bits, even parity, one stop bit: the character format of Modbus RTU.
    settings.c_cflag &= ~(CSIZE | CSTOPB | PARODD);
    if (hardwareFlowControl)
        settings.c_cflag |= CRTSCTS;
    else
        settings.c_cflag &= ~CRTSCTS;
    settings.c_cflag |= CLOCAL | CREAD | PARENB | CS8;
    settings.c_cflag &= ~(CBAUD | CBAUDEX);

    if (canonicalMode)
        settings.c_lflag |= ICANON;
    else
        settings.c_lflag &= ~ICANON;
    settings.c_lflag &= ~(ISIG | ECHO | ECHOE | ECHONL | IEXTEN);

    if (!postProcess)
        settings.c_oflag &= ~OPOST;
    settings.c_oflag &= ~(ONLCR | OCRNL);

    if (inputFlags != InputFlags::Basic) {
        settings.c_iflag = startInputFlags
                & ~(IGNBRK | BRKINT | IGNPAR | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON
                    | IXANY | IXOFF);
        settings.c_iflag |= INPCK;
        if (inputFlags == InputFlags::ThoroughNonCanonical)
            settings.c_lflag &= ~ICANON;
    }

    cfsetispeed(&settings, lineSpeed);
    cfsetospeed(&settings, lineSpeed);
    settings.c_cc[VTIME] = vTime;
    settings.c_cc[VMIN] = vMin;
    return settings;
}
