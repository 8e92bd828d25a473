#pragma once

#include <functional>
#include <string>

#include <QString>
#include <QStringList>

// The one seam between the program and the operating system. On the instrument the root is
// empty and commands go to system(); the simulator and the tests install a sandbox root, a
// command runner and a device-I/O backend before the main window is built.
namespace platform {

class DeviceIo;

// Every absolute path the program touches goes through path(): it prefixes the root.
void setRoot(const std::string &root);
const std::string &root();
std::string path(const char *absolutePath);
std::string path(const std::string &absolutePath);
QString path(const QString &absolutePath);

// Every shell command goes through run(). The result is what system() returns.
using CommandRunner = std::function<int(const std::string &command)>;
int run(const std::string &command);
void setCommandRunner(CommandRunner runner); // an empty runner restores system()

// Device nodes (/dev/i2c-N, the serial TTY) are reached through the installed backend.
DeviceIo &deviceIo();
void setDeviceIo(DeviceIo *backend); // nullptr restores the plain system calls

// Root paths of the mounted volumes (the software update and the log export look for the
// stick among them).
using VolumeQuery = std::function<QStringList()>;
QStringList mountedVolumes();
void setVolumeQuery(VolumeQuery query); // an empty query restores QStorageInfo

} // namespace platform
