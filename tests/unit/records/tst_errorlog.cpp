// The error log: record format, appends that stay whole on a damaged disk, and the read-back
// of the newest records from the end of a log of any size.
#include "records/writer.h"
#include "support/consolecapture.h"
#include "support/menustates.h"
#include "support/sandboxroot.h"

#include <QElapsedTimer>
#include <QtTest>

namespace {
const std::string kLog = "/usr/share/vemla/logs/errors.log";
const QString kLogQ = QString::fromStdString(kLog);
const QByteArray kHeader = "time|last menu|code|error|filename|software|run id|run log|"
                           "vessel (mbar)|line 1 (mbar)|line 2 (mbar)|line 3 (mbar)|active lanes\n";
constexpr int kTimeFieldBytes = 15; // "20240131-142501"

ErrorLogEntry entryOf(int menu, int code, uint16_t runId = 0,
                      const QMap<QString, bool> *lanes = nullptr)
{
    return {menu,
            code,
            "1.3.0",
            runId,
            "/logs/production/7_20240131_142501.log",
            5210,
            {1000, 2000, 65535},
            lanes};
}

// A record line as the log holds it; 0 is one of a run whose log name holds "time".
QByteArray record(int n)
{
    if (n == 0)
        return "20240131-142502|Running menu|8|Pressure regulation failure|"
               "/usr/share/vemla/logs/errors.log|1.3.0|3|/logs/runtime.log|0|0|0|0|11000000\n";
    return "20240131-1425" + QByteArray::number(n).rightJustified(2, '0')
            + "|Home menu|7|System pressure leakage|/usr/share/vemla/logs/errors.log|1.3.0\n";
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
    void readLatestErrors_hugeOrUnreadableLog();
};

void TestErrorLog::writeErrorLog_formatsRecord_data()
{
    QTest::addColumn<MenuState>("menu");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("runId");
    QTest::addColumn<bool>("withLanes"); // lanes 1 and 3 of eight selected
    QTest::addColumn<QByteArray>("afterTime");

    const QByteArray fixed = "/usr/share/vemla/logs/errors.log|1.3.0";
    const QByteArray run = "|7|/logs/production/7_20240131_142501.log|5210|1000|2000|65535|";
    QTest::newRow("during a run") << MenuState::Running << 6 << 7 << true
                                  << "|Running menu|6|Insufficient system pressure|" + fixed + run
                    + "10100000\n";
    QTest::newRow("no lane map") << MenuState::Running << 8 << 7 << false
                                 << "|Running menu|8|Pressure regulation failure|" + fixed + run
                    + "<NOT FOUND>|\n";
    QTest::newRow("unnamed menu, unknown code")
            << MenuState::ServiceMenu << 42 << 0 << false
            << "|<NOT FOUND>|<NOT FOUND>|<NOT FOUND>|" + fixed + "\n";
}

void TestErrorLog::writeErrorLog_formatsRecord()
{
    QFETCH(MenuState, menu);
    QFETCH(int, code);
    QFETCH(int, runId);
    QFETCH(bool, withLanes);
    QFETCH(QByteArray, afterTime);
    SandboxRoot sandbox;
    QMap<QString, bool> lanes;
    for (int lane = 1; lane <= 8; ++lane)
        lanes.insert(QString("lane_%1").arg(lane), lane == 1 || lane == 3);

    Writer(menuName).writeErrorLog(kLog, entryOf(menu, code, runId, withLanes ? &lanes : nullptr));

    const QByteArray file = sandbox.read(kLogQ);
    QCOMPARE(file.left(kHeader.size()), kHeader);
    const QByteArray time = file.mid(kHeader.size(), kTimeFieldBytes);
    QCOMPARE(time,
             QDateTime::fromString(time, "yyyyMMdd-hhmmss").toString("yyyyMMdd-hhmmss").toLatin1());
    QCOMPARE(file.mid(kHeader.size() + kTimeFieldBytes), afterTime);
}

void TestErrorLog::writeErrorLog_damagedDisk_keepsEveryRecordWhole_data()
{
    QTest::addColumn<QByteArray>("before"); // "-": not even the directory
    QTest::addColumn<QByteArray>("kept"); // what precedes the new record afterwards

    QTest::newRow("directory missing") << QByteArray("-") << kHeader;
    QTest::newRow("empty: header lost with the power") << QByteArray() << kHeader;
    QTest::newRow("last record torn, no second header")
            << kHeader + record(1) + "20240131-14" << kHeader + record(1) + "20240131-14\n";
    QTest::newRow("foreign file kept as it is")
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

    writer.writeErrorLog(kLog, entryOf(MenuState::Home, 5));

    const QByteArray file = sandbox.read(kLogQ);
    QCOMPARE(file.left(kept.size()), kept);
    const QByteArray added = file.mid(kept.size());
    QCOMPARE(added.mid(kTimeFieldBytes),
             "|Home menu|5|Unexpected shutdown|/usr/share/vemla/logs/errors.log|1.3.0\n");
    std::vector<std::string> newest;
    QCOMPARE(writer.readLatestErrors(kLog, &newest, 1), 0);
    QCOMPARE(newest, std::vector<std::string> {added.chopped(1).toStdString()});
}

void TestErrorLog::readLatestErrors_newestFirst_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<int>>("expected"); // record numbers, newest first

    QByteArray twenty = kHeader;
    for (int n = 1; n <= 20; ++n)
        twenty += record(n);
    QTest::newRow("header only") << kHeader << 8 << QList<int> {};
    QTest::newRow("three of eight")
            << kHeader + record(1) + record(2) + record(3) << 8 << QList<int> {3, 2, 1};
    QTest::newRow("twenty") << twenty << 8 << QList<int> {20, 19, 18, 17, 16, 15, 14, 13};
    QTest::newRow("torn last record passed over")
            << kHeader + record(1) + record(2) + "20240131-142503|Home me" << 8
            << QList<int> {2, 1};
    // Only the column-title line is dropped, not every record that mentions "time".
    QTest::newRow("record naming a runtime log")
            << kHeader + record(1) + record(0) << 8 << QList<int> {0, 1};
    // The log is read backwards in 64 KiB blocks: record 2 straddles the last block's start.
    QTest::newRow("record across read blocks")
            << kHeader + record(1) + record(2) + QByteArray(65500, '\n') << 8 << QList<int> {2, 1};
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
    std::vector<std::string> lines {"kept"};

    QCOMPARE(Writer(menuName).readLatestErrors(kLog, &lines, unsigned(count)), 0);

    std::vector<std::string> wanted {"kept"};
    for (const int n : expected)
        wanted.push_back(record(n).chopped(1).toStdString());
    QCOMPARE(lines, wanted);
}

void TestErrorLog::readLatestErrors_hugeOrUnreadableLog()
{
    SandboxRoot sandbox;
    Writer writer(menuName);
    std::vector<std::string> lines;
    QCOMPARE(writer.readLatestErrors(kLog, &lines, 8), 1);
    // A directory under the log's name is no log to write or read.
    QVERIFY(QDir().mkpath(sandbox.file(kLogQ)));
    {
        ConsoleCapture console;
        writer.writeErrorLog(kLog, entryOf(MenuState::Home, 1));
        QCOMPARE(writer.readLatestErrors(kLog, &lines, 8), 1);
        QVERIFY(console.contains("Unable to create error log file"));
    }
    QVERIFY(QDir(sandbox.file(kLogQ)).removeRecursively());

    // A gigabyte of zeros where the medium lost blocks (one "line" no reader could hold), then
    // twenty records: only the tail may be read.
    sandbox.write(kLogQ, kHeader);
    QFile file(sandbox.file(kLogQ));
    QVERIFY(file.open(QIODevice::ReadWrite) && file.resize(qint64(1) << 30) && file.seek(1 << 30));
    file.write("\n");
    for (int n = 1; n <= 20; ++n)
        file.write(record(n));
    file.close();
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(writer.readLatestErrors(kLog, &lines, 8), 0);
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(lines.size(), size_t(8));
    QCOMPARE(lines.back(), record(13).chopped(1).toStdString());
}

QTEST_GUILESS_MAIN(TestErrorLog)
#include "tst_errorlog.moc"
