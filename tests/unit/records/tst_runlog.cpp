// Run logs: the file's bytes, and that no run log ever replaces another.
#include "app/menunames.h"
#include "records/storage.h"
#include "records/writer.h"
#include "support/consolecapture.h"
#include "support/sandboxroot.h"

#include <QDate>
#include <QtTest>

using Rows = std::vector<std::vector<uint32_t>>;
Q_DECLARE_METATYPE(Rows)

namespace {
const QString kProductionDir = "/usr/share/vemla/logs/production/";
const std::string kRunLog = "/usr/share/vemla/logs/production/42_20240131_142501.log";
const QByteArray kTitles = "Run_Time \tVessel_Pressure \tChannel_1_Pressure \t"
                           "Channel_2_Pressure \tChannel_3_Pressure \t\n";
} // namespace

class TestRunLog : public QObject
{
    Q_OBJECT

private slots:
    void createLogFile_writesHeaderAndRowsExactly_data();
    void createLogFile_writesHeaderAndRowsExactly();
    void createLogFile_existingOrUnwritable_leavesDiskAndSaysSo();
};

void TestRunLog::createLogFile_writesHeaderAndRowsExactly_data()
{
    QTest::addColumn<int>("initial");
    QTest::addColumn<int>("final");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QByteArray>("dataLines");

    QTest::newRow("no samples: header only") << 21 << 24 << Rows {} << QByteArray();
    QTest::newRow("full rows, 32-bit values unsigned")
            << 21 << 24 << Rows {{0, 5400, 1000, 1001, 999}, {25, 5390, 1200, 1190, 4294967295u}}
            << QByteArray("0\t\t\t5400\t\t\t1000\t\t\t1001\t\t\t999\t\t\t\n"
                          "25\t\t\t5390\t\t\t1200\t\t\t1190\t\t\t4294967295\t\t\t\n");
    QTest::newRow("a line that never answered: short row, not padded")
            << 21 << 24 << Rows {{50, 5380, 1300, 1290}}
            << QByteArray("50\t\t\t5380\t\t\t1300\t\t\t1290\t\t\t\n");
    QTest::newRow("below freezing") << -3 << 0 << Rows {} << QByteArray();
}

void TestRunLog::createLogFile_writesHeaderAndRowsExactly()
{
    QFETCH(int, initial);
    QFETCH(int, final);
    QFETCH(Rows, rows);
    QFETCH(QByteArray, dataLines);
    SandboxRoot sandbox;
    QDir().mkpath(sandbox.file(kProductionDir));
    ConsoleCapture console;

    Storage storage;
    Writer writer(menuName);
    std::vector<uint32_t> runRow;
    for (const auto &row : rows) {
        runRow = row;
        storage.addRow(&runRow);
        // The read cycle empties its row right after handing it over.
        runRow.clear();
        storage.addRow(nullptr);
    }
    writer.setTemperature(initial, false);
    writer.setTemperature(final, true);
    writer.createLogFile(kRunLog, storage);

    // Line 2 holds the time of writing, "%d.%m.%Y - %X": the date, then the locale's time.
    QByteArray file = sandbox.read(QString::fromStdString(kRunLog));
    const QByteArray created
            = "Created:\t" + QDate::currentDate().toString("dd.MM.yyyy").toLatin1() + " - ";
    const int timeStart = file.indexOf("\n" + created) + 1 + created.size();
    QVERIFY2(timeStart > created.size(), file.constData());
    file.remove(timeStart, file.indexOf('\n', timeStart) - timeStart);
    QCOMPARE(file,
             "File:\t\t" + QByteArray::fromStdString(kRunLog) + "\n" + created + "\n"
                     + "Initial temperature:\t" + QByteArray::number(initial) + " deg Celsius\n"
                     + "Final temperature:\t" + QByteArray::number(final) + " deg Celsius\n"
                     + "All pressure values are in millibars and the time is in milliseconds.\n"
                     + kTitles + dataLines);
    QVERIFY(console.contains("Creating log file: " + kRunLog));
    QVERIFY(console.contains("Storage has " + std::to_string(rows.size()) + " rows"));
}

void TestRunLog::createLogFile_existingOrUnwritable_leavesDiskAndSaysSo()
{
    SandboxRoot sandbox;
    Storage storage;
    const std::vector<uint32_t> row {0, 5400, 1000, 1000, 1000};
    storage.addRow(&row);
    Writer writer(menuName);

    // The production directory belongs to the installed system and is not laid by the writer.
    {
        ConsoleCapture console;
        writer.createLogFile(kRunLog, storage);
        QVERIFY(!sandbox.exists(kProductionDir));
        QVERIFY(console.contains("Unable to create log file: " + kRunLog));
    }
    // Same production ID in the same second: the first run's log stays as it was.
    sandbox.write(QString::fromStdString(kRunLog), "first run\n");
    {
        ConsoleCapture console;
        writer.createLogFile(kRunLog, storage);
        QCOMPARE(sandbox.read(QString::fromStdString(kRunLog)), QByteArray("first run\n"));
        QVERIFY(console.contains("Log file already exists: " + kRunLog));
        QVERIFY(!console.contains("Creating log file: " + kRunLog));
    }
    // A full disk: the log being written is dropped, nothing truncated takes the final name.
    const QString fullRunLog = "/usr/share/vemla/logs/production/2_20240101_120000.log";
    const QString partial = "/usr/share/vemla/logs/production/.2_20240101_120000.log.part";
    QVERIFY(QFile::link("/dev/full", sandbox.file(partial)));
    {
        ConsoleCapture console;
        writer.createLogFile(fullRunLog.toStdString(), storage);
        QVERIFY(console.contains("Unable to write log file: " + fullRunLog.toStdString()));
    }
    QVERIFY(!sandbox.exists(fullRunLog));
    QVERIFY(!QFileInfo(sandbox.file(partial)).isSymLink());
}

QTEST_GUILESS_MAIN(TestRunLog)
#include "tst_runlog.moc"
