#include "rtuwireline.h"

#include <algorithm>
#include <climits>

#include <sys/eventfd.h>
#include <unistd.h>

namespace {

// The UART starts the first start bit this long after write() has put the frame in the driver's
// buffer: the system call, the driver filling the transmit FIFO and the FIFO's first shift.
constexpr int64_t kUartStartUs = 20;
// How far back the line keeps pin changes and settled characters: far beyond any character's
// length (1.1 ms at 9600 baud) and any lateness of the thread that settles them.
constexpr int64_t kHistoryUs = 1000000;
// Controller addresses index the transmitters' free times.
constexpr int kLastAddress = 3;

bool overlap(const RtuWireLine::Character &a, const RtuWireLine::Character &b)
{
    return a.startUs < b.endUs && b.startUs < a.endUs;
}

} // namespace

RtuWireLine::RtuWireLine(Clock clock)
    : clock(std::move(clock)), activity(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
    // Exported GPIOs set to output start low: the driver off and the receiver on.
    history[0].push_back({INT64_MIN, false});
    history[1].push_back({INT64_MIN, false});
}

RtuWireLine::~RtuWireLine()
{
    if (activity >= 0)
        ::close(activity);
}

void RtuWireLine::signalActivity()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(activity, &one, sizeof one);
}

void RtuWireLine::setPin(Pin pin, bool high)
{
    std::lock_guard<std::mutex> lock(mutex);
    const int64_t at = clock();
    history[static_cast<int>(pin)].push_back({at, high});
    automaticClient = false;
}

void RtuWireLine::boardWrite(const uint8_t *bytes, std::size_t count, int baud)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        automaticClient = false;
        lastBoardBaud = baud;
        queue(kBoard, bytes, count, baud, clock() + kUartStartUs, &boardFreeAtUs);
    }
    signalActivity();
}

void RtuWireLine::clientWrite(const uint8_t *bytes, std::size_t count, int baud)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        automaticClient = true;
        lastBoardBaud = baud;
        queue(kClient, bytes, count, baud, clock(), &boardFreeAtUs);
    }
    signalActivity();
}

void RtuWireLine::boardFlushOutput()
{
    std::lock_guard<std::mutex> lock(mutex);
    const int64_t at = clock();
    pending.erase(std::remove_if(pending.begin(), pending.end(),
                                 [at](const Character &c) {
                                     return c.source <= kBoard && c.startUs > at;
                                 }),
                  pending.end());
    int64_t lastEnd = at;
    for (const Character &c : pending)
        if (c.source <= kBoard)
            lastEnd = std::max(lastEnd, c.endUs);
    boardFreeAtUs = lastEnd;
}

void RtuWireLine::controllerWrite(int address, const uint8_t *bytes, std::size_t count, int baud,
                                  int64_t startUs)
{
    if (address < 1 || address > kLastAddress)
        return;
    std::lock_guard<std::mutex> lock(mutex);
    queue(address, bytes, count, baud, startUs, &controllerFreeAtUs[address]);
}

void RtuWireLine::queue(int source, const uint8_t *bytes, std::size_t count, int baud,
                        int64_t startUs, int64_t *freeAtUs)
{
    if (baud <= 0)
        return;
    int64_t start = std::max(startUs, *freeAtUs);
    const int64_t length = rtuwire::wireTimeUs(1, baud);
    for (std::size_t i = 0; i < count; ++i) {
        Character c;
        c.source = source;
        c.startUs = start;
        c.endUs = start + length;
        c.byte = bytes[i];
        c.baud = baud;
        pending.push_back(c);
        start = c.endUs;
    }
    *freeAtUs = start;
}

bool RtuWireLine::valueAt(Pin pin, int64_t us) const
{
    const std::vector<Change> &changes = history[static_cast<int>(pin)];
    bool value = changes.front().high;
    for (const Change &change : changes) {
        if (change.atUs > us)
            break;
        value = change.high;
    }
    return value;
}

bool RtuWireLine::heldThroughout(Pin pin, bool high, int64_t startUs, int64_t endUs) const
{
    if (valueAt(pin, startUs) != high)
        return false;
    for (const Change &change : history[static_cast<int>(pin)])
        if (change.atUs > startUs && change.atUs <= endUs && change.high != high)
            return false;
    return true;
}

bool RtuWireLine::anyTime(Pin pin, bool high, int64_t startUs, int64_t endUs) const
{
    return !heldThroughout(pin, !high, startUs, endUs);
}

bool RtuWireLine::collides(const Character &c) const
{
    // A character of the board's own transceiver drowns a controller through the driver enable
    // (checked by the caller); anything else that drives the bus at the same time counts here.
    auto drives = [&](const Character &other, bool settled) {
        if (other.source == c.source || !overlap(c, other))
            return false;
        if (other.source == kBoard)
            return settled && other.onBus && c.source == kClient;
        return settled ? other.onBus : true;
    };
    for (const Character &other : recent)
        if (drives(other, true))
            return true;
    for (const Character &other : pending)
        if (&other != &c && drives(other, false))
            return true;
    return false;
}

std::vector<RtuWireLine::Character> RtuWireLine::settle()
{
    std::lock_guard<std::mutex> lock(mutex);
    const int64_t at = clock();
    std::vector<Character> done;
    std::stable_sort(pending.begin(), pending.end(),
                     [](const Character &a, const Character &b) { return a.endUs < b.endUs; });
    std::size_t settled = 0;
    while (settled < pending.size() && pending[settled].endUs <= at) {
        Character &c = pending[settled];
        const bool board = c.source == kBoard;
        c.onBus = !board || heldThroughout(Pin::DriverEnable, true, c.startUs, c.endUs);
        c.intact = c.onBus && !collides(c);
        if (c.source > kBoard && !automaticClient
            && anyTime(Pin::DriverEnable, true, c.startUs, c.endUs))
            c.intact = false;
        if (automaticClient)
            c.boardHears = c.source > kBoard;
        else
            c.boardHears
                    = c.onBus && heldThroughout(Pin::ReceiverEnableLow, false, c.startUs, c.endUs);
        done.push_back(c);
        ++settled;
    }
    for (const Character &c : done)
        recent.push_back(c);
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(settled));
    prune(at);
    return done;
}

void RtuWireLine::prune(int64_t nowUs)
{
    const int64_t horizon = nowUs - kHistoryUs;
    while (!recent.empty() && recent.front().endUs < horizon)
        recent.pop_front();
    for (std::vector<Change> &changes : history) {
        // Keep the last change before the horizon: it is the value from there on.
        std::size_t firstKept = 0;
        while (firstKept + 1 < changes.size() && changes[firstKept + 1].atUs < horizon)
            ++firstKept;
        changes.erase(changes.begin(), changes.begin() + static_cast<std::ptrdiff_t>(firstKept));
    }
}

int64_t RtuWireLine::nextEndUs() const
{
    std::lock_guard<std::mutex> lock(mutex);
    int64_t next = INT64_MAX;
    for (const Character &c : pending)
        next = std::min(next, c.endUs);
    return next;
}

bool RtuWireLine::boardCharacterStartsBefore(int64_t us) const
{
    std::lock_guard<std::mutex> lock(mutex);
    return std::any_of(pending.begin(), pending.end(),
                       [us](const Character &c) { return c.source <= kBoard && c.startUs < us; });
}

int RtuWireLine::boardBaud() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return lastBoardBaud;
}
