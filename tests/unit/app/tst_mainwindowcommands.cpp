// The shell commands the window builds from paths stay safe on a root whose path holds blanks
// and shell characters: each path is one word, nothing in it runs.
#include "app/mainwindow.h"
#include "support/commandrecorder.h"
#include "support/sandboxroot.h"

#include <QtTest>

class TestMainWindowCommands : public QObject
{
    Q_OBJECT

private slots:
    void startUp_rootWithShellCharacters_pathsQuoted();
};

void TestMainWindowCommands::startUp_rootWithShellCharacters_pathsQuoted()
{
    SandboxRoot root("vemla root $(touch injected); x-XXXXXX");
    CommandRecorder commands;
    MainWindow window(nullptr);
    window.setStartingUp(false);
    const std::string script = "'" + root.file("/usr/bin/usb_removed.sh").toStdString() + "'";
    QTRY_VERIFY_WITH_TIMEOUT(commands.ran(". " + script), 5000);
    // Wherever the root appears, it is inside single quotes.
    const std::string resolvedRoot = root.root().toStdString();
    for (const std::string &command : commands.commands()) {
        for (size_t at = command.find(resolvedRoot); at != std::string::npos;
             at = command.find(resolvedRoot, at + 1))
            QVERIFY2(at > 0 && command[at - 1] == '\'', command.c_str());
    }
}

QTEST_MAIN(TestMainWindowCommands)
#include "tst_mainwindowcommands.moc"
