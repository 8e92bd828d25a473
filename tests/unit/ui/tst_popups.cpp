// The message pop-up and the error list, as the main window uses them.
#include "ui/errorpopup.h"
#include "ui/popup.h"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

Q_DECLARE_METATYPE(std::vector<std::string>)

namespace {

const char *const kRunRecord = "20240131-142501|Running menu|6|Insufficient system pressure|"
                               "/usr/share/vemla/logs/errors.log|1.3.0|42|/p/42.log|1400|300|"
                               "310|320|10110000";
const char *const kIdleRecord = "20240131-090000|Home menu|1|Drawer is stuck inside|"
                                "/usr/share/vemla/logs/errors.log|1.3.0";
const QStringList kRunRow {
        "20240131-142501", "Running menu", "6", "Insufficient system pressure", "1.3.0", "42"};
const QStringList kIdleRow {"20240131-090000",        "Home menu", "1",
                            "Drawer is stuck inside", "1.3.0",     ""};

// Yes, Ok, No: 1 shown and enabled, 0 hidden and disabled, ? half of it.
QString pressable(PopUp &popUp)
{
    QString buttons;
    for (const char *name :
         {"pushButton_popUp_yes", "pushButton_popUp_ok", "pushButton_popUp_no"}) {
        auto *button = popUp.findChild<QPushButton *>(name);
        const bool enabled = button->isEnabled();
        buttons += enabled != button->isVisibleTo(&popUp) ? '?' : enabled ? '1' : '0';
    }
    return buttons;
}

} // namespace

class TestPopUps : public QObject
{
    Q_OBJECT

private slots:
    void popUp_modesButtonsAndText();
    void errorPopUp_fillsShownFields_data();
    void errorPopUp_fillsShownFields();
};

void TestPopUps::popUp_modesButtonsAndText()
{
    PopUp popUp;
    popUp.show();
    QCOMPARE(popUp.geometry(), QRect(0, 0, 1024, 600));
    popUp.setYesNoMode();
    QCOMPARE(pressable(popUp), "101");
    popUp.setOkMode();
    QCOMPARE(pressable(popUp), "010");

    QTest::mouseClick(popUp.findChild<QPushButton *>("pushButton_popUp_ok"), Qt::LeftButton);
    // The main window closes it, never the pop-up itself.
    QVERIFY(popUp.isVisible());

    auto *line1 = popUp.findChild<QLabel *>("label_popUp_line1");
    auto *line2 = popUp.findChild<QLabel *>("label_popUp_line2");
    popUp.setText("Production ID is 0", 1);
    popUp.setText("", 2);
    for (int line : {0, 3, -1})
        popUp.setText("ignored", line);
    QCOMPARE(line1->text() + "/" + line2->text(), "Production ID is 0/");
}

void TestPopUps::errorPopUp_fillsShownFields_data()
{
    QTest::addColumn<std::vector<std::string>>("lines");
    QTest::addColumn<QList<QStringList>>("rows");

    QTest::newRow("no errors") << std::vector<std::string> {} << QList<QStringList> {};
    QTest::newRow("error during a run")
            << std::vector<std::string> {kRunRecord} << QList<QStringList> {kRunRow};
    QTest::newRow("error outside a run: no run id")
            << std::vector<std::string> {kIdleRecord} << QList<QStringList> {kIdleRow};
    QTest::newRow("short and empty lines, newest first")
            << std::vector<std::string> {kRunRecord, "20240131-090000|<NOT FOUND>", ""}
            << QList<QStringList> {kRunRow,
                                   {"20240131-090000", "<NOT FOUND>", "", "", "", ""},
                                   {"", "", "", "", "", ""}};
}

void TestPopUps::errorPopUp_fillsShownFields()
{
    QFETCH(std::vector<std::string>, lines);
    QFETCH(QList<QStringList>, rows);

    ErrorPopUp popUp;
    auto *table = popUp.findChild<QTableWidget *>();
    QStringList titles;
    for (int column = 0; column < table->columnCount(); ++column)
        titles << table->horizontalHeaderItem(column)->text();
    QCOMPARE(titles, (QStringList {"Time", "Last menu", "Code", "Error", "Software", "Run ID"}));

    // A refill replaces what the last error menu showed.
    popUp.setErrors({kRunRecord, kRunRecord, kRunRecord, kIdleRecord});
    popUp.setErrors(lines);
    QCOMPARE(table->rowCount(), rows.size());
    for (int row = 0; row < rows.size(); ++row) {
        QStringList cells;
        for (int column = 0; column < table->columnCount(); ++column)
            cells << table->item(row, column)->text();
        QCOMPARE(cells, rows[row]);
    }
}

QTEST_MAIN(TestPopUps)
#include "tst_popups.moc"
