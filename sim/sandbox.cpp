#include "sandbox.h"

#include "simfiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace {

// The GPIO lines the program uses and the attribute files the kernel gives each.
struct GpioLine
{
    int number;
    bool input;
    bool hasEdge;
};
const GpioLine kGpioLines[] = {
        {39, true, false}, // pump: upper pressure switch
        {83, false, false}, // RS485 transceiver
        {84, false, false}, // RS485 transceiver
        {89, false, false}, // pump and start-up pulse
        {149, false, false}, // pump
        {150, false, false}, // pump
        {160, true, true}, // power button
        {162, true, false}, // hardware version, bit 0
        {163, true, false}, // hardware version, bit 1
        {164, true, false}, // hardware version, bit 2
};

const char *const kPwmDevices[] = {"PWM<B>", "PWM<C>", "PWM<D>"};
const char *const kAdcFiles[] = {"in_voltage4_raw", "in_voltage7_raw"};
const char *const kDeviceNodes[] = {"/dev/i2c-2", "/dev/i2c-4"};

QString shellQuote(const QString &text)
{
    QString quoted = text;
    quoted.replace('\'', "'\\''");
    return '\'' + quoted + '\'';
}

} // namespace

Sandbox::Sandbox(const QString &root) : rootDir(QDir(root).absolutePath()) { }

bool Sandbox::lay(bool fresh, int hardwareVersion, QString *error)
{
    if (fresh && QFileInfo::exists(rootDir) && !QDir(rootDir).removeRecursively()) {
        *error = "cannot remove the old root " + rootDir;
        return false;
    }
    for (const char *dir : {"/sim", "/sim/usb-stick", "/media", "/tmp", "/usr/bin", "/dev",
                            "/usr/share/vemla/logs/production"}) {
        if (!QDir().mkpath(file(dir))) {
            *error = "cannot create " + file(dir);
            return false;
        }
    }
    if (!laySysfs(hardwareVersion) || !layDataDirectory() || !layTools()) {
        *error = "cannot lay out the instrument's files under " + rootDir;
        return false;
    }
    // A power-off or restart request belongs to the run that made it, and /tmp is a RAM disk
    // that no boot inherits.
    QFile::remove(powerOffMarker());
    QFile::remove(restartMarker());
    QFile::remove(file("/tmp/vemla_sw_update.txt"));
    return true;
}

bool Sandbox::touch(const QString &absolutePath, const QByteArray &content)
{
    const QString target = file(absolutePath);
    if (QFileInfo::exists(target))
        return true;
    return simfiles::writeAtomically(target, content);
}

bool Sandbox::laySysfs(int hardwareVersion)
{
    bool ok = touch("/sys/class/gpio/export", {}) && touch("/sys/class/gpio/unexport", {});
    // Outputs come up low at power-on, whatever the previous boot drove: a motor, a pump or a
    // transceiver left on by a power cut is off again until the program drives it.
    for (const GpioLine &line : kGpioLines) {
        const QString dir = QString("/sys/class/gpio/gpio%1").arg(line.number);
        ok = touch(dir + "/direction", line.input ? "in\n" : "out\n") && ok;
        if (line.input)
            ok = touch(dir + "/value", "0\n") && ok;
        else
            ok = simfiles::writeAtomically(file(dir + "/value"), "0\n") && ok;
        if (line.hasEdge)
            ok = touch(dir + "/edge", "none\n") && ok;
    }
    // The strap lines are soldered: they are what this run's board says, whatever was there.
    for (int bit = 0; bit < 3; ++bit) {
        const QString value = QString("/sys/class/gpio/gpio%1/value").arg(162 + bit);
        ok = simfiles::writeAtomically(file(value), (hardwareVersion >> bit) & 1 ? "1\n" : "0\n")
                && ok;
    }
    // The power button is released at power-on.
    ok = simfiles::writeAtomically(file("/sys/class/gpio/gpio160/value"), "0\n") && ok;
    for (const char *device : kPwmDevices)
        ok = simfiles::writeAtomically(file(QString("/sys/class/leds/%1/brightness").arg(device)),
                                       "0\n")
                && ok;
    for (const char *adc : kAdcFiles)
        ok = touch(QString("/sys/bus/iio/devices/iio:device0/%1").arg(adc), "0\n") && ok;
    for (const char *node : kDeviceNodes)
        ok = touch(node, {}) && ok;
    return ok;
}

bool Sandbox::layDataDirectory()
{
    // The instrument's shipped data files; existing ones are the instrument's own and stay.
    const QString shipped = QStringLiteral(VEMLA_DATA_DIR);
    bool ok = true;
    QDirIterator it(shipped, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = file("/usr/share/vemla/resources") + source.mid(shipped.size());
        if (QFileInfo::exists(target))
            continue;
        QDir().mkpath(QFileInfo(target).path());
        ok = QFile::copy(source, target) && ok;
    }
    return ok;
}

bool Sandbox::writeTool(const QString &absolutePath, const QString &body)
{
    const QString target = file(absolutePath);
    const QString script = "#!/bin/sh\n# Simulated platform tool, laid by vemla8-sim.\n" + body;
    if (!simfiles::writeAtomically(target, script.toUtf8()))
        return false;
    return QFile::setPermissions(target,
                                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                         | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                                         | QFile::ExeOther);
}

bool Sandbox::layTools()
{
    const QString root = shellQuote(rootDir);
    const QString record = QString("ROOT=%1\nLOG=\"$ROOT/sim/commands.log\"\n").arg(root);
    auto recordCall = [&](const QString &name) {
        return record + QString("echo \"%1 $*\" >> \"$LOG\"\n").arg(name);
    };
    bool ok = true;
    // Commands on the program's path.
    ok = writeTool("/sim/bin/poweroff",
                   recordCall("poweroff") + "touch \"$ROOT/sim/poweroff.request\"\n")
            && ok;
    ok = writeTool("/sim/bin/umount",
                   recordCall("umount")
                           + "for target in \"$@\"; do\n"
                             "  case \"$target\" in\n"
                             "    \"$ROOT\"/media/*) rm -f \"$target\" ;;\n"
                             "  esac\n"
                             "done\n")
            && ok;
    ok = writeTool("/sim/bin/journalctl",
                   recordCall("journalctl")
                           + "case \"$*\" in\n"
                             "  *-b\\ -1*) [ -f \"$ROOT/sim/app.previous.log\" ] || {\n"
                             "      echo 'Specifying boot ID or boot offset has no effect, "
                             "no persistent journal was found.' >&2; exit 1; }\n"
                             "    cat \"$ROOT/sim/app.previous.log\" ;;\n"
                             "  *) cat \"$ROOT/sim/app.log\" ;;\n"
                             "esac\n")
            && ok;
    ok = writeTool("/sim/bin/timedatectl", recordCall("timedatectl")) && ok;
    ok = writeTool("/sim/bin/hwclock", recordCall("hwclock")) && ok;
    // Installs the stick's package as a new image: remembers it as the installed version,
    // leaves the marker the new software looks for on the stick, and asks for the board's
    // restart.
    ok = writeTool("/sim/bin/sysupgrade.sh",
                   recordCall("sysupgrade.sh")
                           + "package=\"$ROOT/media/sda1/vemla8-update.swu\"\n"
                             "if [ ! -f \"$package\" ]; then\n"
                             "  echo 'sysupgrade.sh: no update package on the stick' >&2\n"
                             "  exit 1\n"
                             "fi\n"
                             "cp \"$package\" \"$ROOT/sim/installed-update.swu\" || exit 1\n"
                             // The new image brings /usr/share/vemla without the old settings
                             // file: what the instrument keeps is what the stick's backup holds.
                             "rm -f \"$ROOT/usr/share/vemla/vemla.ini\"\n"
                             "touch \"$ROOT/media/sda1/.swupgraded\" || exit 1\n"
                             "sync\n"
                             "touch \"$ROOT/sim/restart.request\"\n")
            && ok;
    // The real cp, unless a stick fault says a copy onto the stick cannot work.
    ok = writeTool("/sim/bin/cp",
                   record
                           + "for target in \"$@\"; do :; done\n"
                             "case \"$target\" in\n"
                             "  \"$ROOT\"/media/sda1|\"$ROOT\"/media/sda1/*)\n"
                             "    case \"$(cat \"$ROOT/sim/usb-stick.fault\" 2>/dev/null)\" in\n"
                             "      usb-full)\n"
                             "        echo \"cp: error writing '$target': No space left on "
                             "device\" >&2\n"
                             "        exit 1 ;;\n"
                             "      usb-pulled-during-copy)\n"
                             "        rm -f \"$ROOT/dev/sda1\" \"$ROOT/media/sda1\"\n"
                             "        echo \"cp: cannot create '$target': No such device\" >&2\n"
                             "        exit 1 ;;\n"
                             "      usb-slow) sleep 3 ;;\n"
                             "    esac ;;\n"
                             "esac\n"
                             "exec /bin/cp \"$@\"\n")
            && ok;
    // The installed scripts. The program sources them (". /usr/bin/x.sh"), so they run in the
    // calling shell and end with `true` rather than exit.
    // A stick offers an update while its package differs from the one last installed.
    ok = writeTool("/usr/bin/usb_attached.sh",
                   recordCall("usb_attached.sh")
                           + "mountpoint=\"$ROOT/media/sda1\"\n"
                             "nomount=\"$ROOT/sim/usb-stick.nomount\"\n"
                             "if [ -e \"$ROOT/dev/sda1\" ] && [ -e \"$nomount\" ]; then\n"
                             // A file system the board cannot read: nothing is mounted and the
                             // mount point is the plain folder it is without a stick.
                             "  mkdir -p \"$mountpoint\"\n"
                             "  rm -f \"$ROOT/tmp/vemla_sw_update.txt\"\n"
                             "elif [ -e \"$ROOT/dev/sda1\" ]; then\n"
                             // A mount covers the empty folder a failed one left.
                             "  [ -L \"$mountpoint\" ] || rmdir \"$mountpoint\" 2>/dev/null\n"
                             "  ln -sfn \"$ROOT/sim/usb-stick\" \"$mountpoint\"\n"
                             "  package=\"$ROOT/sim/usb-stick/vemla8-update.swu\"\n"
                             "  if [ -f \"$package\" ] &&\n"
                             "     ! cmp -s \"$package\" \"$ROOT/sim/installed-update.swu\"; then\n"
                             "    touch \"$ROOT/tmp/vemla_sw_update.txt\"\n"
                             "  else\n"
                             "    rm -f \"$ROOT/tmp/vemla_sw_update.txt\"\n"
                             "  fi\n"
                             "fi\n"
                             "true\n")
            && ok;
    ok = writeTool("/usr/bin/usb_removed.sh",
                   recordCall("usb_removed.sh")
                           + "if [ ! -e \"$ROOT/dev/sda1\" ]; then\n"
                             "  rm -f \"$ROOT/media/sda1\" \"$ROOT/tmp/vemla_sw_update.txt\"\n"
                             "fi\n"
                             "true\n")
            && ok;
    // Keeps the newest N run logs of a directory (dash passes no arguments to a sourced
    // script, so the instrument's values are the defaults).
    ok = writeTool("/usr/bin/logremove.sh",
                   recordCall("logremove.sh")
                           + "dir=\"${1:-$ROOT/usr/share/vemla/logs/production}\"\n"
                             "keep=\"${2:-200}\"\n"
                             "if [ -d \"$dir\" ]; then\n"
                             "  ls -1t \"$dir\" | tail -n +$((keep + 1)) | while read -r f; do\n"
                             "    rm -f \"$dir/$f\"\n"
                             "  done\n"
                             "fi\n"
                             "true\n")
            && ok;
    return ok;
}
