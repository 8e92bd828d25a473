#pragma once

#include "rtuwire.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

// The half-duplex RS485 bus between the board and the three pressure controllers, as a timeline
// of characters on one clock. The board's UART sends what the program wrote at the line speed,
// one character after the other; the transceiver's two lines decide what of it reaches the bus
// and what the board hears:
//   - GPIO 83 (driver enable): a character of the board is on the bus only if the driver was on
//     from its start bit to its stop bit. While it is on and the UART is idle, the driver holds
//     the bus at the idle level, so a controller answering then is drowned.
//   - GPIO 84 (receiver enable, active low): while it is 0 the board hears the bus, its own
//     characters included (echo). A character is heard only if the receiver was on for all of it.
// Two transmitters on the bus at once spoil each other's characters. A spoilt character reaches
// the program as 0, the byte a UART with parity checking (INPCK) delivers for a parity error.
class RtuWireLine
{
public:
    using Clock = std::function<int64_t()>;
    enum class Pin { DriverEnable, ReceiverEnableLow };
    // Transmitters: the board, a client that switches its driver by itself (a USB adapter, used
    // by tests that speak to the controllers directly), and controllers 1 to 3 by address.
    static constexpr int kBoard = 0;
    static constexpr int kClient = -1;

    struct Character
    {
        int source = kBoard;
        int64_t startUs = 0;
        int64_t endUs = 0;
        uint8_t byte = 0;
        int baud = 0;
        bool onBus = false; // driven onto the bus for its whole length
        bool intact = false; // on the bus and alone there
        bool boardHears = false; // the board's receiver took it in
    };

    explicit RtuWireLine(Clock clock = rtuwire::nowUs);
    ~RtuWireLine();
    RtuWireLine(const RtuWireLine &) = delete;
    RtuWireLine &operator=(const RtuWireLine &) = delete;

    int64_t now() const { return clock(); }
    // Readable (an eventfd) whenever characters were queued by the board's side, so that the
    // thread running the bus can wait for them in poll(); it reads the count to clear it. The
    // line owns it: whoever still holds the line can write without racing its closing.
    int activityFd() const { return activity; }

    // The board's side; each is timed on the line's clock when it is called.
    void setPin(Pin pin, bool high);
    void boardWrite(const uint8_t *bytes, std::size_t count, int baud);
    void boardFlushOutput(); // drops what has not started yet, as tcflush drops the queue
    void clientWrite(const uint8_t *bytes, std::size_t count, int baud);

    // A controller's answer, leaving at `startUs` or once its previous answer is out.
    void controllerWrite(int address, const uint8_t *bytes, std::size_t count, int baud,
                         int64_t startUs);

    // Every character whose stop bit is past, in the order they ended, with what the bus made
    // of it. Called by the one thread that runs the bus.
    std::vector<Character> settle();
    // The end of the next character still on its way; INT64_MAX when the bus is quiet.
    int64_t nextEndUs() const;
    // Whether a character of the board's side is on its way that starts before `us` (the
    // controllers' silence timer must not run out under it).
    bool boardCharacterStartsBefore(int64_t us) const;
    // The line speed the board's UART was last set to (its receiver's speed as well).
    int boardBaud() const;

private:
    struct Change
    {
        int64_t atUs;
        bool high;
    };

    void queue(int source, const uint8_t *bytes, std::size_t count, int baud, int64_t startUs,
               int64_t *freeAtUs);
    bool valueAt(Pin pin, int64_t us) const;
    bool heldThroughout(Pin pin, bool high, int64_t startUs, int64_t endUs) const;
    bool anyTime(Pin pin, bool high, int64_t startUs, int64_t endUs) const;
    bool collides(const Character &c) const;
    void signalActivity();
    void prune(int64_t nowUs);

    Clock clock;
    int activity = -1;
    mutable std::mutex mutex;
    std::vector<Change> history[2];
    std::vector<Character> pending;
    std::deque<Character> recent; // settled, kept to find collisions with later ones
    int64_t boardFreeAtUs = 0;
    int64_t controllerFreeAtUs[4] = {0, 0, 0, 0};
    int lastBoardBaud = 0;
    bool automaticClient = false; // the last writer was a client without transceiver lines
};
