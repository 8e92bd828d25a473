// The commands given to the shell: each path stays one word whatever it holds, nothing in a
// path runs, and the instrument's own paths give the board's command texts unchanged.
#include "platform/commands.h"
#include "support/commandrecorder.h"
#include "support/sandboxroot.h"

#include <cstdio>

#include <QDir>
#include <QFile>
#include <QtTest>

namespace {

// What the shell makes of `text`: each word it reads, closed by '|'. Through popen, which
// forks as the program's own commands do (the board's build runs this under user-mode
// emulation, which refuses QProcess's way of starting a process).
QByteArray wordsReadBack(const std::string &text)
{
    FILE *shell = popen(("printf '%s|' " + text).c_str(), "r");
    if (!shell)
        return "(no shell)";
    QByteArray words;
    char buffer[256];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, shell)) > 0)
        words.append(buffer, static_cast<int>(count));
    pclose(shell);
    return words;
}

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void shellArgument_shellReadsOneWordBack_data();
    void shellArgument_shellReadsOneWordBack();
    void pathArgument_leadingDashNeverAnOption_data();
    void pathArgument_leadingDashNeverAnOption();
    void helpers_hostilePath_actOnThatPathOnly_data();
    void helpers_hostilePath_actOnThatPathOnly();
    void helpers_instrumentPaths_boardCommandTexts();
    void removeContents_emptyOrRootFolder_runsNothing();
};

void TestCommands::shellArgument_shellReadsOneWordBack_data()
{
    QTest::addColumn<QByteArray>("word");
    QTest::addColumn<bool>("bare");
    QTest::newRow("instrument path") << QByteArray("/usr/share/vemla/logs/drawer") << true;
    QTest::newRow("plain punctuation") << QByteArray("a-b_c.d+e:f,g@h%i") << true;
    QTest::newRow("option-like") << QByteArray("-rf") << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("blank") << QByteArray("/tmp/vemla root/logs") << false;
    QTest::newRow("blanks at the ends") << QByteArray(" x ") << false;
    QTest::newRow("single quote") << QByteArray("it's") << false;
    QTest::newRow("only quotes") << QByteArray("''") << false;
    QTest::newRow("double quote") << QByteArray("say \"hi\"") << false;
    QTest::newRow("dollar variable") << QByteArray("$HOME") << false;
    QTest::newRow("command substitution") << QByteArray("$(echo run)") << false;
    QTest::newRow("backquotes") << QByteArray("`echo run`") << false;
    QTest::newRow("semicolon") << QByteArray("a;echo run") << false;
    QTest::newRow("and, or, pipe") << QByteArray("a&&b||c|d") << false;
    QTest::newRow("redirection") << QByteArray("a>b<c") << false;
    QTest::newRow("glob") << QByteArray("*") << false;
    QTest::newRow("tilde") << QByteArray("~") << false;
    QTest::newRow("backslash") << QByteArray("a\\b") << false;
    QTest::newRow("newline") << QByteArray("a\nb") << false;
    QTest::newRow("comment") << QByteArray("#x") << false;
    QTest::newRow("non-ASCII") << QByteArray("caf\xc3\xa9") << false;
}

void TestCommands::shellArgument_shellReadsOneWordBack()
{
    QFETCH(QByteArray, word);
    QFETCH(bool, bare);
    const std::string quoted = platform::shellArgument(word.toStdString());
    QCOMPARE(quoted == word.toStdString(), bare);
    QCOMPARE(wordsReadBack(quoted), word + "|");
}

void TestCommands::pathArgument_leadingDashNeverAnOption_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("word");
    QTest::newRow("absolute") << QByteArray("/media/sda1") << QByteArray("/media/sda1");
    QTest::newRow("relative") << QByteArray("logs/x") << QByteArray("logs/x");
    QTest::newRow("dash inside") << QByteArray("/a/-rf") << QByteArray("/a/-rf");
    QTest::newRow("leading dash") << QByteArray("-rf") << QByteArray("./-rf");
    QTest::newRow("leading dash, blank") << QByteArray("- x") << QByteArray("'./- x'");
    QTest::newRow("lone dash") << QByteArray("-") << QByteArray("./-");
}

void TestCommands::pathArgument_leadingDashNeverAnOption()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, word);
    QCOMPARE(QByteArray::fromStdString(platform::pathArgument(path.toStdString())), word);
}

// Every helper run by the real shell on a sandbox of its own, with the path relative to it (so
// that a leading '-' reaches the command) and siblings the path's pieces would name if the
// shell split it.
void TestCommands::helpers_hostilePath_actOnThatPathOnly_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("blank") << "a b";
    QTest::newRow("single quote") << "it's";
    QTest::newRow("double quote") << "\"a\"";
    QTest::newRow("command substitution") << "$(touch injected)";
    QTest::newRow("backquotes") << "`touch injected`";
    QTest::newRow("semicolon") << "a; touch injected";
    QTest::newRow("leading dash") << "-rf";
    QTest::newRow("leading dash, blank") << "- a";
    QTest::newRow("glob") << "*";
}

void TestCommands::helpers_hostilePath_actOnThatPathOnly()
{
    QFETCH(QString, name);
    SandboxRoot sandbox;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(sandbox.root()));
    const auto restore = qScopeGuard([&] { QDir::setCurrent(previous); });
    const std::string path = name.toStdString();
    const QStringList siblings {"a", "b", "it", "s", "keep"};
    for (const QString &sibling : siblings)
        sandbox.write("/" + sibling, "sibling");
    const auto siblingsIntact = [&] {
        for (const QString &sibling : siblings) {
            if (sandbox.read("/" + sibling) != "sibling")
                return false;
        }
        return true;
    };

    QCOMPARE(platform::makeDirectory(path), 0);
    QVERIFY(QFileInfo(sandbox.file("/" + name)).isDir());
    QVERIFY(platform::makeDirectory(path) != 0); // it exists now: mkdir's failure comes back

    sandbox.write("/" + name + "/one", "1");
    sandbox.write("/" + name + "/sub/two", "2");
    QCOMPARE(platform::makeDirectory(path + " copy"), 0);
    QCOMPARE(platform::copyContentsAndSync(path, path + " copy"), 0);
    QCOMPARE(sandbox.read("/" + name + " copy/one"), QByteArray("1"));
    QCOMPARE(sandbox.read("/" + name + " copy/sub/two"), QByteArray("2"));

    QCOMPARE(platform::removeContents(path), 0);
    QVERIFY(QFileInfo(sandbox.file("/" + name)).isDir());
    QVERIFY(QDir(sandbox.file("/" + name)).isEmpty());
    QVERIFY(sandbox.exists("/" + name + " copy/one"));

    const std::string file = path + " copy/one";
    QCOMPARE(platform::removeFile(file), 0);
    QVERIFY(!sandbox.exists("/" + name + " copy/one"));
    QVERIFY(platform::removeFile(file) != 0);

    QCOMPARE(platform::saveOutput("echo saved", path + "/out"), 0);
    QCOMPARE(sandbox.read("/" + name + "/out"), QByteArray("saved\n"));

    // Sourced in the program's shell: the script runs, whatever its name.
    sandbox.write("/" + name + "/script.sh", "echo sourced > sourced.txt\n");
    QCOMPARE(platform::sourceScript(path + "/script.sh"), 0);
    QCOMPARE(sandbox.read("/sourced.txt"), QByteArray("sourced\n"));

    QVERIFY(!sandbox.exists("/injected"));
    QVERIFY(siblingsIntact());
}

// The board's commands for the instrument's own paths, to the byte.
void TestCommands::helpers_instrumentPaths_boardCommandTexts()
{
    CommandRecorder recorder;
    platform::sync();
    platform::makeDirectory("/usr/share/vemla/logs/drawer");
    platform::removeFile("/media/sda1/vemla-backup.ini");
    platform::removeContents("/usr/share/vemla/logs/production");
    platform::copyContentsAndSync("/usr/share/vemla/logs", "/media/sda1/logs");
    platform::syncAndUnmount("/media/sda1");
    platform::sourceScript("/usr/bin/usb_attached.sh");
    platform::sourceScript("/usr/bin/logremove.sh", {"/usr/share/vemla/logs/production", "200"});
    platform::saveOutput("journalctl -b -1",
                         "/usr/share/vemla/logs/system/system_log_20240131_142501.log");
    const std::vector<std::string> expected {
            "sync",
            "mkdir /usr/share/vemla/logs/drawer",
            "rm /media/sda1/vemla-backup.ini",
            "rm -rf /usr/share/vemla/logs/production/*",
            "cp -r /usr/share/vemla/logs/* /media/sda1/logs/; sync",
            "sync; umount /media/sda1",
            ". /usr/bin/usb_attached.sh",
            ". /usr/bin/logremove.sh /usr/share/vemla/logs/production 200",
            "journalctl -b -1 > /usr/share/vemla/logs/system/system_log_20240131_142501.log",
    };
    QCOMPARE(recorder.commands(), expected);
}

// A folder name that resolved to nothing must never become "rm -rf /*".
void TestCommands::removeContents_emptyOrRootFolder_runsNothing()
{
    CommandRecorder recorder;
    QCOMPARE(platform::removeContents(""), -1);
    QCOMPARE(platform::removeContents("/"), -1);
    QCOMPARE(platform::removeContents("//"), -1);
    QVERIFY(recorder.commands().empty());
}

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
