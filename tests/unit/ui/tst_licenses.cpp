// The licence list of the settings menu and the licence viewer, on licence files laid in a
// sandbox root.
#include "support/sandboxroot.h"
#include "ui/licenselist.h"
#include "ui/licensepopup.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QScroller>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

namespace {

const QString kLicenses = "/usr/share/vemla/resources/licenses/";

void layLicenseTexts(const SandboxRoot &sandbox)
{
    sandbox.write(kLicenses + "LGPL-3.0.txt", "LGPL text");
    sandbox.write(kLicenses + "GPL-3.0.txt", "GPL text");
    // Latin-1 on disk; a zero byte ends the text.
    sandbox.write(kLicenses + "BSD-3-Clause.txt",
                  QByteArray("Copyright \xA9 Korvand\0garbage", 27));
    sandbox.write("/usr/share/vemla/resources/secret.txt", "not a licence");
    QByteArray longText;
    for (int line = 0; line < 400; ++line)
        longText += "Apache line " + QByteArray::number(line) + "\n";
    sandbox.write(kLicenses + "Apache-2.0.txt", longText);
}

} // namespace

class TestLicenses : public QObject
{
    Q_OBJECT

private slots:
    void parse_countsLinesAndSplitsOnTab_data();
    void parse_countsLinesAndSplitsOnTab();
    void names_splitOnAmpersandFirst_data();
    void names_splitOnAmpersandFirst();
    void table_hasRowPerLineAndOnlyLicenceCellsPressable();
    void load_readsInstalledListOrFails();
    void viewer_showsNamedTexts_data();
    void viewer_showsNamedTexts();
    void viewer_opensAtTopAndOkEmpties();
};

void TestLicenses::parse_countsLinesAndSplitsOnTab_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QStringList>("packages");
    QTest::addColumn<QStringList>("licenses");

    QTest::newRow("installed list") << "Qt 5\tLGPL-3.0 | GPL-3.0\nOpen Sans\tApache-2.0\n"
                                    << 2 << QStringList {"Qt 5", "Open Sans"}
                                    << QStringList {"LGPL-3.0 | GPL-3.0", "Apache-2.0"};
    QTest::newRow("empty lines counted, not listed")
            << "a\tX\n\nb\tY\n\n"
            << 4 << QStringList {"a", "b"} << QStringList {"X", "Y"};
    QTest::newRow("no newline at end") << "a\tX" << 1 << QStringList {"a"} << QStringList {"X"};
    QTest::newRow("no tab: licence unknown") << "solo\n"
                                             << 1 << QStringList {"solo"} << QStringList {""};
    QTest::newRow("only the first tab separates") << "a\tX\tY\n"
                                                  << 1 << QStringList {"a"} << QStringList {"X\tY"};
    QTest::newRow("empty file") << "" << 0 << QStringList {} << QStringList {};
}

void TestLicenses::parse_countsLinesAndSplitsOnTab()
{
    QFETCH(QString, content);
    QFETCH(int, lines);
    QFETCH(QStringList, packages);
    QFETCH(QStringList, licenses);

    const LicenseList list = parseLicenseList(content);
    QCOMPARE(list.lineCount, lines);
    QStringList gotPackages, gotLicenses;
    for (const LicenseEntry &entry : list.entries) {
        gotPackages << entry.package;
        gotLicenses << entry.license;
    }
    QCOMPARE(gotPackages, packages);
    QCOMPARE(gotLicenses, licenses);
}

void TestLicenses::names_splitOnAmpersandFirst_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("paths");

    const QString dir = kLicenses;
    QTest::newRow("one") << "Apache-2.0" << QStringList {"Apache-2.0"}
                         << QStringList {dir + "Apache-2.0.txt"};
    QTest::newRow("bar with blanks")
            << " LGPL-3.0 | GPL-3.0 " << QStringList {"LGPL-3.0", "GPL-3.0"}
            << QStringList {dir + "LGPL-3.0.txt", dir + "GPL-3.0.txt"};
    QTest::newRow("ampersand wins over bar")
            << "MIT & LGPL-3.0 | GPL-3.0" << QStringList {"MIT", "LGPL-3.0|GPL-3.0"}
            << QStringList {dir + "MIT.txt", dir + "LGPL-3.0|GPL-3.0.txt"};
    QTest::newRow("blanks inside a name") << "GPL 2.0 or later" << QStringList {"GPL2.0orlater"}
                                          << QStringList {dir + "GPL2.0orlater.txt"};
    QTest::newRow("leaving the folder is refused")
            << "../secret & /etc/passwd & a/../../b"
            << QStringList {"../secret", "/etc/passwd", "a/../../b"} << QStringList {"", "", ""};
    QTest::newRow("empty name refused")
            << "MIT &" << QStringList {"MIT", ""} << QStringList {dir + "MIT.txt", ""};
}

void TestLicenses::names_splitOnAmpersandFirst()
{
    QFETCH(QString, field);
    QFETCH(QStringList, names);
    QFETCH(QStringList, paths);

    QCOMPARE(licenseNames(field), names);
    QStringList gotPaths;
    for (const QString &name : names)
        gotPaths << licenseTextPath(name);
    QCOMPARE(gotPaths, paths);
}

void TestLicenses::table_hasRowPerLineAndOnlyLicenceCellsPressable()
{
    QTableWidget table;
    // Left over from an earlier opening: replaced, not added to.
    table.setRowCount(9);
    table.setColumnCount(3);
    showLicenseList(&table, parseLicenseList("Qt 5\tLGPL-3.0 | GPL-3.0\n\nqtbase\tLGPL-3.0\n\n"));

    QCOMPARE(table.rowCount(), 4);
    QCOMPARE(table.columnCount(), 2);
    QCOMPARE(table.horizontalHeaderItem(0)->text(), " Package");
    QCOMPARE(table.horizontalHeaderItem(1)->text(), " License");
    QCOMPARE(table.columnWidth(0), 300);
    QCOMPARE(table.columnWidth(1), 300);
    QCOMPARE(table.item(0, 0)->text(), "Qt 5");
    QCOMPARE(table.item(0, 1)->text(), "LGPL-3.0 | GPL-3.0");
    // Entries fill the rows in order; the rows of the empty lines stay at the end.
    QCOMPARE(table.item(1, 0)->text(), "qtbase");
    QVERIFY(!table.item(2, 0) && !table.item(3, 1));
    QCOMPARE(table.item(0, 0)->flags(), Qt::NoItemFlags);
    QVERIFY(table.item(0, 1)->flags().testFlag(Qt::ItemIsEnabled));
    QVERIFY(table.item(0, 1)->flags().testFlag(Qt::ItemIsSelectable));
    QCOMPARE(table.editTriggers(), QAbstractItemView::NoEditTriggers);
}

void TestLicenses::load_readsInstalledListOrFails()
{
    SandboxRoot sandbox;
    LicenseList list;
    list.lineCount = 5;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Unable to open license list"));
    QVERIFY(!loadLicenseList(&list));

    sandbox.write(kLicenseListPath, "Open Sans\tApache-2.0\r\nQt 5\tLGPL-3.0\r\n");
    QVERIFY(loadLicenseList(&list));
    QCOMPARE(list.lineCount, 2);
    QCOMPARE(list.entries.size(), 2);
    // A list edited on another system keeps no carriage return in the licence name.
    QCOMPARE(list.entries[0].license, "Apache-2.0");
}

void TestLicenses::viewer_showsNamedTexts_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("shown");

    QTest::newRow("one licence") << "GPL-3.0"
                                 << "GPL text";
    QTest::newRow("two joined by bar") << "LGPL-3.0 | GPL-3.0"
                                       << "LGPL text\nGPL text";
    QTest::newRow("two joined by ampersand") << "GPL-3.0&LGPL-3.0"
                                             << "GPL text\nLGPL text";
    QTest::newRow("ampersand and bar: rest names no file") << "GPL-3.0 & LGPL-3.0 | GPL-3.0"
                                                           << "GPL text";
    QTest::newRow("missing file skipped") << "Nonexistent & GPL-3.0"
                                          << "GPL text";
    QTest::newRow("Latin-1 up to zero byte") << "BSD-3-Clause"
                                             << "Copyright \u00A9 Korvand";
    QTest::newRow("outside the folder refused") << "../secret"
                                                << "";
}

void TestLicenses::viewer_showsNamedTexts()
{
    QFETCH(QString, field);
    QFETCH(QString, shown);

    SandboxRoot sandbox;
    layLicenseTexts(sandbox);
    LicensePopUp popUp;
    QTableWidgetItem item(field);
    if (field.contains(".."))
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("License name refused"));
    popUp.showLicense(&item);
    QCOMPARE(popUp.findChild<QPlainTextEdit *>()->toPlainText(), shown);
}

void TestLicenses::viewer_opensAtTopAndOkEmpties()
{
    SandboxRoot sandbox;
    layLicenseTexts(sandbox);
    LicensePopUp popUp;
    popUp.show();
    auto *box = popUp.findChild<QPlainTextEdit *>();
    QTableWidgetItem item("Apache-2.0 | GPL-3.0");
    popUp.showLicense(&item);
    QVERIFY(box->toPlainText().startsWith("Apache line 0\n"));
    QVERIFY(box->toPlainText().endsWith("GPL text"));
    QCOMPARE(box->textCursor().position(), 0);
    QCOMPARE(box->verticalScrollBar()->value(), 0);
    QVERIFY(box->verticalScrollBar()->maximum() > 0);
    QVERIFY(QScroller::hasScroller(box->viewport()));
    const QScrollerProperties properties
            = QScroller::scroller(box->viewport())->scrollerProperties();
    QCOMPARE(properties.scrollMetric(QScrollerProperties::VerticalOvershootPolicy)
                     .value<QScrollerProperties::OvershootPolicy>(),
             QScrollerProperties::OvershootAlwaysOff);

    QSignalSpy ok(&popUp, &LicensePopUp::licensePopUpOkPressed);
    QTest::mouseClick(popUp.findChild<QPushButton *>("pushButton_licensePopUp_ok"), Qt::LeftButton);
    QCOMPARE(ok.count(), 1);
    QVERIFY(box->toPlainText().isEmpty());
    // A second package opens on its own texts only.
    QTableWidgetItem other("GPL-3.0");
    popUp.showLicense(&other);
    QCOMPARE(box->toPlainText(), "GPL text");
}

QTEST_MAIN(TestLicenses)
#include "tst_licenses.moc"
