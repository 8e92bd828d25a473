#pragma once

#include <cstdint>

#include <QObject>
#include <QString>

class QSettings;

// The gateway to the instrument's persistent settings in /usr/share/vemla/vemla.ini. It keeps
// nothing in memory: every call opens the file afresh and closes it before returning, so an
// object may be created wherever a setting is needed and what one object writes is seen by the
// next. Callers that need a value on the medium at once run "sync" after the call.
class AppSettings : public QObject
{
    Q_OBJECT

public:
    // A fixed underlying type: a selector from outside the table is a value of the type that
    // the loads and saves refuse, not undefined behaviour.
    enum DrawerSetting : int {
        DRAWER_UNDEFINED = 0,
        DRAWER_SAFETY_THRESHOLD = 1,
        DRAWER_OPENING_TIME = 2,
        DRAWER_STATE = 3
    };
    Q_ENUM(DrawerSetting)

    enum SystemSetting : int {
        SYSTEM_UNDEFINED = 0,
        SYSTEM_ERROR = 1,
        SYSTEM_LOG = 2,
        DATE_FORMAT = 3
    };
    Q_ENUM(SystemSetting)

    enum ProductionSetting : int {
        PRODUCTION_UNDEFINED = 0,
        PRODUCTION_ID = 1,
        PRODUCTION_DPCR_RUN = 2,
        PRODUCTION_DMDA_RUN = 3
    };
    Q_ENUM(ProductionSetting)

    // Returned by the 16-bit loads for a selector outside the tables.
    static constexpr uint16_t kInvalidSetting = 0xFFFF;

    explicit AppSettings(QObject *parent = nullptr);

    // 0 after writing, -1 for an invalid selector (nothing is written).
    int saveSystemSetting(SystemSetting setting, uint16_t value);
    uint16_t loadSystemSetting(SystemSetting setting);
    int saveDrawerSetting(DrawerSetting setting, uint16_t value);
    uint16_t loadDrawerSetting(DrawerSetting setting);
    int saveProductionSetting(ProductionSetting setting, int value);
    int loadProductionSetting(ProductionSetting setting);

    // "admin", "calibration" or "service" (case-sensitive); empty for anyone else.
    QString getPassword(const QString &user);
    void setAdminPassword(const QString &password);

    // directory is an instrument path (the stick's mount point, "/media/sda1").
    // Backup: 0, -1 no settings file, -2 no such directory, -3 old backup not removable.
    int backupSettings(QString directory);
    // Restore: 0, -1 no backup file, -2 no such directory.
    int restoreSettings(QString directory);

private:
    const QString settingsFilePath;
    const QString backupFileName;
    const QString servicePassword;
    const QString calibrationPassword;
    const QString defaultAdminPassword;
};
