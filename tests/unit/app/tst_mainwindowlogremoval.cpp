// The service menu's "Do you want to remove log files?" and what each answer leaves on screen.
#include "support/instrument.h"

#include <QtTest>

using testwindow::Instrument;

class TestMainWindowLogRemoval : public QObject
{
    Q_OBJECT

private slots:
    void removeLogsQuestion_answers_data();
    void removeLogsQuestion_answers();
};

void TestMainWindowLogRemoval::removeLogsQuestion_answers_data()
{
    QTest::addColumn<QString>("logs"); // "files", "empty folders", "none"
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("rmStatus");
    QTest::addColumn<QString>("line1"); // the pop-up afterwards, "" hidden
    QTest::addColumn<QString>("line2");
    QTest::newRow("no: nothing removed") << "files"
                                         << "no" << 0 << ""
                                         << "";
    QTest::newRow("yes: removed") << "files"
                                  << "yes" << 0 << "All log files are removed"
                                  << "";
    QTest::newRow("yes, a removal fails") << "files"
                                          << "yes" << 1 << "Failed to remove log files"
                                          << "Please try again";
    QTest::newRow("yes, only empty folders") << "empty folders"
                                             << "yes" << 0 << "No log files to remove"
                                             << "";
    QTest::newRow("yes, an empty log root: nothing shown") << "none"
                                                           << "yes" << 0 << ""
                                                           << "";
}

void TestMainWindowLogRemoval::removeLogsQuestion_answers()
{
    QFETCH(QString, logs);
    QFETCH(QString, answer);
    QFETCH(int, rmStatus);
    QFETCH(QString, line1);
    QFETCH(QString, line2);
    Instrument instrument;
    const QString root = "/usr/share/vemla/logs";
    if (logs == "files") {
        instrument.root.write(root + "/production/run_7.log", "rows\n");
        instrument.root.write(root + "/drawer/drawer_move_in.log", "samples\n");
    } else if (logs == "empty folders") {
        QDir().mkpath(instrument.root.file(root + "/production"));
    } else {
        QDir(instrument.root.file(root)).removeRecursively();
        QDir().mkpath(instrument.root.file(root));
    }
    instrument.window->setState(MenuState::ServiceMenu);
    instrument.click("pushButton_reset");
    instrument.click("pushButton_settings_rm_log");
    QCOMPARE(Instrument::popUpLine(1), QString("Do you want to remove log files?"));
    instrument.commands.clear();
    instrument.commands.setResultFor("rm -rf", rmStatus);
    Instrument::answer(answer);

    QCOMPARE(Instrument::popUpShown(), !line1.isEmpty());
    if (!line1.isEmpty()) {
        QCOMPARE(Instrument::popUpLine(1), line1);
        QCOMPARE(Instrument::popUpLine(2), line2);
        Instrument::answer("ok");
        QVERIFY(!Instrument::popUpShown());
    }
    // Each folder with files is emptied by one command; nothing without a Yes.
    std::vector<std::string> removals;
    if (answer == "yes" && logs == "files") {
        for (const char *folder : {"/drawer/*", "/production/*"})
            removals.push_back("rm -rf " + instrument.root.file(root).toStdString() + folder);
    }
    std::vector<std::string> ran = instrument.commands.commands();
    std::sort(ran.begin(), ran.end());
    QCOMPARE(ran, removals);
    QCOMPARE(instrument.window->menuState(), MenuState::ServiceMenu);
}

QTEST_MAIN(TestMainWindowLogRemoval)
#include "tst_mainwindowlogremoval.moc"
