#pragma once

#include "platform/deviceio.h"

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <QByteArray>

// A scriptable stand-in for device nodes. Installed for its lifetime. Each opened path gets a
// descriptor; reads are answered from the script queued for that path, writes and ioctls are
// recorded. Failures can be scripted per path: open fails, next write fails, short answers.
class FakeDeviceIo : public platform::DeviceIo
{
public:
    struct Ioctl
    {
        int fd;
        unsigned long request;
        long argument; // integer arguments (e.g. I2C_SLAVE's address); 0 for pointers
    };

    FakeDeviceIo();
    ~FakeDeviceIo() override;

    // Script. Paths are the resolved paths the code opens.
    void failOpen(const std::string &path, int error = 2 /* ENOENT */);
    void queueRead(const std::string &path, const QByteArray &answer); // one read() each
    void failNextWrites(const std::string &path, int count, int error = 5 /* EIO */);
    void failIoctl(unsigned long request, int error);
    // The next `count` writes to path take only the first `accepted` bytes.
    void shortenNextWrites(const std::string &path, int count, size_t accepted);
    // Descriptors are given out from `fd` on: 0 is what the kernel gives a program started with
    // standard input closed.
    void giveDescriptorsFrom(int fd);

    // What happened.
    QByteArray written(const std::string &path) const; // all writes, concatenated
    std::vector<QByteArray> writes(const std::string &path) const; // one entry per write()
    std::vector<Ioctl> ioctls() const;
    // Writes made on descriptors bound to an I2C slave address with ioctl(I2C_SLAVE).
    std::vector<QByteArray> writesTo(const std::string &path, long address) const;
    int openCount(const std::string &path) const;
    int lastOpenFlags(const std::string &path) const; // -1 when never opened
    int openDescriptors() const;
    // read/write/flush calls on descriptors this fake never gave out (0 is standard input).
    int strayCalls() const;

    int open(const char *path, int flags) override;
    ssize_t read(int fd, void *buffer, size_t count) override;
    ssize_t write(int fd, const void *buffer, size_t count) override;
    int ioctl(int fd, unsigned long request, void *argument) override;
    int close(int fd) override;
    int tcgetattr(int fd, struct termios *settings) override;
    int tcsetattr(int fd, int when, const struct termios *settings) override;
    int tcflush(int fd, int queue) override;

    // The last termios settings applied to a path (for link set-up tests).
    bool lastTermios(const std::string &path, struct termios *settings) const;

private:
    struct Node
    {
        std::deque<QByteArray> answers;
        std::vector<QByteArray> writes;
        std::vector<long> writeAddresses; // the I2C slave of each write, -1 when none
        int failingWrites = 0;
        int shortWrites = 0;
        size_t shortLength = 0;
        int writeError = 0;
        int openError = 0;
        int opens = 0;
        int openFlags = -1;
        std::vector<unsigned char> termiosBytes;
    };

    Node *nodeOf(int fd);

    mutable std::mutex mutex;
    std::map<std::string, Node> nodes;
    std::map<int, std::string> descriptors;
    std::map<unsigned long, int> ioctlErrors;
    std::map<int, long> slaveAddresses;
    std::vector<Ioctl> ioctlLog;
    int nextFd = 100;
    int stray = 0;
};
