#include "appsettings.h"

#include "backupvalues.h"
#include "platform/commands.h"
#include "platform/platform.h"
#include "stickfile.h"

#include <QDebug>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

namespace {

// One ini key behind a selector: its group, its name and the value read when it is absent.
struct SettingKey
{
    const char *group;
    const char *name;
    int defaultValue;
};

// Factory motor current limit (raw ADC counts) and drawer travel time (ms) of an uncalibrated
// drawer.
constexpr int kDefaultSafetyThreshold = 1500;
constexpr int kDefaultOpeningTime = 5500;

bool systemKey(AppSettings::SystemSetting setting, SettingKey &key)
{
    switch (setting) {
    case AppSettings::SYSTEM_ERROR:
        key = {"system", "error", 0};
        return true;
    case AppSettings::SYSTEM_LOG:
        key = {"system", "system_log", 0};
        return true;
    case AppSettings::DATE_FORMAT:
        key = {"system", "date_format", 0};
        return true;
    default:
        return false;
    }
}

bool drawerKey(AppSettings::DrawerSetting setting, SettingKey &key)
{
    switch (setting) {
    case AppSettings::DRAWER_SAFETY_THRESHOLD:
        key = {"drawer", "safety_threshold", kDefaultSafetyThreshold};
        return true;
    case AppSettings::DRAWER_OPENING_TIME:
        key = {"drawer", "opening_time", kDefaultOpeningTime};
        return true;
    case AppSettings::DRAWER_STATE:
        key = {"drawer", "drawer_position", 0};
        return true;
    default:
        return false;
    }
}

bool productionKey(AppSettings::ProductionSetting setting, SettingKey &key)
{
    switch (setting) {
    case AppSettings::PRODUCTION_ID:
        key = {"production", "id", 0};
        return true;
    case AppSettings::PRODUCTION_DPCR_RUN:
        key = {"production", "dpcr_run", 0};
        return true;
    case AppSettings::PRODUCTION_DMDA_RUN:
        key = {"production", "dmda_run", 0};
        return true;
    default:
        return false;
    }
}

// The only keys a backup carries. Passwords, access codes, the pending-error flag, the journal
// flag and the drawer position stay with the instrument, in both directions.
const QStringList &backedUpKeys()
{
    static const QStringList keys
            = {"drawer/safety_threshold", "drawer/opening_time", "production/id",
               "production/dpcr_run",     "production/dmda_run", "system/date_format"};
    return keys;
}

QString resolved(const QString &instrumentPath)
{
    return platform::path(instrumentPath);
}

// The QSettings object lives only inside these calls: its destruction writes the file, which
// must have happened before any caller runs "sync".
void writeKey(const QString &file, const SettingKey &key, const QVariant &value)
{
    QSettings settings(resolved(file), QSettings::IniFormat);
    settings.beginGroup(key.group);
    settings.setValue(key.name, value);
    settings.endGroup();
}

int readKey(const QString &file, const SettingKey &key)
{
    QSettings settings(resolved(file), QSettings::IniFormat);
    settings.beginGroup(key.group);
    // Text that is not a number converts to 0, which is what a damaged entry reads as.
    const int value = settings.value(key.name, key.defaultValue).toInt();
    settings.endGroup();
    return value;
}

bool isDirectory(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && info.isDir();
}

// A backup holds six short lines; anything much larger is no backup, and reading it would keep
// the screen waiting.
constexpr qint64 kLargestBackupBytes = 64 * 1024;

void writeBackup(const QString &settingsFile, const QString &backupFile)
{
    QSettings from(settingsFile, QSettings::IniFormat);
    QSettings to(backupFile, QSettings::IniFormat);
    // rm may have exited non-zero and left the old backup: it must not lend it stale keys.
    to.clear();
    for (const QString &key : from.allKeys()) {
        if (backedUpKeys().contains(key))
            to.setValue(key, from.value(key));
    }
}

// The instrument's own value of a backed-up key, with the default a load would give.
int instrumentValue(const QSettings &settings, const QString &key)
{
    const int fallback = key == "drawer/safety_threshold" ? kDefaultSafetyThreshold
            : key == "drawer/opening_time"                ? kDefaultOpeningTime
                                                          : 0;
    return settings.value(key, fallback).toInt();
}

void restoreBackup(const QString &backupFile, const QString &settingsFile)
{
    QSettings from(backupFile, QSettings::IniFormat);
    QSettings to(settingsFile, QSettings::IniFormat);
    for (const QString &key : from.allKeys()) {
        if (!backedUpKeys().contains(key))
            continue;
        const QString text = from.value(key).toString();
        const int own = instrumentValue(to, key);
        if (const auto value = backupvalues::restorable(key, text, own)) {
            to.setValue(key, *value);
        } else {
            qDebug().noquote() << QString("Settings: Refused '%1' from the backup: %2, kept %3")
                                          .arg(key.section('/', 1), text)
                                          .arg(own);
        }
    }
}

} // namespace

AppSettings::AppSettings(QObject *parent)
    : QObject(parent),
      settingsFilePath("/usr/share/vemla/vemla.ini"),
      backupFileName("/vemla-backup.ini"),
      servicePassword("5830264917"),
      calibrationPassword("7716042385"),
      defaultAdminPassword("24680")
{ }

int AppSettings::saveSystemSetting(SystemSetting setting, uint16_t value)
{
    SettingKey key;
    if (!systemKey(setting, key)) {
        qDebug() << "Invalid parameter";
        return -1;
    }
    writeKey(settingsFilePath, key, int(value));
    qDebug().noquote() << QString("Settings: Saved '%1': ").arg(key.name) << value;
    return 0;
}

uint16_t AppSettings::loadSystemSetting(SystemSetting setting)
{
    SettingKey key;
    if (!systemKey(setting, key)) {
        qDebug() << "Invalid parameter";
        return kInvalidSetting;
    }
    const auto value = static_cast<uint16_t>(readKey(settingsFilePath, key));
    qDebug().noquote() << QString("Settings: Loaded '%1': ").arg(key.name) << value;
    return value;
}

int AppSettings::saveDrawerSetting(DrawerSetting setting, uint16_t value)
{
    SettingKey key;
    if (!drawerKey(setting, key)) {
        qDebug() << "Invalid parameter";
        return -1;
    }
    writeKey(settingsFilePath, key, int(value));
    if (setting == DRAWER_STATE) {
        const char *position = value == 0 ? "CLOSE (0)"
                : value == 1              ? "INTERMEDIATE (1)"
                                          : "OPEN (2)";
        qDebug().noquote() << "Settings: Saved 'drawer_position': " << position;
    } else {
        qDebug().noquote() << QString("Settings: Saved '%1': ").arg(key.name) << value;
    }
    return 0;
}

uint16_t AppSettings::loadDrawerSetting(DrawerSetting setting)
{
    SettingKey key;
    if (!drawerKey(setting, key)) {
        qDebug() << "Invalid parameter";
        return kInvalidSetting;
    }
    const auto value = static_cast<uint16_t>(readKey(settingsFilePath, key));
    qDebug().noquote() << QString("Settings: Loaded '%1': ").arg(key.name) << value;
    return value;
}

int AppSettings::saveProductionSetting(ProductionSetting setting, int value)
{
    SettingKey key;
    if (!productionKey(setting, key)) {
        qDebug() << "Invalid parameter";
        return -1;
    }
    writeKey(settingsFilePath, key, value);
    qDebug().noquote() << QString("Settings: Saved '%1': ").arg(key.name) << value;
    return 0;
}

int AppSettings::loadProductionSetting(ProductionSetting setting)
{
    SettingKey key;
    if (!productionKey(setting, key)) {
        qDebug() << "Invalid parameter";
        return kInvalidSetting;
    }
    const int value = readKey(settingsFilePath, key);
    qDebug().noquote() << QString("Settings: Loaded '%1': ").arg(key.name) << value;
    return value;
}

QString AppSettings::getPassword(const QString &user)
{
    QString fallback;
    if (user == "admin")
        fallback = defaultAdminPassword;
    else if (user == "calibration")
        fallback = calibrationPassword;
    else if (user == "service")
        fallback = servicePassword;
    else {
        qDebug() << "Invalid user";
        return QString();
    }
    QSettings settings(resolved(settingsFilePath), QSettings::IniFormat);
    settings.beginGroup("password");
    const QString password = settings.value(user, fallback).toString();
    settings.endGroup();
    return password;
}

void AppSettings::setAdminPassword(const QString &password)
{
    {
        QSettings settings(resolved(settingsFilePath), QSettings::IniFormat);
        settings.beginGroup("password");
        settings.setValue("admin", password);
        settings.endGroup();
    }
    qDebug() << "New Admin password saved";
}

int AppSettings::backupSettings(QString directory)
{
    const QString settingsFile = resolved(settingsFilePath);
    if (!QFileInfo::exists(settingsFile)) {
        qDebug() << "Failed to save settings backup: no settings found";
        return -1;
    }
    const QString destination = resolved(directory);
    if (!isDirectory(destination)) {
        qDebug() << "Failed to save settings backup: destination directory doesn't exist";
        return -2;
    }
    const QString backupFile = destination + backupFileName;
    // Looked at without following a link: a dangling one on the stick would otherwise pass as
    // no backup, and the settings object would write wherever it points.
    if (stickfile::kindAt(backupFile) != stickfile::Kind::Nothing) {
        // Only a failure of the shell itself counts: rm's own exit status is not looked at.
        const int status = platform::removeFile(backupFile.toStdString());
        platform::sync();
        const stickfile::Kind left = stickfile::kindAt(backupFile);
        if (status < 0 || left == stickfile::Kind::Other || left == stickfile::Kind::Folder) {
            qDebug() << "Failed to remove old vemla-backup.ini";
            return -3;
        }
        qDebug() << "Removed old vemla-backup.ini";
    }
    writeBackup(settingsFile, backupFile);
    qDebug().noquote() << "Settings backup saved to:" << directory + backupFileName;
    return 0;
}

int AppSettings::restoreSettings(QString directory)
{
    const QString source = resolved(directory);
    if (!isDirectory(source)) {
        qDebug() << "Failed to restore settings backup: source directory doesn't exist";
        return -2;
    }
    const QString backupFile = source + backupFileName;
    qint64 size = 0;
    const stickfile::Kind kind = stickfile::kindAt(backupFile, &size);
    if (kind == stickfile::Kind::Nothing) {
        qDebug() << "Failed to restore settings backup: no backup found";
        return -1;
    }
    // A link, FIFO or device node would have the instrument read what the stick points at (or
    // wait for ever); a huge file would hold the screen while it is read.
    if (kind != stickfile::Kind::PlainFile || size > kLargestBackupBytes) {
        qDebug() << "Failed to restore settings backup: not a plain backup file";
        return -1;
    }
    // A stick is untrusted: only what a backup writes is taken back, so no stick can set the
    // passwords, the access codes, the pending-error flag or the drawer position, and each
    // value only as an instrument can hold it.
    restoreBackup(backupFile, resolved(settingsFilePath));
    qDebug() << "Settings restored from backup";
    return 0;
}
