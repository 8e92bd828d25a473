#include "errorlog.h"
#include "runlog.h"
#include "runlogplot.h"

#include <QFile>
#include <QtTest>

namespace {

QByteArray readData(const QString &name)
{
    QFile file(QStringLiteral(LOGVIEW_DATA_DIR "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing test data %s", qPrintable(name));
    return file.readAll();
}

const QByteArray kHeader = "File:\t\t/usr/share/vemla/logs/production/7_20240131_142501.log\n"
                           "Created:\t31.01.2024 - 14:27:03\n"
                           "Initial temperature:\t-3 deg Celsius\n"
                           "Final temperature:\t35 deg Celsius\n"
                           "All pressure values are in millibars and the time is in "
                           "milliseconds.\n"
                           "Run_Time \tVessel_Pressure \tChannel_1_Pressure \t"
                           "Channel_2_Pressure \tChannel_3_Pressure \t\n";

const QByteArray kErrorHeader = "time|last menu|code|error|filename|software|run id|run log|"
                                "vessel (mbar)|line 1 (mbar)|line 2 (mbar)|line 3 (mbar)|"
                                "active lanes\n";

QByteArray row(std::initializer_list<qulonglong> values)
{
    QByteArray line;
    for (const qulonglong value : values)
        line += QByteArray::number(value) + "\t\t\t";
    return line + '\n';
}

// Colour of the vessel curve in the plot.
bool isVesselBlue(QRgb pixel)
{
    return qAbs(qRed(pixel) - 0) < 40 && qAbs(qGreen(pixel) - 118) < 40
            && qAbs(qBlue(pixel) - 154) < 40;
}

} // namespace

class TestLogView : public QObject
{
    Q_OBJECT

private slots:
    void simulatedRunLog_parsesWithItsStages();
    void stageTimes_restart_runTimeGoesOn();
    void cutLastRow_droppedAndReported();
    void brokenRunLog_refusedWithReason_data();
    void brokenRunLog_refusedWithReason();
    void ticks_coverMaximum_data();
    void ticks_coverMaximum();
    void longLog_plotSpansWholeRun();
    void simulatedErrorLog_countsAndNewestFirst();
    void damagedErrorRecords_countedApart();
};

void TestLogView::simulatedRunLog_parsesWithItsStages()
{
    runlog::Log log;
    QString error;
    QVERIFY2(runlog::parse(readData("production_run.log"), &log, &error), qPrintable(error));
    QVERIFY(log.path.startsWith("/usr/share/vemla/logs/production/1_"));
    QCOMPARE(log.initialTemperature, 31);
    QCOMPARE(log.finalTemperature, 35);
    QCOMPARE(log.incompleteRows, 0);
    QVERIFY(!log.lastRowCut);
    // Pre-ramp, ramp, then the 62 s at the targets.
    QCOMPARE(log.stageStarts.size(), 2);
    const double targetStartS = log.rows[log.stageStarts[1]].runTimeMs / 1000;
    const double endS = log.rows.last().runTimeMs / 1000;
    QVERIFY2(endS - targetStartS > 60 && endS - targetStartS < 66,
             qPrintable(QString::number(endS)));
    for (int i = 1; i < log.rows.size(); ++i)
        QVERIFY(log.rows[i].runTimeMs >= log.rows[i - 1].runTimeMs);
    // Line 1 settles at its 1000 mbar target.
    QVERIFY(qAbs(int(log.rows.last().values[2]) - 1000) < 50);
}

void TestLogView::stageTimes_restart_runTimeGoesOn()
{
    const QByteArray content = kHeader + row({0, 4000, 100, 100, 100})
            + row({100, 4000, 100, 100, 100}) + row({200, 3990, 101, 99, 100})
            + row({50, 3980, 300, 200, 100}) + row({150, 3970, 500}) + "\n"
            + row({30, 3960, 1000, 500, 150});
    runlog::Log log;
    QString error;
    QVERIFY2(runlog::parse(content, &log, &error), qPrintable(error));
    QCOMPARE(log.initialTemperature, -3);
    QCOMPARE(log.rows.size(), 7);
    QCOMPARE(log.incompleteRows, 2); // three values, and the empty read cycle
    QCOMPARE(log.stageStarts, QVector<int>({3, 6}));
    QVector<double> times;
    for (const runlog::Row &r : log.rows)
        times << r.runTimeMs;
    QCOMPARE(times, QVector<double>({0, 100, 200, 250, 350, 350, 380}));
    QCOMPARE(log.rows[4].valueCount, 3);
}

void TestLogView::cutLastRow_droppedAndReported()
{
    QByteArray content = readData("production_run.log");
    runlog::Log whole;
    QString error;
    QVERIFY(runlog::parse(content, &whole, &error));
    // Power lost in the middle of the last row.
    content.chop(7);
    runlog::Log cut;
    QVERIFY2(runlog::parse(content, &cut, &error), qPrintable(error));
    QVERIFY(cut.lastRowCut);
    QCOMPARE(cut.rows.size(), whole.rows.size() - 1);
}

void TestLogView::brokenRunLog_refusedWithReason_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    const QByteArray good = row({0, 4000, 100, 100, 100});
    QTest::newRow("empty") << QByteArray() << "empty";
    QTest::newRow("settings file") << QByteArray("[production]\nid=1\n") << "not a run log";
    QTest::newRow("header cut") << kHeader.left(kHeader.indexOf("Final")) << "header ends after 3";
    QTest::newRow("no column titles")
            << kHeader.left(kHeader.indexOf("Run_Time")) + good << "line 6";
    QByteArray temperature = kHeader;
    temperature.replace("-3 deg", "warm deg");
    QTest::newRow("temperature not a number") << temperature << "line 3";
    QTest::newRow("six values") << kHeader + row({0, 1, 2, 3, 4, 5}) << "line 7: 6 values";
    QTest::newRow("negative") << kHeader + good + "-5\t\t\t\n"
                              << "line 8: \"-5\"";
    QTest::newRow("beyond 32 bits") << kHeader + row({4294967296ull}) << "not an unsigned";
    QTest::newRow("one tab apart") << kHeader + "1\t2\t\t\t\n"
                                   << "three tabs";
    QTest::newRow("no tabs after last value") << kHeader + "1\t\t\t2\n"
                                              << "end with three tabs";
    QByteArray crlf = kHeader + good;
    crlf.replace("\n", "\r\n");
    QTest::newRow("windows line ends") << crlf << "carriage returns";
}

void TestLogView::brokenRunLog_refusedWithReason()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    runlog::Log log;
    QString error;
    QVERIFY(!runlog::parse(content, &log, &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
}

void TestLogView::ticks_coverMaximum_data()
{
    QTest::addColumn<double>("maximum");
    QTest::addColumn<double>("last");
    QTest::addColumn<int>("count");
    QTest::newRow("nothing to show") << 0.0 << 1.0 << 6;
    QTest::newRow("just below a round value") << 3999.0 << 4000.0 << 5;
    QTest::newRow("on a round value") << 4000.0 << 4000.0 << 5;
    QTest::newRow("just above") << 4001.0 << 5000.0 << 6;
    QTest::newRow("32-bit top") << 4294967295.0 << 5e9 << 6;
    QTest::newRow("fraction of a second") << 0.35 << 0.4 << 5;
}

void TestLogView::ticks_coverMaximum()
{
    QFETCH(double, maximum);
    QFETCH(double, last);
    QFETCH(int, count);
    const QVector<double> ticks = runlogplot::ticks(maximum, 5);
    QCOMPARE(ticks.first(), 0.0);
    QVERIFY(qFuzzyCompare(ticks.last(), last));
    QCOMPARE(ticks.size(), count);
}

void TestLogView::longLog_plotSpansWholeRun()
{
    // 25 000 read cycles of 100 ms in one stage: 2500 s, the vessel falling slowly.
    constexpr int kRows = 25000;
    QByteArray content = kHeader;
    for (int i = 0; i < kRows; ++i)
        content += row({qulonglong(i) * 100, 4000ull - i / 10, 1000, 800, 600});
    runlog::Log log;
    QString error;
    QVERIFY2(runlog::parse(content, &log, &error), qPrintable(error));
    QCOMPARE(log.rows.size(), kRows);
    QVERIFY(log.stageStarts.isEmpty());

    const QImage image = runlogplot::render(log, "long.log");
    QVERIFY(!image.isNull());
    // The curve reaches the right end of the time axis and stays inside the picture: a scale
    // that is too short clips it, one too long leaves the right part empty.
    int rightmost = -1;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height() / 2; ++y) {
            if (isVesselBlue(image.pixel(x, y)))
                rightmost = x;
        }
    }
    QVERIFY2(rightmost > image.width() * 0.95 && rightmost < image.width() - 5,
             qPrintable(QString::number(rightmost)));
}

void TestLogView::simulatedErrorLog_countsAndNewestFirst()
{
    errorlog::Log log;
    QString error;
    QVERIFY2(errorlog::parse(readData("errors.log"), &log, &error), qPrintable(error));
    QVERIFY(log.damagedLines.isEmpty());
    QVERIFY(!log.records.isEmpty());
    int total = 0;
    for (const errorlog::CodeCount &count : errorlog::countPerCode(log))
        total += count.count;
    QCOMPARE(total, log.records.size());

    // Twenty records of alternating codes: the newest eight are listed, newest first.
    QByteArray content = kErrorHeader;
    for (int i = 0; i < 20; ++i) {
        content += QStringLiteral("202401%1-120000|Home menu|%2|Text %2|/usr/share/vemla/logs/"
                                  "errors.log|1.3.0\n")
                           .arg(i + 10)
                           .arg(i % 2 ? 8 : 10)
                           .toUtf8();
    }
    QVERIFY(errorlog::parse(content, &log, &error));
    const QVector<errorlog::CodeCount> counts = errorlog::countPerCode(log);
    QCOMPARE(counts.size(), 2);
    QCOMPARE(counts[0].code, QString("8")); // numeric order, not text order
    QCOMPARE(counts[1].count, 10);
    const QString text = errorlog::summary(log, "errors.log", 8);
    QVERIFY(text.indexOf("20240129-") < text.indexOf("20240128-"));
    QVERIFY(text.contains("20240122-"));
    QVERIFY(!text.contains("20240121-"));
}

void TestLogView::damagedErrorRecords_countedApart()
{
    const QByteArray &header = kErrorHeader;
    const QByteArray withRun = "20240131-142501|Running menu|6|Insufficient system pressure|"
                               "/usr/share/vemla/logs/errors.log|1.3.0|42|/usr/share/vemla/logs/"
                               "production/42_20240131_142000.log|1400|1000|800|600|10100000\n";
    const QByteArray noLanes = "20240131-142502|Home menu|<NOT FOUND>|<NOT FOUND>|"
                               "/usr/share/vemla/logs/errors.log|1.3.0|42|x.log|1|2|3|4|"
                               "<NOT FOUND>|\n";
    errorlog::Log log;
    QString error;
    // A record cut by a power loss, then ended by the next append; the titles again after the
    // file lost them.
    QVERIFY(errorlog::parse(header + withRun + "20240131-1425\n" + header + noLanes
                                    + withRun.left(60),
                            &log, &error));
    QCOMPARE(log.records.size(), 2);
    QCOMPARE(log.records[0].runId, QString("42"));
    QCOMPARE(log.records[1].code, QString("<NOT FOUND>"));
    QCOMPARE(log.damagedLines, QVector<int>({3, 6}));
    QVERIFY(errorlog::summary(log, "errors.log", 8).contains("Damaged lines (not counted): 3, 6"));

    QVERIFY(errorlog::parse(header, &log, &error));
    QVERIFY(log.records.isEmpty());
    QVERIFY(!errorlog::parse(withRun, &log, &error));
    QVERIFY(error.contains("not an error log"));
}

QTEST_MAIN(TestLogView)
#include "tst_logview.moc"
