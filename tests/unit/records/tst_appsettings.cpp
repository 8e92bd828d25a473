// The settings store on an ini file in a sandbox root.
#include "records/appsettings.h"
#include "support/commandrecorder.h"
#include "support/sandboxroot.h"

#include <QSettings>
#include <QtTest>

namespace {
const QString kIni = "/usr/share/vemla/vemla.ini";
const QString kStick = "/media/sda1";
const QString kBackup = "/media/sda1/vemla-backup.ini";
} // namespace

class TestAppSettings : public QObject
{
    Q_OBJECT

private:
    QVariant stored(const SandboxRoot &root, const QString &file, const QString &key)
    {
        return QSettings(root.file(file), QSettings::IniFormat).value(key);
    }

private slots:
    void missingFile_loadsDefaults();
    void storedValues_cutOrKeptWhole_data();
    void storedValues_cutOrKeptWhole();
    void invalidSelectors_rejectedAndNothingWritten();
    void saves_areSeenByTheNextObject();
    void passwords_knownUsersOnlyAndOverridable();
    void backup_copiesOnlyTheSixKeysPresent();
    void backup_reportsMissingInputs();
    void backup_rootWithShellCharacters_oldBackupRemovedAsOneWord();
    void restore_takesOnlyTheSixKeys();
    void restore_reportsMissingInputs();
};

void TestAppSettings::missingFile_loadsDefaults()
{
    SandboxRoot root;
    AppSettings settings;
    QCOMPARE(settings.loadDrawerSetting(AppSettings::DRAWER_SAFETY_THRESHOLD), uint16_t(1500));
    QCOMPARE(settings.loadDrawerSetting(AppSettings::DRAWER_OPENING_TIME), uint16_t(5500));
    QCOMPARE(settings.loadDrawerSetting(AppSettings::DRAWER_STATE), uint16_t(0));
    QCOMPARE(settings.loadSystemSetting(AppSettings::SYSTEM_ERROR), uint16_t(0));
    QCOMPARE(settings.loadSystemSetting(AppSettings::DATE_FORMAT), uint16_t(0));
    QCOMPARE(settings.loadProductionSetting(AppSettings::PRODUCTION_ID), 0);
    QCOMPARE(settings.getPassword("admin"), QString("24680"));
    QVERIFY(!root.exists(kIni)); // reading never creates the file
}

void TestAppSettings::storedValues_cutOrKeptWhole_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("threshold");
    QTest::addColumn<int>("productionId");
    QTest::addColumn<int>("error");
    QTest::newRow("beyond 16 bits") << QByteArray("[drawer]\nsafety_threshold=70000\n"
                                                  "[production]\nid=70000\n")
                                    << 4464 << 70000 << 0;
    QTest::newRow("65536 wraps to 0")
            << QByteArray("[drawer]\nsafety_threshold=65536\n") << 0 << 0 << 0;
    QTest::newRow("garbage reads 0") << QByteArray("[drawer]\nsafety_threshold=lots\n"
                                                   "[production]\nid=x7\n[system]\nerror=?\n")
                                     << 0 << 0 << 0;
    QTest::newRow("missing section keeps default")
            << QByteArray("[system]\nerror=1\n") << 1500 << 0 << 1;
    QTest::newRow("not an ini file")
            << QByteArray("\x01\x02\xff garbage ===\n[[[") << 1500 << 0 << 0;
}

void TestAppSettings::storedValues_cutOrKeptWhole()
{
    QFETCH(QByteArray, ini);
    SandboxRoot root;
    root.write(kIni, ini);
    AppSettings settings;
    QTEST(int(settings.loadDrawerSetting(AppSettings::DRAWER_SAFETY_THRESHOLD)), "threshold");
    QTEST(settings.loadProductionSetting(AppSettings::PRODUCTION_ID), "productionId");
    QTEST(int(settings.loadSystemSetting(AppSettings::SYSTEM_ERROR)), "error");
}

void TestAppSettings::invalidSelectors_rejectedAndNothingWritten()
{
    SandboxRoot root;
    AppSettings settings;
    QTest::ignoreMessage(QtDebugMsg, "Invalid parameter");
    QCOMPARE(settings.loadDrawerSetting(AppSettings::DRAWER_UNDEFINED), uint16_t(65535));
    QTest::ignoreMessage(QtDebugMsg, "Invalid parameter");
    QCOMPARE(settings.saveSystemSetting(AppSettings::SYSTEM_UNDEFINED, 1), -1);
    QTest::ignoreMessage(QtDebugMsg, "Invalid parameter");
    QCOMPARE(settings.saveDrawerSetting(AppSettings::DrawerSetting(7), 1), -1);
    QTest::ignoreMessage(QtDebugMsg, "Invalid parameter");
    QCOMPARE(settings.saveProductionSetting(AppSettings::PRODUCTION_UNDEFINED, 3), -1);
    QTest::ignoreMessage(QtDebugMsg, "Invalid parameter");
    QCOMPARE(settings.loadProductionSetting(AppSettings::ProductionSetting(4)), 65535);
    QTest::ignoreMessage(QtDebugMsg, "Invalid parameter");
    QCOMPARE(settings.loadSystemSetting(AppSettings::SystemSetting(-1)), uint16_t(65535));
    QVERIFY(!root.exists(kIni));
}

void TestAppSettings::saves_areSeenByTheNextObject()
{
    SandboxRoot root;
    QCOMPARE(AppSettings().saveSystemSetting(AppSettings::SYSTEM_ERROR, 1), 0);
    QCOMPARE(AppSettings().saveProductionSetting(AppSettings::PRODUCTION_ID, 123456), 0);
    QCOMPARE(AppSettings().saveDrawerSetting(AppSettings::DRAWER_OPENING_TIME, 6100), 0);
    // The file is complete once the call returns, before any "sync" of the caller.
    QCOMPARE(stored(root, kIni, "system/error").toInt(), 1);
    QCOMPARE(stored(root, kIni, "production/id").toInt(), 123456);
    QCOMPARE(AppSettings().loadSystemSetting(AppSettings::SYSTEM_ERROR), uint16_t(1));
    QCOMPARE(AppSettings().loadProductionSetting(AppSettings::PRODUCTION_ID), 123456);
    QCOMPARE(AppSettings().loadDrawerSetting(AppSettings::DRAWER_OPENING_TIME), uint16_t(6100));
}

void TestAppSettings::passwords_knownUsersOnlyAndOverridable()
{
    SandboxRoot root;
    AppSettings settings;
    QCOMPARE(settings.getPassword("service"), QString("5830264917"));
    QCOMPARE(settings.getPassword("calibration"), QString("7716042385"));
    QTest::ignoreMessage(QtDebugMsg, "Invalid user");
    QCOMPARE(settings.getPassword("Admin"), QString());
    QTest::ignoreMessage(QtDebugMsg, "Invalid user");
    QCOMPARE(settings.getPassword(""), QString());

    QTest::ignoreMessage(QtDebugMsg, "New Admin password saved");
    settings.setAdminPassword("0042");
    QCOMPARE(settings.getPassword("admin"), QString("0042")); // leading zero kept: a string
    root.write(kIni, root.read(kIni) + "[password]\nservice=111\n");
    QCOMPARE(settings.getPassword("service"), QString("111"));
}

void TestAppSettings::backup_copiesOnlyTheSixKeysPresent()
{
    SandboxRoot root;
    CommandRecorder commands;
    root.write(kIni,
               "[drawer]\nsafety_threshold=2450\ndrawer_position=2\n"
               "[password]\nadmin=999\n[production]\nid=17\ndmda_run=3\n"
               "[system]\nerror=1\nsystem_log=1\ndate_format=1\n");
    // An old backup with a key the settings file no longer has.
    root.write(kBackup, "[drawer]\nopening_time=4000\n[password]\nadmin=1\n");

    QCOMPARE(AppSettings().backupSettings(kStick), 0);
    QCOMPARE(commands.commands(),
             (std::vector<std::string> {"rm " + root.file(kBackup).toStdString(), "sync"}));
    QSettings backup(root.file(kBackup), QSettings::IniFormat);
    QStringList keys = backup.allKeys();
    keys.sort();
    QCOMPARE(keys,
             (QStringList {"drawer/safety_threshold", "production/dmda_run", "production/id",
                           "system/date_format"}));
    QCOMPARE(backup.value("drawer/safety_threshold").toInt(), 2450);
    QCOMPARE(backup.value("production/id").toInt(), 17);
}

void TestAppSettings::backup_reportsMissingInputs()
{
    SandboxRoot root;
    CommandRecorder commands;
    QTest::ignoreMessage(QtDebugMsg, "Failed to save settings backup: no settings found");
    QCOMPARE(AppSettings().backupSettings(kStick), -1);

    root.write(kIni, "[production]\nid=1\n");
    QTest::ignoreMessage(QtDebugMsg,
                         "Failed to save settings backup: destination directory doesn't exist");
    QCOMPARE(AppSettings().backupSettings(kStick), -2);
    root.write("/media/file", "x"); // a file is not a directory
    QCOMPARE(AppSettings().backupSettings("/media/file"), -2);

    root.write(kBackup, "[production]\nid=5\n");
    commands.setResult(-1);
    QTest::ignoreMessage(QtDebugMsg, "Failed to remove old vemla-backup.ini");
    QCOMPARE(AppSettings().backupSettings(kStick), -3);
    QCOMPARE(stored(root, kBackup, "production/id").toInt(), 5); // left as it was
}

void TestAppSettings::backup_rootWithShellCharacters_oldBackupRemovedAsOneWord()
{
    SandboxRoot root("vemla root $(touch injected); x-XXXXXX");
    CommandRecorder commands;
    commands.setPassThrough(true); // the real shell reads the command
    root.write(kIni, "[production]\nid=17\n");
    root.write(kBackup, "[production]\nid=5\nstale=1\n");
    const QString before = QDir::currentPath();
    QDir::setCurrent(root.root());
    const int result = AppSettings().backupSettings(kStick);
    QDir::setCurrent(before);
    QCOMPARE(result, 0);
    QCOMPARE(commands.commands().front().rfind("rm '", 0), 0u);
    QVERIFY(!root.exists("/injected"));
    QCOMPARE(stored(root, kBackup, "production/id").toInt(), 17);
    QVERIFY(!QSettings(root.file(kBackup), QSettings::IniFormat).contains("stale"));
}

void TestAppSettings::restore_takesOnlyTheSixKeys()
{
    SandboxRoot root;
    root.write(kIni,
               "[drawer]\nsafety_threshold=1500\ndrawer_position=0\n[system]\nerror=0\n"
               "[production]\nid=40\n");
    root.write(kBackup,
               "[drawer]\nsafety_threshold=2000\ndrawer_position=2\nopening_time=6000\n"
               "[password]\nadmin=1\nservice=2\ncalibration=3\n"
               "[system]\nerror=1\ndate_format=1\n[production]\ndpcr_run=9\n"
               "[other]\nkey=1\n");

    QCOMPARE(AppSettings().restoreSettings(kStick), 0);
    AppSettings settings;
    QCOMPARE(settings.loadDrawerSetting(AppSettings::DRAWER_SAFETY_THRESHOLD), uint16_t(2000));
    QCOMPARE(settings.loadDrawerSetting(AppSettings::DRAWER_OPENING_TIME), uint16_t(6000));
    QCOMPARE(settings.loadSystemSetting(AppSettings::DATE_FORMAT), uint16_t(1));
    QCOMPARE(settings.loadProductionSetting(AppSettings::PRODUCTION_DPCR_RUN), 9);
    QCOMPARE(settings.loadProductionSetting(AppSettings::PRODUCTION_ID), 40); // only here: kept
    // What no backup ever holds is not taken from a stick.
    QCOMPARE(settings.getPassword("admin"), QString("24680"));
    QCOMPARE(settings.getPassword("service"), QString("5830264917"));
    QCOMPARE(settings.getPassword("calibration"), QString("7716042385"));
    QCOMPARE(settings.loadSystemSetting(AppSettings::SYSTEM_ERROR), uint16_t(0));
    QCOMPARE(settings.loadDrawerSetting(AppSettings::DRAWER_STATE), uint16_t(0));
    QVERIFY(!stored(root, kIni, "other/key").isValid());
}

void TestAppSettings::restore_reportsMissingInputs()
{
    SandboxRoot root;
    root.write(kIni, "[production]\nid=40\n");
    QTest::ignoreMessage(QtDebugMsg,
                         "Failed to restore settings backup: source directory doesn't exist");
    QCOMPARE(AppSettings().restoreSettings(kStick), -2);
    root.write("/media/sda1/other.ini", "x");
    QTest::ignoreMessage(QtDebugMsg, "Failed to restore settings backup: no backup found");
    QCOMPARE(AppSettings().restoreSettings(kStick), -1);
    QCOMPARE(root.read(kIni), QByteArray("[production]\nid=40\n"));
}

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
