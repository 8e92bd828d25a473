// The message pop-up, the error list and the clickable label: what the main window sees of
// them (signals, modes, table cells) and how they sit on the screen.
#include "ui/clickablelabel.h"
#include "ui/errorpopup.h"
#include "ui/licensepopup.h"
#include "ui/popup.h"
#include "ui/settingspopup.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(std::vector<std::string>)

namespace {

const char *const kRunRecord = "20240131-142501|Running menu|6|Insufficient system pressure|"
                               "/usr/share/vemla/logs/errors.log|1.3.0|42|"
                               "/usr/share/vemla/logs/production/42.log|1400|300|310|320|"
                               "10110000";
const char *const kIdleRecord = "20240131-090000|Home menu|1|Drawer is stuck inside|"
                                "/usr/share/vemla/logs/errors.log|1.3.0";

QStringList rowTexts(QTableWidget *table, int row)
{
    QStringList cells;
    for (int column = 0; column < table->columnCount(); ++column) {
        QTableWidgetItem *item = table->item(row, column);
        cells << (item ? item->text() : QString());
    }
    return cells;
}

struct Buttons
{
    bool yes, ok, no;
};

void checkButtons(PopUp &popUp, Buttons expected)
{
    const std::pair<const char *, bool> buttons[] = {{"pushButton_popUp_yes", expected.yes},
                                                     {"pushButton_popUp_ok", expected.ok},
                                                     {"pushButton_popUp_no", expected.no}};
    for (const auto &[name, available] : buttons) {
        auto *button = popUp.findChild<QPushButton *>(name);
        QVERIFY2(button->isEnabled() == available, name);
        QVERIFY2(button->isVisibleTo(&popUp) == available, name);
    }
}

} // namespace

class TestPopUps : public QObject
{
    Q_OBJECT

private slots:
    void overlays_areFramelessScreenSizedTopLevels_data();
    void overlays_areFramelessScreenSizedTopLevels();
    void popUp_modesShowOnlyTheirButtons();
    void popUp_buttonsEmitTheirSignal_data();
    void popUp_buttonsEmitTheirSignal();
    void popUp_setTextChangesOnlyLinesOneAndTwo();
    void errorPopUp_fillsShownFields_data();
    void errorPopUp_fillsShownFields();
    void errorPopUp_headerAndBack();
    void clickableLabel_pressEmitsClickedOnce();
};

void TestPopUps::overlays_areFramelessScreenSizedTopLevels_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QSize>("size");
    QTest::newRow("PopUp") << "PopUp" << QSize(1024, 600);
    QTest::newRow("ErrorPopUp") << "ErrorPopUp" << QSize(1024, 600);
    QTest::newRow("LicensePopUp") << "LicensePopUp" << QSize(1024, 600);
    // The keypad leaves the status bar visible.
    QTest::newRow("settingsPopUp") << "settingsPopUp" << QSize(1024, 578);
}

void TestPopUps::overlays_areFramelessScreenSizedTopLevels()
{
    QFETCH(QString, kind);
    QFETCH(QSize, size);
    std::unique_ptr<QWidget> overlay;
    if (kind == "PopUp")
        overlay = std::make_unique<PopUp>(nullptr);
    else if (kind == "ErrorPopUp")
        overlay = std::make_unique<ErrorPopUp>(nullptr);
    else if (kind == "LicensePopUp")
        overlay = std::make_unique<LicensePopUp>(nullptr);
    else
        overlay = std::make_unique<settingsPopUp>(nullptr);

    const Qt::WindowFlags flags = overlay->windowFlags();
    QVERIFY(flags.testFlag(Qt::Tool));
    QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
    QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(overlay->testAttribute(Qt::WA_TranslucentBackground));
    QVERIFY(overlay->testAttribute(Qt::WA_ShowWithoutActivating));
    QCOMPARE(overlay->minimumSize(), size);
    QCOMPARE(overlay->maximumSize(), size);
    overlay->show();
    QCOMPARE(overlay->geometry(), QRect(QPoint(0, 0), size));
    QVERIFY(overlay->isWindow());
}

void TestPopUps::popUp_modesShowOnlyTheirButtons()
{
    PopUp popUp;
    popUp.setYesNoMode();
    checkButtons(popUp, {true, false, true});
    popUp.setOkMode();
    checkButtons(popUp, {false, true, false});
    // While logs are copied "Ok" is withdrawn, and given back when the copy ends.
    popUp.setOkEnabled(false);
    checkButtons(popUp, {false, false, false});
    popUp.setOkEnabled(true);
    checkButtons(popUp, {false, true, false});
    popUp.setYesNoMode();
    popUp.setOkMode();
    checkButtons(popUp, {false, true, false});
}

void TestPopUps::popUp_buttonsEmitTheirSignal_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QVector<int>>("counts"); // ok, yes, no
    QTest::newRow("Ok") << "pushButton_popUp_ok" << QVector<int> {1, 0, 0};
    QTest::newRow("Yes") << "pushButton_popUp_yes" << QVector<int> {0, 1, 0};
    QTest::newRow("No") << "pushButton_popUp_no" << QVector<int> {0, 0, 1};
}

void TestPopUps::popUp_buttonsEmitTheirSignal()
{
    QFETCH(QString, button);
    QFETCH(QVector<int>, counts);
    PopUp popUp;
    popUp.setYesNoMode();
    popUp.setOkEnabled(true);
    popUp.show();
    QSignalSpy ok(&popUp, &PopUp::popUpOkPressed);
    QSignalSpy yes(&popUp, &PopUp::popUpYesPressed);
    QSignalSpy no(&popUp, &PopUp::popUpNoPressed);
    auto *target = popUp.findChild<QPushButton *>(button);
    QTest::mouseClick(target, Qt::LeftButton);
    QCOMPARE((QVector<int> {ok.count(), yes.count(), no.count()}), counts);
    // The pop-up never closes itself: the main window decides.
    QVERIFY(popUp.isVisible());
}

void TestPopUps::popUp_setTextChangesOnlyLinesOneAndTwo()
{
    PopUp popUp;
    auto *line1 = popUp.findChild<QLabel *>("label_popUp_line1");
    auto *line2 = popUp.findChild<QLabel *>("label_popUp_line2");
    QCOMPARE(line1->text(), "Wrong password");
    QCOMPARE(line2->text(), "Please enter the correct password");

    popUp.setText("This will release the system pressure.", 1);
    popUp.setText("Do you want to proceed?", 2);
    popUp.setText("ignored", 3);
    popUp.setText("ignored", 0);
    popUp.setText("ignored", -1);
    QCOMPARE(line1->text(), "This will release the system pressure.");
    QCOMPARE(line2->text(), "Do you want to proceed?");
    popUp.setText("", 2);
    QCOMPARE(line2->text(), "");
    QVERIFY(line1->testAttribute(Qt::WA_TranslucentBackground));
}

void TestPopUps::errorPopUp_fillsShownFields_data()
{
    QTest::addColumn<std::vector<std::string>>("lines");
    QTest::addColumn<QList<QStringList>>("rows");

    QTest::newRow("no errors") << std::vector<std::string> {} << QList<QStringList> {};
    QTest::newRow("error during a run")
            << std::vector<std::string> {kRunRecord}
            << QList<QStringList> {{"20240131-142501", "Running menu", "6",
                                    "Insufficient system pressure", "1.3.0", "42"}};
    QTest::newRow("error outside a run leaves run id empty")
            << std::vector<std::string> {kIdleRecord}
            << QList<QStringList> {{"20240131-090000", "Home menu", "1", "Drawer is stuck inside",
                                    "1.3.0", ""}};
    QTest::newRow("unknown code and short line")
            << std::vector<std::string> {"20240131-090000|<NOT FOUND>|<NOT FOUND>|<NOT FOUND>"}
            << QList<QStringList> {
                       {"20240131-090000", "<NOT FOUND>", "<NOT FOUND>", "<NOT FOUND>", "", ""}};
    QTest::newRow("newest first, as delivered")
            << std::vector<std::string> {kRunRecord, kIdleRecord, ""}
            << QList<QStringList> {
                       {"20240131-142501", "Running menu", "6", "Insufficient system pressure",
                        "1.3.0", "42"},
                       {"20240131-090000", "Home menu", "1", "Drawer is stuck inside", "1.3.0", ""},
                       {"", "", "", "", "", ""}};
}

void TestPopUps::errorPopUp_fillsShownFields()
{
    QFETCH(std::vector<std::string>, lines);
    QFETCH(QList<QStringList>, rows);

    ErrorPopUp popUp;
    auto *table = popUp.findChild<QTableWidget *>();
    // A refill replaces what the last error menu showed.
    popUp.setErrors({kRunRecord, kRunRecord, kRunRecord, kIdleRecord});
    popUp.setErrors(lines);
    QCOMPARE(table->rowCount(), rows.size());
    for (int row = 0; row < rows.size(); ++row)
        QCOMPARE(rowTexts(table, row), rows[row]);
}

void TestPopUps::errorPopUp_headerAndBack()
{
    ErrorPopUp popUp;
    auto *table = popUp.findChild<QTableWidget *>();
    QStringList titles;
    for (int column = 0; column < table->columnCount(); ++column)
        titles << table->horizontalHeaderItem(column)->text();
    QCOMPARE(titles, (QStringList {"Time", "Last menu", "Code", "Error", "Software", "Run ID"}));
    const int widths[] = {180, 280, 70, 300, 90, 80};
    for (int column = 0; column < table->columnCount(); ++column)
        QCOMPARE(table->columnWidth(column), widths[column]);
    QCOMPARE(popUp.findChild<QLabel *>("label_errorPopUp_title")->text(), "Latest errors");

    QSignalSpy back(&popUp, &ErrorPopUp::backPressed);
    popUp.show();
    QTest::mouseClick(popUp.findChild<QPushButton *>("pushButton_errorPopUp_back"), Qt::LeftButton);
    QCOMPARE(back.count(), 1);
}

void TestPopUps::clickableLabel_pressEmitsClickedOnce()
{
    QWidget page;
    ClickableLabel label(&page);
    label.setText("/usr/share/vemla/logs/errors.log");
    page.show();
    QSignalSpy clicked(&label, &ClickableLabel::clicked);
    QTest::mousePress(&label, Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);
    QTest::mouseRelease(&label, Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);
    QTest::mouseClick(&label, Qt::LeftButton);
    QCOMPARE(clicked.count(), 2);
}

QTEST_MAIN(TestPopUps)
#include "tst_popups.moc"
