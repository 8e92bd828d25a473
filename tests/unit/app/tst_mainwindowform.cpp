// The designer form: its 27 pages in order, and texts that fit their widgets on the screen.
#include "support/instrument.h"
#include "ui/clickablelabel.h"

#include <QAbstractButton>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QStackedWidget>
#include <QStatusBar>
#include <QtTest>

namespace {
constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 600;
// A line's height includes the leading below it: two lines may touch a borderless edge.
constexpr int kLeadingTolerancePx = 2;

const QStringList kPages
        = QString("vesselPressureScreen HomeScreen OpenScreen ModeSelectionScreen "
                  "LaneSelectionScreen PreRampScreen PressureRampScreen RunningScreen "
                  "DropletsReadyScreen StopScreen SettingsScreen SettingsMenuScreen serviceMenu "
                  "testResults_screen SettingsMenuScreen_2 saveSettingsScreen "
                  "CalibrationStartScreen CalibrationOpenScreen CalibrationInsertScreen "
                  "CalibrationInProgressScreen CalibrationReadyScreen CalibrationFinishedScreen "
                  "CalibrationCancelScreen swUpdateScreen swUpdateScreen_main shutDown_Screen "
                  "errorScreen")
                  .split(' ');

QSize textSize(const QWidget *widget, const QString &text)
{
    return widget->fontMetrics().size(0, text);
}
// Round buttons (radius half the side) hold their text in the inscribed circle.
bool textFitsButton(const QAbstractButton *button, const QSize &text)
{
    const bool round = button->styleSheet().contains(
            QString("border-radius: %1px").arg(button->width() / 2));
    if (!round)
        return text.width() <= button->width()
                && text.height() <= button->height() + kLeadingTolerancePx;
    const double radius = button->width() / 2.0;
    const double halfWidth = text.width() / 2.0;
    const double halfHeight = (text.height() - kLeadingTolerancePx) / 2.0;
    return halfWidth * halfWidth + halfHeight * halfHeight <= radius * radius;
}
} // namespace

class TestMainWindowForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pages_inOrderWithPressurizingCurrent();
    void pages_textsFitTheirWidgets_data();
    void pages_textsFitTheirWidgets();
    void errorList_backButtonClearOfTheStatusBar();
};

void TestMainWindowForm::initTestCase()
{
    // The instrument's own font, as the program loads it, so that widths are the screen's.
    QVERIFY(QFontDatabase::addApplicationFont(":/fonts/Open_Sans/OpenSans-Regular.ttf") >= 0);
}

void TestMainWindowForm::pages_inOrderWithPressurizingCurrent()
{
    testwindow::Instrument instrument;
    auto *stack = instrument.widget<QStackedWidget>("stackedWidget");
    QStringList pages;
    for (int i = 0; i < stack->count(); ++i)
        pages << stack->widget(i)->objectName();
    QCOMPARE(pages, kPages);
    QCOMPARE(stack->currentWidget()->objectName(), QString("vesselPressureScreen"));
    QVERIFY(instrument.widget("dropletAnimation")->inherits("DropletAnimation"));
    QVERIFY(instrument.widget("label_err_reference_input")->inherits("ClickableLabel"));
}

void TestMainWindowForm::pages_textsFitTheirWidgets_data()
{
    QTest::addColumn<QString>("page");
    for (const QString &page : kPages)
        QTest::newRow(qPrintable(page)) << page;
}

void TestMainWindowForm::pages_textsFitTheirWidgets()
{
    QFETCH(QString, page);
    testwindow::Instrument instrument;
    MainWindow &window = *instrument.window;
    window.setFixedSize(kScreenWidth, kScreenHeight);
    window.show();
    auto *stack = window.findChild<QStackedWidget *>("stackedWidget");
    QWidget *shown = stack->findChild<QWidget *>(page);
    stack->setCurrentWidget(shown);
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // Set VEMLA_PAGE_SHOTS to a directory to look at the pages.
    const QString shots = qEnvironmentVariable("VEMLA_PAGE_SHOTS");
    if (!shots.isEmpty()) {
        QDir().mkpath(shots);
        window.grab().save(shots + "/" + page + ".png");
    }

    for (QLabel *label : shown->findChildren<QLabel *>()) {
        if (label->text().isEmpty() || label->wordWrap())
            continue;
        const QSize needed = textSize(label, label->text());
        QVERIFY2(needed.width() <= label->width() && needed.height() <= label->height(),
                 qPrintable(QString("%1 clips \"%2\": needs %3x%4, has %5x%6")
                                    .arg(label->objectName(), label->text())
                                    .arg(needed.width())
                                    .arg(needed.height())
                                    .arg(label->width())
                                    .arg(label->height())));
    }
    for (QAbstractButton *button : shown->findChildren<QAbstractButton *>()) {
        if (button->objectName().isEmpty()) // parts of composite widgets (a table's corner)
            continue;
        const QSize needed = textSize(button, button->text());
        QVERIFY2(textFitsButton(button, needed),
                 qPrintable(QString("%1 clips \"%2\": needs %3x%4, has %5x%6")
                                    .arg(button->objectName(), button->text())
                                    .arg(needed.width())
                                    .arg(needed.height())
                                    .arg(button->width())
                                    .arg(button->height())));
    }
    for (QWidget *child : shown->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        const QRect onPage = child->geometry();
        QVERIFY2(shown->rect().contains(onPage),
                 qPrintable(child->objectName() + " leaves the page"));
    }
}

void TestMainWindowForm::errorList_backButtonClearOfTheStatusBar()
{
    testwindow::Instrument instrument;
    MainWindow &window = *instrument.window;
    window.setFixedSize(kScreenWidth, kScreenHeight);
    window.move(0, 0);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    emit window.systemError(ERROR_UNDEFINED);
    emit instrument.widget<ClickableLabel>("label_err_reference_input")->clicked();
    QWidget *list = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top->objectName() == "ErrorPopUp")
            list = top;
    }
    QVERIFY(list && list->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(list));

    // The version line stays visible along the bottom, under the list laid over the window.
    auto *bar = instrument.widget<QStatusBar>("statusBar");
    auto *version = instrument.widget<QLabel>("versionLabel");
    QVERIFY(bar->isVisible());
    QCOMPARE(version->text(), QString("Version 1.3.0"));
    auto *back = list->findChild<QWidget *>("pushButton_errorPopUp_back");
    const QRect backOnScreen(back->mapToGlobal(QPoint()), back->size());
    const QRect barOnScreen(bar->mapToGlobal(QPoint()), bar->size());
    QVERIFY2(backOnScreen.bottom() < barOnScreen.top(),
             qPrintable(QString("Back ends at y %1, the status bar starts at y %2")
                                .arg(backOnScreen.bottom())
                                .arg(barOnScreen.top())));
}

QTEST_MAIN(TestMainWindowForm)
#include "tst_mainwindowform.moc"
