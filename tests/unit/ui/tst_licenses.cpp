// The licence list of the settings menu and the licence viewer, on files laid in a sandbox.
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
    sandbox.write(kLicenses + "BSD.txt", QByteArray("Copyright \xA9 Korvand\0garbage", 27));
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
    void list_rowPerLineEntriesInOrder_data();
    void list_rowPerLineEntriesInOrder();
    void viewer_showsNamedTexts_data();
    void viewer_showsNamedTexts();
    void viewer_opensAtTopAndOkEmpties();
};

void TestLicenses::list_rowPerLineEntriesInOrder_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("cells"); // row by row, package and licence; "-" no item

    QTest::newRow("installed list")
            << QByteArray("Qt 5\tLGPL-3.0 | GPL-3.0\nOpen Sans\tApache-2.0\n")
            << QStringList {"Qt 5", "LGPL-3.0 | GPL-3.0", "Open Sans", "Apache-2.0"};
    QTest::newRow("empty lines: surplus rows at the end")
            << QByteArray("a\tX\n\nb\tY\n\n")
            << QStringList {"a", "X", "b", "Y", "-", "-", "-", "-"};
    QTest::newRow("no newline at end, CR LF")
            << QByteArray("a\tX\r\nb\tY") << QStringList {"a", "X", "b", "Y"};
    QTest::newRow("no tab: licence empty") << QByteArray("solo\n") << QStringList {"solo", ""};
    QTest::newRow("empty file") << QByteArray() << QStringList {};
}

void TestLicenses::list_rowPerLineEntriesInOrder()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, cells);

    SandboxRoot sandbox;
    LicenseList list;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Unable to open license list"));
    QVERIFY(!loadLicenseList(&list));
    sandbox.write(kLicenseListPath, content);
    QVERIFY(loadLicenseList(&list));

    QTableWidget table(9, 3); // left over from an earlier opening: replaced, not added to
    showLicenseList(&table, list);
    QCOMPARE(table.rowCount() * 2, cells.size());
    QCOMPARE(table.horizontalHeaderItem(0)->text() + table.horizontalHeaderItem(1)->text(),
             " Package License");
    QStringList got;
    for (int row = 0; row < table.rowCount(); ++row) {
        for (int column = 0; column < 2; ++column)
            got << (table.item(row, column) ? table.item(row, column)->text() : "-");
        if (table.item(row, 0)) {
            QCOMPARE(table.item(row, 0)->flags(), Qt::NoItemFlags);
            QVERIFY(table.item(row, 1)->flags().testFlag(Qt::ItemIsEnabled));
        }
    }
    QCOMPARE(got, cells);
}

void TestLicenses::viewer_showsNamedTexts_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("shown");

    QTest::newRow("one licence") << "GPL-3.0"
                                 << "GPL text";
    QTest::newRow("bar with blanks") << " LGPL-3.0 | GPL-3.0 "
                                     << "LGPL text\nGPL text";
    QTest::newRow("ampersand") << "GPL-3.0&LGPL-3.0"
                               << "GPL text\nLGPL text";
    QTest::newRow("ampersand and bar: split on & only") << "GPL-3.0 & LGPL-3.0 | GPL-3.0"
                                                        << "GPL text";
    QTest::newRow("blanks inside a name") << "G P L-3.0"
                                          << "GPL text";
    QTest::newRow("missing file skipped") << "Nonexistent & GPL-3.0"
                                          << "GPL text";
    QTest::newRow("Latin-1 up to zero byte") << "BSD"
                                             << "Copyright \u00A9 Korvand";
    QTest::newRow("outside the folder refused") << "../secret & /etc/passwd & a/../b"
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
    const int refused = field.startsWith("..") ? 3 : 0;
    for (int name = 0; name < refused; ++name)
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
    QCOMPARE(box->verticalScrollBar()->value(), 0);
    QVERIFY(box->verticalScrollBar()->maximum() > 0);
    QVERIFY(QScroller::hasScroller(box->viewport()));

    QSignalSpy ok(&popUp, &LicensePopUp::licensePopUpOkPressed);
    QTest::mouseClick(popUp.findChild<QPushButton *>("pushButton_licensePopUp_ok"), Qt::LeftButton);
    QCOMPARE(ok.count(), 1);
    QVERIFY(box->toPlainText().isEmpty());
}

QTEST_MAIN(TestLicenses)
#include "tst_licenses.moc"
