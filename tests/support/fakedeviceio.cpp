#include "fakedeviceio.h"

#include "platform/platform.h"

#include <cerrno>
#include <cstring>
#include <termios.h>

FakeDeviceIo::FakeDeviceIo()
{
    platform::setDeviceIo(this);
}

FakeDeviceIo::~FakeDeviceIo()
{
    platform::setDeviceIo(nullptr);
}

void FakeDeviceIo::failOpen(const std::string &path, int error)
{
    std::lock_guard<std::mutex> lock(mutex);
    nodes[path].openError = error;
}

void FakeDeviceIo::queueRead(const std::string &path, const QByteArray &answer)
{
    std::lock_guard<std::mutex> lock(mutex);
    nodes[path].answers.push_back(answer);
}

void FakeDeviceIo::failNextWrites(const std::string &path, int count, int error)
{
    std::lock_guard<std::mutex> lock(mutex);
    nodes[path].failingWrites = count;
    nodes[path].writeError = error;
}

void FakeDeviceIo::failIoctl(unsigned long request, int error)
{
    std::lock_guard<std::mutex> lock(mutex);
    ioctlErrors[request] = error;
}

void FakeDeviceIo::shortenNextWrites(const std::string &path, int count, size_t accepted)
{
    std::lock_guard<std::mutex> lock(mutex);
    nodes[path].shortWrites = count;
    nodes[path].shortLength = accepted;
}

std::vector<QByteArray> FakeDeviceIo::writesTo(const std::string &path, long address) const
{
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<QByteArray> result;
    auto it = nodes.find(path);
    if (it == nodes.end())
        return result;
    for (size_t i = 0; i < it->second.writes.size(); ++i) {
        if (it->second.writeAddresses[i] == address)
            result.push_back(it->second.writes[i]);
    }
    return result;
}

QByteArray FakeDeviceIo::written(const std::string &path) const
{
    QByteArray all;
    for (const QByteArray &chunk : writes(path))
        all += chunk;
    return all;
}

std::vector<QByteArray> FakeDeviceIo::writes(const std::string &path) const
{
    std::lock_guard<std::mutex> lock(mutex);
    auto it = nodes.find(path);
    return it == nodes.end() ? std::vector<QByteArray>() : it->second.writes;
}

std::vector<FakeDeviceIo::Ioctl> FakeDeviceIo::ioctls() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return ioctlLog;
}

void FakeDeviceIo::giveDescriptorsFrom(int fd)
{
    std::lock_guard<std::mutex> lock(mutex);
    nextFd = fd;
}

int FakeDeviceIo::openCount(const std::string &path) const
{
    std::lock_guard<std::mutex> lock(mutex);
    auto it = nodes.find(path);
    return it == nodes.end() ? 0 : it->second.opens;
}

int FakeDeviceIo::lastOpenFlags(const std::string &path) const
{
    std::lock_guard<std::mutex> lock(mutex);
    auto it = nodes.find(path);
    return it == nodes.end() ? -1 : it->second.openFlags;
}

int FakeDeviceIo::openDescriptors() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return static_cast<int>(descriptors.size());
}

int FakeDeviceIo::strayCalls() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return stray;
}

FakeDeviceIo::Node *FakeDeviceIo::nodeOf(int fd)
{
    auto it = descriptors.find(fd);
    if (it == descriptors.end()) {
        ++stray;
        return nullptr;
    }
    return &nodes[it->second];
}

int FakeDeviceIo::open(const char *path, int flags)
{
    std::lock_guard<std::mutex> lock(mutex);
    Node &node = nodes[path];
    node.openFlags = flags;
    if (node.openError) {
        errno = node.openError;
        return -1;
    }
    ++node.opens;
    const int fd = nextFd++;
    descriptors[fd] = path;
    return fd;
}

ssize_t FakeDeviceIo::read(int fd, void *buffer, size_t count)
{
    std::lock_guard<std::mutex> lock(mutex);
    Node *node = nodeOf(fd);
    if (!node) {
        errno = EBADF;
        return -1;
    }
    if (node->answers.empty())
        return 0; // nothing arrived: what a serial read with a timeout returns
    QByteArray answer = node->answers.front();
    node->answers.pop_front();
    const size_t n = std::min(count, static_cast<size_t>(answer.size()));
    std::memcpy(buffer, answer.constData(), n);
    if (n < static_cast<size_t>(answer.size()))
        node->answers.push_front(answer.mid(static_cast<int>(n)));
    return static_cast<ssize_t>(n);
}

ssize_t FakeDeviceIo::write(int fd, const void *buffer, size_t count)
{
    std::lock_guard<std::mutex> lock(mutex);
    Node *node = nodeOf(fd);
    if (!node) {
        errno = EBADF;
        return -1;
    }
    if (node->failingWrites > 0) {
        --node->failingWrites;
        errno = node->writeError;
        return -1;
    }
    if (node->shortWrites > 0) {
        --node->shortWrites;
        count = std::min(count, node->shortLength);
    }
    node->writes.emplace_back(static_cast<const char *>(buffer), static_cast<int>(count));
    auto slave = slaveAddresses.find(fd);
    node->writeAddresses.push_back(slave == slaveAddresses.end() ? -1 : slave->second);
    return static_cast<ssize_t>(count);
}

int FakeDeviceIo::ioctl(int fd, unsigned long request, void *argument)
{
    std::lock_guard<std::mutex> lock(mutex);
    ioctlLog.push_back({fd, request, reinterpret_cast<long>(argument)});
    if (!nodeOf(fd)) {
        errno = EBADF;
        return -1;
    }
    auto error = ioctlErrors.find(request);
    if (error != ioctlErrors.end()) {
        errno = error->second;
        return -1;
    }
    constexpr unsigned long kI2cSlave = 0x0703;
    if (request == kI2cSlave)
        slaveAddresses[fd] = reinterpret_cast<long>(argument);
    return 0;
}

int FakeDeviceIo::close(int fd)
{
    std::lock_guard<std::mutex> lock(mutex);
    slaveAddresses.erase(fd);
    if (descriptors.erase(fd) == 0) {
        errno = EBADF;
        return -1;
    }
    return 0;
}

int FakeDeviceIo::tcgetattr(int fd, struct termios *settings)
{
    std::lock_guard<std::mutex> lock(mutex);
    Node *node = nodeOf(fd);
    if (!node) {
        errno = EBADF;
        return -1;
    }
    std::memset(settings, 0, sizeof *settings);
    if (node->termiosBytes.size() == sizeof *settings)
        std::memcpy(settings, node->termiosBytes.data(), sizeof *settings);
    return 0;
}

int FakeDeviceIo::tcsetattr(int fd, int, const struct termios *settings)
{
    std::lock_guard<std::mutex> lock(mutex);
    Node *node = nodeOf(fd);
    if (!node) {
        errno = EBADF;
        return -1;
    }
    const auto *bytes = reinterpret_cast<const unsigned char *>(settings);
    node->termiosBytes.assign(bytes, bytes + sizeof *settings);
    return 0;
}

int FakeDeviceIo::tcflush(int fd, int)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!nodeOf(fd)) {
        errno = EBADF;
        return -1;
    }
    return 0;
}

bool FakeDeviceIo::lastTermios(const std::string &path, struct termios *settings) const
{
    std::lock_guard<std::mutex> lock(mutex);
    auto it = nodes.find(path);
    if (it == nodes.end() || it->second.termiosBytes.size() != sizeof *settings)
        return false;
    std::memcpy(settings, it->second.termiosBytes.data(), sizeof *settings);
    return true;
}
