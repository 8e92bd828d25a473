// The ".inc" record syntax as the instrument's files present it, read back through both readers.
#include "pressure/confighandler.h"
#include "support/sandboxroot.h"

#include <QtTest>

namespace {

const char *const kFile = "/usr/share/vemla/resources/test.inc";

// "key=value" pairs joined by "|", line feeds in keys shown as "\n", for readable tables.
QString describe(const QMap<std::string, int> &settings)
{
    QStringList parts;
    for (auto it = settings.constBegin(); it != settings.constEnd(); ++it)
        parts << QString::fromStdString(it.key()).replace('\n', "\\n") + '='
                        + QString::number(it.value());
    return parts.join('|');
}

} // namespace

class TestConfigHandler : public QObject
{
    Q_OBJECT

private slots:
    void readSettings_recordSyntax_data();
    void readSettings_recordSyntax();
    void getValue_missingOrBadValue_givesZeroAndLogs();
    void readers_missingFile_giveEmptyResults();
    void writeConfig_isCanonicalAndReadsBack();
};

void TestConfigHandler::readSettings_recordSyntax_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << QByteArray("key:\"42\"\n") << "key=42";
    QTest::newRow("text outside quotes ignored")
            << QByteArray("key: \"42\" trailing\n") << "key=42";
    QTest::newRow("digits then letters") << QByteArray("key:\"12ab\"\n") << "key=12";
    QTest::newRow("leading blank and sign") << QByteArray("key:\" +7\"\n") << "key=7";
    QTest::newRow("blank before colon kept") << QByteArray("key :\"1\"\n") << "key =1";
    QTest::newRow("no quotes skipped") << QByteArray("key:42\nb:\"2\"\n") << "b=2";
    QTest::newRow("one quote skipped") << QByteArray("key:\"42\nb:\"2\"\n") << "b=2";
    QTest::newRow("blank line joins the key") << QByteArray("\na:\"1\"\n") << "\\na=1";
    QTest::newRow("last duplicate wins") << QByteArray("a:\"1\"\na:\"2\"\n") << "a=2";
    QTest::newRow("CRLF line ends") << QByteArray("a:\"1\"\r\nb:\"2\"\r\n") << "a=1|b=2";
    QTest::newRow("no final line feed") << QByteArray("a:\"1\"\nb:\"2\"") << "a=1|b=2";
    QTest::newRow("colon in the value line") << QByteArray("a:\"1:2\"\n") << "a=1";
    QTest::newRow("garbage value touches nothing else")
            << QByteArray("a:\"1\"\nb:\"xyz\"\nc:\"3\"\n") << "a=1|c=3";
    QTest::newRow("empty value") << QByteArray("a:\"\"\nc:\"3\"\n") << "c=3";
    QTest::newRow("garbage duplicate keeps the number")
            << QByteArray("a:\"1\"\na:\"?\"\n") << "a=1";
    QTest::newRow("int max") << QByteArray("a:\"2147483647\"\n") << "a=2147483647";
    QTest::newRow("int min") << QByteArray("a:\"-2147483648\"\n") << "a=-2147483648";
    QTest::newRow("beyond int skipped")
            << QByteArray("a:\"2147483648\"\nb:\"99999999999999999999\"\n") << "";
    QTest::newRow("text without any record") << QByteArray("just a remark\n") << "";
}

void TestConfigHandler::readSettings_recordSyntax()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    SandboxRoot sandbox;
    sandbox.write(kFile, content);
    ConfigHandler handler(nullptr);
    QCOMPARE(describe(handler.readSettings(kFile)), expected);
    // The table reader sees the same records.
    const std::map<std::string, std::string> texts = handler.LoadConfig(kFile);
    const QMap<std::string, int> numbers = handler.readSettings(kFile);
    for (auto it = numbers.constBegin(); it != numbers.constEnd(); ++it)
        QVERIFY(texts.count(it.key()) == 1);
}

void TestConfigHandler::getValue_missingOrBadValue_givesZeroAndLogs()
{
    SandboxRoot sandbox;
    sandbox.write(kFile, "key :\"1\"\ngood:\"17\"\nbad:\"none\"\n");
    ConfigHandler handler(nullptr);
    handler.readConfig(kFile);
    QCOMPARE(handler.getValue("good"), 17);
    QTest::ignoreMessage(QtDebugMsg, " key NOT found");
    QCOMPARE(handler.getValue("key"), 0);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("value of bad is not a number"));
    QCOMPARE(handler.getValue("bad"), 0);
    QCOMPARE(handler.getValue("key "), 1);

    // A second load replaces the whole table.
    sandbox.write(kFile, "other:\"5\"\n");
    handler.readConfig(kFile);
    QTest::ignoreMessage(QtDebugMsg, " key NOT found");
    QCOMPARE(handler.getValue("good"), 0);
    QCOMPARE(handler.getValue("other"), 5);
}

void TestConfigHandler::readers_missingFile_giveEmptyResults()
{
    SandboxRoot sandbox;
    ConfigHandler handler(nullptr);
    QVERIFY(handler.readSettings(kFile).isEmpty());
    QVERIFY(handler.LoadConfig(kFile).empty());
    handler.readConfig(kFile);
    QTest::ignoreMessage(QtDebugMsg, " key NOT found");
    QCOMPARE(handler.getValue("anything"), 0);
}

void TestConfigHandler::writeConfig_isCanonicalAndReadsBack()
{
    SandboxRoot sandbox;
    sandbox.write(kFile, "stale:\"1\"\nstale2:\"2\"\nstale3:\"3\"\n");
    QMap<std::string, int> settings;
    settings.insert("dpcr_line_1_target", 1000);
    settings.insert("Zeta", -3);
    settings.insert("dmda_active_time", 0);
    ConfigHandler handler(nullptr);
    QVERIFY(handler.writeConfig(settings, kFile));
    // Byte-wise ascending keys (upper case first), the old content gone.
    QCOMPARE(sandbox.read(kFile),
             QByteArray("Zeta:\"-3\"\ndmda_active_time:\"0\"\ndpcr_line_1_target:\"1000\"\n"));
    QCOMPARE(handler.readSettings(kFile), settings);
    QVERIFY(!sandbox.exists(QString(kFile) + ".tmp"));

    // An unwritable place leaves no half-written file and is said in the log.
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("could not write /no/such/dir/x.inc"));
    QTest::ignoreMessage(QtDebugMsg, "writeConfig()");
    QVERIFY(!handler.writeConfig(settings, "/no/such/dir/x.inc"));
}

QTEST_GUILESS_MAIN(TestConfigHandler)
#include "tst_confighandler.moc"
