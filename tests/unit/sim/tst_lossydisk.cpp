// The simulator's lossy disk mounted over a folder: the program's own ways of writing, the
// platform's sync command and a slow flush, each through the kernel as the program does them.
#include "records/durablefile.h"
#include "sim/lossydisk.h"
#include "sim/lossyfs/lossycontrol.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

void writePlain(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Append));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class TestLossyDisk : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cut_keepsOnlyWhatTheWriterSynced_data();
    void cut_keepsOnlyWhatTheWriterSynced();
    void slowFlush_delaysFsync();
};

void TestLossyDisk::init()
{
    std::string why;
    if (QString(VEMLA_LOSSYFS).isEmpty())
        QSKIP("vemla8-lossyfs is not built for this machine");
    if (!lossycontrol::usable(&why))
        QSKIP(("no FUSE here: " + why).c_str());
}

void TestLossyDisk::cut_keepsOnlyWhatTheWriterSynced_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QByteArray>("kept"); // of "old\n" then "new\n" at a cut with seed 0

    QTest::newRow("durable append") << "append" << QByteArray("old\nnew\n");
    QTest::newRow("plain append") << "plain" << QByteArray("old\n");
    QTest::newRow("plain append, then the sync command")
            << "plain+sync" << QByteArray("old\nnew\n");
    QTest::newRow("save file: fsync and rename, no directory sync")
            << "save" << QByteArray("old\n");
    QTest::newRow("save file, then the sync command") << "save+sync" << QByteArray("new\n");
    QTest::newRow("orderly stop keeps a plain append") << "stop" << QByteArray("old\nnew\n");
}

void TestLossyDisk::cut_keepsOnlyWhatTheWriterSynced()
{
    QFETCH(QString, how);
    QFETCH(QByteArray, kept);
    QTemporaryDir folder;
    const QString file = folder.path() + "/record.log";
    writePlain(file, "old\n");
    LossyDisk disk;
    QString error;
    QVERIFY2(disk.mount({folder.path()}, folder.path() + ".report", &error), qPrintable(error));
    QVERIFY(lossycontrol::isLossy(QFile::encodeName(folder.path()).toStdString()));
    if (how == "append") {
        QCOMPARE(appendDurably(file, "new\n", false), AppendResult::Appended);
    } else if (how.startsWith("save")) {
        QSaveFile save(file);
        QVERIFY(save.open(QIODevice::WriteOnly));
        save.write("new\n");
        QVERIFY(save.commit());
    } else {
        writePlain(file, "new\n");
    }
    QCOMPARE(contents(file), QByteArray(how.startsWith("save") ? "new\n" : "old\nnew\n"));
    if (how.endsWith("+sync"))
        QCOMPARE(QProcess::execute(VEMLA_LOSSYFS, {"sync", folder.path()}), 0);
    if (how == "stop")
        disk.stop();
    else
        disk.cut(0);
    QVERIFY(!lossycontrol::isLossy(QFile::encodeName(folder.path()).toStdString()));
    QCOMPARE(contents(file), kept);
    // Nothing but the record: no temporary file of the save survives under its own name.
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList {"record.log"});
}

void TestLossyDisk::slowFlush_delaysFsync()
{
    constexpr int kFlushMs = 60;
    QTemporaryDir folder;
    LossyDisk disk;
    QString error;
    QVERIFY2(disk.mount({folder.path()}, folder.path() + ".report", &error), qPrintable(error));
    const QString file = folder.path() + "/f";
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(appendDurably(file, "x\n", true), AppendResult::Appended);
    const qint64 fast = clock.restart();
    QVERIFY(disk.setSlow(kFlushMs));
    QCOMPARE(appendDurably(file, "y\n", false), AppendResult::Appended);
    QVERIFY2(clock.elapsed() >= kFlushMs, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(fast < kFlushMs, qPrintable(QString::number(fast)));
    disk.cut(0);
    QCOMPARE(contents(file), QByteArray("x\ny\n"));
}

QTEST_GUILESS_MAIN(TestLossyDisk)
#include "tst_lossydisk.moc"
