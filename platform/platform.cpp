#include "platform.h"

#include "deviceio.h"

#include <cstdlib>
#include <mutex>

#include <QStorageInfo>

namespace platform {

namespace {

// Set once before the window and the worker threads exist; read from every thread after.
std::string rootPrefix;

std::mutex backendMutex;
CommandRunner commandRunner;
VolumeQuery volumeQuery;
DeviceIo *installedDeviceIo = nullptr;

SystemDeviceIo &systemDeviceIo()
{
    static SystemDeviceIo instance;
    return instance;
}

} // namespace

void setRoot(const std::string &root)
{
    rootPrefix = root;
    while (!rootPrefix.empty() && rootPrefix.back() == '/')
        rootPrefix.pop_back();
}

const std::string &root()
{
    return rootPrefix;
}

std::string path(const char *absolutePath)
{
    return rootPrefix + absolutePath;
}

std::string path(const std::string &absolutePath)
{
    return rootPrefix + absolutePath;
}

QString path(const QString &absolutePath)
{
    return QString::fromStdString(rootPrefix) + absolutePath;
}

int run(const std::string &command)
{
    CommandRunner runner;
    {
        std::lock_guard<std::mutex> lock(backendMutex);
        runner = commandRunner;
    }
    if (runner)
        return runner(command);
    return std::system(command.c_str());
}

void setCommandRunner(CommandRunner runner)
{
    std::lock_guard<std::mutex> lock(backendMutex);
    commandRunner = std::move(runner);
}

DeviceIo &deviceIo()
{
    std::lock_guard<std::mutex> lock(backendMutex);
    return installedDeviceIo ? *installedDeviceIo : systemDeviceIo();
}

void setDeviceIo(DeviceIo *backend)
{
    std::lock_guard<std::mutex> lock(backendMutex);
    installedDeviceIo = backend;
}

QStringList mountedVolumes()
{
    VolumeQuery query;
    {
        std::lock_guard<std::mutex> lock(backendMutex);
        query = volumeQuery;
    }
    if (query)
        return query();
    QStringList roots;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady())
            roots << volume.rootPath();
    }
    return roots;
}

void setVolumeQuery(VolumeQuery query)
{
    std::lock_guard<std::mutex> lock(backendMutex);
    volumeQuery = std::move(query);
}

} // namespace platform
