// The settings file and a settings backup on a stick, both of any content: every setting loads,
// restoring the backup never changes what a stick must not set (passwords, the pending error,
// the drawer position, the journal flag), and every setting it does change holds a value an
// instrument can hold.
#include "fuzzsupport.h"

#include "records/appsettings.h"
#include "records/backupvalues.h"

#include <QDir>
#include <QSettings>

namespace {

constexpr const char *kSettingsPath = "/usr/share/vemla/vemla.ini";
constexpr const char *kBackupPath = "/media/sda1/vemla-backup.ini";
constexpr const char *kMountPoint = "/media/sda1";

struct Protected
{
    QString admin, calibration, service;
    uint16_t error, journal, position;
    bool operator==(const Protected &o) const
    {
        return admin == o.admin && calibration == o.calibration && service == o.service
                && error == o.error && journal == o.journal && position == o.position;
    }
};

Protected protectedSettings()
{
    AppSettings settings;
    return {settings.getPassword("admin"),
            settings.getPassword("calibration"),
            settings.getPassword("service"),
            settings.loadSystemSetting(AppSettings::SYSTEM_ERROR),
            settings.loadSystemSetting(AppSettings::SYSTEM_LOG),
            settings.loadDrawerSetting(AppSettings::DRAWER_STATE)};
}

const char *const kBackedUpKeys[]
        = {"drawer/safety_threshold", "drawer/opening_time", "production/id",
           "production/dpcr_run",     "production/dmda_run", "system/date_format"};

QMap<QString, QVariant> backedUpValues(const QString &file)
{
    QSettings settings(file, QSettings::IniFormat);
    QMap<QString, QVariant> values;
    for (const char *key : kBackedUpKeys)
        values[key] = settings.value(key);
    return values;
}

// A changed setting holds what restorable() lets through, measured against the value before.
bool onlyPlausibleChanges(const QMap<QString, QVariant> &before,
                          const QMap<QString, QVariant> &after)
{
    for (const char *key : kBackedUpKeys) {
        if (after[key] == before[key])
            continue;
        const int fallback = QString(key) == "drawer/safety_threshold" ? 1500
                : QString(key) == "drawer/opening_time"                ? 5500
                                                                       : 0;
        const int own = before[key].isValid() ? before[key].toInt() : fallback;
        if (!backupvalues::restorable(key, after[key].toString(), own))
            return false;
    }
    return true;
}

// Rewrites an ini file the way any saved setting does.
void normalise(const QString &file)
{
    QSettings settings(file, QSettings::IniFormat);
    settings.setValue("rewrite", 1);
    settings.remove("rewrite");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Qt keeps parsed ini files by name and trusts its copy while size and time stamp match: a
    // fresh root per input keeps one input's file from standing in for the next one's.
    static unsigned input = 0;
    const QString root = fuzzsupport::sandbox().path() + "/" + QString::number(input++);
    QDir().mkpath(root);
    platform::setRoot(root.toStdString());

    // The first half is the instrument's file, the second the stick's backup.
    const size_t half = size / 2;
    const auto base = fuzzsupport::sandbox().path().toStdString();
    const std::string rootSuffix = root.toStdString().substr(base.size());
    const std::string settingsPath = rootSuffix + kSettingsPath;
    const std::string backupPath = rootSuffix + kBackupPath;
    fuzzsupport::writeFile(settingsPath.c_str(), data, half);
    fuzzsupport::writeFile(backupPath.c_str(), data + half, size - half);

    AppSettings settings;
    settings.loadDrawerSetting(AppSettings::DRAWER_SAFETY_THRESHOLD);
    settings.loadDrawerSetting(AppSettings::DRAWER_OPENING_TIME);
    settings.loadProductionSetting(AppSettings::PRODUCTION_ID);
    settings.loadProductionSetting(AppSettings::PRODUCTION_DPCR_RUN);
    settings.loadProductionSetting(AppSettings::PRODUCTION_DMDA_RUN);
    settings.loadSystemSetting(AppSettings::DATE_FORMAT);

    // Qt reads a damaged file in its own way (a key "[General] password%2Fadmin" is not the
    // admin password) and writes it back in canonical form (then it is): any saved setting
    // does that rewrite, so the instrument's file is compared after one of its own.
    normalise(platform::path(QString(kSettingsPath)));
    const Protected before = protectedSettings();
    const QString settingsFile = platform::path(QString(kSettingsPath));
    const QMap<QString, QVariant> valuesBefore = backedUpValues(settingsFile);
    if (settings.restoreSettings(kMountPoint) != 0)
        fuzzsupport::fail("a present backup was not restored");
    if (!(protectedSettings() == before))
        fuzzsupport::fail("a backup changed a setting that stays with the instrument");
    if (!onlyPlausibleChanges(valuesBefore, backedUpValues(settingsFile)))
        fuzzsupport::fail("a backup set a value no instrument holds");

    QDir(root).removeRecursively();
    platform::setRoot(fuzzsupport::sandbox().path().toStdString());
    return 0;
}
