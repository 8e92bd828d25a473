// The error log: record format, appends that stay whole on a damaged disk, and the read-back
// of the newest records from the end of a log of any size.
#include "app/menunames.h"
#include "records/writer.h"
#include "support/consolecapture.h"
#include "support/sandboxroot.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QtTest>

namespace {
const std::string kLog = "/usr/share/vemla/logs/errors.log";
const QString kLogQ = QString::fromStdString(kLog);
const QByteArray kHeader = "time|last menu|code|error|filename|software|run id|run log|"
                           "vessel (mbar)|line 1 (mbar)|line 2 (mbar)|line 3 (mbar)|active lanes\n";
const QString kTimeField = "^\\d{8}-\\d{6}\\|";

QMap<QString, bool> lanes(const QString &digits)
{
    QMap<QString, bool> selection;
    for (int lane = 0; lane < digits.size(); ++lane)
        selection.insert(QString("lane_%1").arg(lane + 1), digits.at(lane) == '1');
    return selection;
}

ErrorLogEntry entryOf(int menu, int code, uint16_t runId, const QMap<QString, bool> *selection)
{
    ErrorLogEntry entry;
    entry.lastMenu = menu;
    entry.errorCode = code;
    entry.software = "1.3.0";
    entry.runId = runId;
    entry.runLog = "/usr/share/vemla/logs/production/7_20240131_142501.log";
    entry.vesselPressure = 5210;
    entry.linePressure = {1000, 2000, 65535};
    entry.activeLanes = selection;
    return entry;
}

// A record line as the log holds it, for the read-back tests; 0 is one of a run whose log
// name holds "time".
QByteArray record(int n)
{
    if (n == 0)
        return "20240131-142502|Running menu|8|Pressure regulation failure|"
               "/usr/share/vemla/logs/errors.log|1.3.0|3|/logs/runtime.log|0|0|0|0|11000000\n";
    return "20240131-1425" + QByteArray::number(n).rightJustified(2, '0') + "|Home menu|7|"
            + "System pressure leakage|/usr/share/vemla/logs/errors.log|1.3.0\n";
}
} // namespace

class TestErrorLog : public QObject
{
    Q_OBJECT

private slots:
    void writeErrorLog_formatsRecord_data();
    void writeErrorLog_formatsRecord();
    void writeErrorLog_damagedDisk_keepsEveryRecordWhole_data();
    void writeErrorLog_damagedDisk_keepsEveryRecordWhole();
    void readLatestErrors_newestFirst_data();
    void readLatestErrors_newestFirst();
    void readLatestErrors_hugeLog_readsOnlyItsEnd();
};

void TestErrorLog::writeErrorLog_formatsRecord_data()
{
    QTest::addColumn<int>("menu");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("runId");
    QTest::addColumn<QString>("laneDigits"); // empty: no lane map
    QTest::addColumn<QByteArray>("afterTime");
    QTest::addColumn<QString>("message");

    const QByteArray prefix = "/usr/share/vemla/logs/errors.log|1.3.0";
    const QByteArray run = "|7|/usr/share/vemla/logs/production/7_20240131_142501.log|5210|1000|"
                           "2000|65535|";
    QTest::newRow("before any run: six fields")
            << 2 << 7 << 0 << "10000000"
            << "Initial pressurizing menu|7|System pressure leakage|" + prefix + "\n"
            << "Logged error: System pressure leakage (code: 7)";
    QTest::newRow("during a run: lanes 1 and 3")
            << 10 << 6 << 7 << "10100000"
            << "Running menu|6|Insufficient system pressure|" + prefix + run + "10100000\n"
            << "Logged error: Insufficient system pressure (code: 6)";
    QTest::newRow("no lane map") << 10 << 8 << 7 << ""
                                 << "Running menu|8|Pressure regulation failure|" + prefix + run
                    + "<NOT FOUND>|\n"
                                 << "Logged error: Pressure regulation failure (code: 8)";
    QTest::newRow("unnamed menu and unknown code")
            << 14 << 42 << 0 << ""
            << "<NOT FOUND>|<NOT FOUND>|<NOT FOUND>|" + prefix + "\n"
            << "Error 42 NOT found";
}

void TestErrorLog::writeErrorLog_formatsRecord()
{
    QFETCH(int, menu);
    QFETCH(int, code);
    QFETCH(int, runId);
    QFETCH(QString, laneDigits);
    QFETCH(QByteArray, afterTime);
    QFETCH(QString, message);
    SandboxRoot sandbox;
    const QMap<QString, bool> selection = lanes(laneDigits);
    const ErrorLogEntry entry
            = entryOf(menu, code, uint16_t(runId), laneDigits.isEmpty() ? nullptr : &selection);
    Writer writer(menuName);
    ConsoleCapture console;

    writer.writeErrorLog(kLog, entry);
    writer.writeErrorLog(kLog, entry);

    const QByteArray file = sandbox.read(kLogQ);
    QVERIFY2(file.startsWith(kHeader), file.constData());
    const QList<QByteArray> records = file.mid(kHeader.size()).split('\n');
    QCOMPARE(records.size(), 3); // two records, the header written once
    for (const QByteArray &line : records.mid(0, 2)) {
        QVERIFY2(QRegularExpression(kTimeField).match(QString::fromLatin1(line)).hasMatch(),
                 line.constData());
        QCOMPARE(line.mid(16) + "\n", afterTime);
    }
    QVERIFY(console.contains(message.toStdString()));
}

void TestErrorLog::writeErrorLog_damagedDisk_keepsEveryRecordWhole_data()
{
    QTest::addColumn<QByteArray>("before"); // "-" no file at all, not even the directory
    QTest::addColumn<QByteArray>("kept"); // what must precede the new record afterwards

    QTest::newRow("directory missing") << QByteArray("-") << kHeader;
    QTest::newRow("empty: header lost with the power") << QByteArray() << kHeader;
    QTest::newRow("last record torn")
            << kHeader + record(1) + "20240131-14" << kHeader + record(1) + "20240131-14\n";
    QTest::newRow("foreign file, no header, kept as it is")
            << QByteArray("\x01\x02 not ours\n") << QByteArray("\x01\x02 not ours\n");
}

void TestErrorLog::writeErrorLog_damagedDisk_keepsEveryRecordWhole()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, kept);
    SandboxRoot sandbox;
    if (before != "-")
        sandbox.write(kLogQ, before);
    Writer writer(menuName);

    writer.writeErrorLog(kLog, entryOf(3, 5, 0, nullptr));

    const QByteArray file = sandbox.read(kLogQ);
    QVERIFY2(file.startsWith(kept), file.constData());
    QCOMPARE(file.mid(kept.size()).mid(15),
             QByteArray(
                     "|Home menu|5|Unexpected shutdown|/usr/share/vemla/logs/errors.log|1.3.0\n"));
    std::vector<std::string> newest;
    QCOMPARE(writer.readLatestErrors(kLog, &newest, 1), 0);
    QCOMPARE(newest.size(), size_t(1));
    QCOMPARE(QByteArray::fromStdString(newest[0]) + "\n", file.mid(kept.size()));
}

void TestErrorLog::readLatestErrors_newestFirst_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<int>>("expected"); // record numbers, newest first (0: `named`)

    QByteArray twenty = kHeader;
    for (int n = 1; n <= 20; ++n)
        twenty += record(n);
    QTest::newRow("header only") << kHeader << 8 << QList<int> {};
    QTest::newRow("three of eight")
            << kHeader + record(1) + record(2) + record(3) << 8 << QList<int> {3, 2, 1};
    QTest::newRow("twenty: newest eight")
            << twenty << 8 << QList<int> {20, 19, 18, 17, 16, 15, 14, 13};
    QTest::newRow("start-up: the newest only") << twenty << 1 << QList<int> {20};
    QTest::newRow("torn last record is not the newest") << kHeader + record(1) + record(2)
                    + "20240131-142503|Home me" << 8 << QList<int> {2, 1};
    // Only the column-title line is passed over, not every record that mentions "time".
    QTest::newRow("record naming a runtime log")
            << kHeader + record(1) + record(0) << 8 << QList<int> {0, 1};
    QTest::newRow("no header, blank lines")
            << record(1) + "\n\n" + record(2) << 8 << QList<int> {2, 1};
}

void TestErrorLog::readLatestErrors_newestFirst()
{
    QFETCH(QByteArray, content);
    QFETCH(int, count);
    QFETCH(QList<int>, expected);
    SandboxRoot sandbox;
    sandbox.write(kLogQ, content);
    Writer writer(menuName);
    std::vector<std::string> lines {"kept"};

    QCOMPARE(writer.readLatestErrors(kLog, &lines, unsigned(count)), 0);

    std::vector<std::string> wanted {"kept"};
    for (const int n : expected)
        wanted.push_back(record(n).chopped(1).toStdString());
    QCOMPARE(lines, wanted);
}

void TestErrorLog::readLatestErrors_hugeLog_readsOnlyItsEnd()
{
    SandboxRoot sandbox;
    Writer writer(menuName);
    std::vector<std::string> lines;
    {
        ConsoleCapture console;
        QCOMPARE(writer.readLatestErrors(kLog, &lines, 8), 1);
        QVERIFY(console.contains("Unable to create error log file"));
    }
    // A directory under the log's name is not a log.
    QVERIFY(QDir().mkpath(sandbox.file(kLogQ)));
    {
        ConsoleCapture console;
        writer.writeErrorLog(kLog, entryOf(3, 1, 0, nullptr));
        QCOMPARE(writer.readLatestErrors(kLog, &lines, 8), 1);
        QVERIFY(console.contains("Unable to create error log file"));
        QVERIFY(!console.contains("Logged error: Drawer is stuck inside (code: 1)"));
    }
    QVERIFY(QDir(sandbox.file(kLogQ)).removeRecursively());
    // Years of records, and a gigabyte of zeros where the medium lost blocks: one "line" no
    // reader could hold. Only the tail may be read.
    sandbox.write(kLogQ, kHeader);
    QFile file(sandbox.file(kLogQ));
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.resize(qint64(1) << 30));
    QVERIFY(file.seek(file.size()));
    file.write("\n");
    for (int n = 1; n <= 20; ++n)
        file.write(record(n));
    file.close();

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(writer.readLatestErrors(kLog, &lines, 8), 0);
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(lines.size(), size_t(8));
    QCOMPARE(lines.front(), record(20).chopped(1).toStdString());
    QCOMPARE(lines.back(), record(13).chopped(1).toStdString());
    // The next record is appended after them, not into the zeros.
    writer.writeErrorLog(kLog, entryOf(3, 1, 0, nullptr));
    lines.clear();
    QCOMPARE(writer.readLatestErrors(kLog, &lines, 2), 0);
    QVERIFY(QString::fromStdString(lines[0]).contains("|1|Drawer is stuck inside|"));
    QCOMPARE(lines[1], record(20).chopped(1).toStdString());
}

QTEST_GUILESS_MAIN(TestErrorLog)
#include "tst_errorlog.moc"
