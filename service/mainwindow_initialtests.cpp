// The service menu's acceptance tests: selection, one lane run after the other, the
// evaluation of each step on the results page, the results file and the test's button colour.
// A lane run is an ordinary production run; the tests add the valve pattern, the run-log
// path and the timer that ends the run.
#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "platform/commands.h"
#include "platform/platform.h"
#include "records/durablefile.h"
#include "records/runmode.h"
#include "service/initialtest.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QTimer>

namespace {
// Lets the vessel and the lines settle between two lane runs.
constexpr int kNextLanePauseMs = 10000;

const char *const kMark = "X";
} // namespace

QList<QPushButton *> MainWindow::testButtons() const
{
    // Indexed by the test type.
    return {ui->pushButton_close_run_test, ui->pushButton_open_run_test,
            ui->pushButton_blocked_cartridge_test, ui->pushButton_drawer_test,
            ui->pushButton_pump_test};
}

void MainWindow::setUpInitialTests()
{
    const QList<QPushButton *> buttons = testButtons();
    for (int type = 0; type < buttons.size(); ++type)
        connectButton(buttons[type], [this, type] { selectInitialTest(type); });
    connect(testTimer, &QTimer::timeout, this, [this] { testResults(); });
    nextLaneTimer = new QTimer(this);
    nextLaneTimer->setSingleShot(true);
    nextLaneTimer->setObjectName("nextLaneTimer");
    connect(nextLaneTimer, &QTimer::timeout, this, [this] { nextLaneTest(); });
    pumpTestVentTimer = new QTimer(this);
    pumpTestVentTimer->setSingleShot(true);
    pumpTestVentTimer->setObjectName("pumpTestVentTimer");
    connect(pumpTestVentTimer, &QTimer::timeout, this, [this] {
        pumpTestClock.start();
        setState(MenuState::Pressurizing);
    });
    connectButton(ui->pushButton_testResults_back, [this] {
        setState(MenuState::ServiceMenu);
        clearTestResults();
    });
}

void MainWindow::selectInitialTest(int type)
{
    // Marks that a test ended by an error left behind belong to no test any more.
    clearTestResults();
    initialTestType = type;
    testLane = initialtest::firstLane(type);
    initialTestActive = true;
    testResultList.clear();
    if (initialtest::isRunTest(type))
        runMode = runmode::kDpcr;
    const QStringList names = initialtest::rowNames(type);
    for (int row = 1; row <= initialtest::kRowCount; ++row)
        ui->testResults_screen->findChild<QLabel *>(QString("label_task_%1").arg(row))
                ->setText(names[row - 1]);
    askQuestion(
            initialtest::confirmationText(type), "Do you want to proceed?",
            [this] { startConfirmedInitialTest(); }, [this] { initialTestActive = false; });
}

void MainWindow::startLaneTest()
{
    testLaneMask = initialtest::laneMask(initialTestType, testLane);
    if (testLane < initialtest::kAllLanes)
        qDebug().noquote() << " lanes" << initialtest::laneMaskText(initialTestType, testLane);
    pumpOnCount = 0;
    testTimer->start(initialtest::laneDurationMs(initialTestType));
    setState(MenuState::RampUp);
}

bool MainWindow::ensureTestLogDirectory()
{
    if (QDir(platform::path(QString(initialtest::kLogDirectory))).exists())
        return true;
    if (platform::makeDirectory(platform::path(std::string(initialtest::kLogDirectory))) != 0) {
        qDebug() << "Initial test logging denied: unable to create directory";
        return false;
    }
    qDebug().noquote() << "Directory" << initialtest::kLogDirectory << "created";
    // The results written into it must not vanish with an unsynced directory entry.
    syncDirectoryOf(platform::path(QString(initialtest::kLogDirectory)));
    return true;
}

void MainWindow::setTestRunLogPath(const QDateTime &start)
{
    // Without the directory the lane run keeps no log, rather than overwriting the log of
    // the run before it.
    if (ensureTestLogDirectory())
        runLogPath = initialtest::laneLogPath(initialTestType, testLane, productionId, start);
    else
        runLogPath.clear();
}

void MainWindow::testResults()
{
    ui->stackedWidget->setCurrentWidget(ui->testResults_screen);
    const QString name = initialtest::typeName(initialTestType);
    initialtest::StepMeasurement step;
    step.pumpOnCount = pumpOnCount;
    if (initialtest::isRunTest(initialTestType)) {
        // The timer may end the run before its ramp is through.
        for (QTimer *timer : {preRampTimer, dpcrRampTimer, dmdaRampTimer, rampProgressTimer1,
                              rampProgressTimer2, rampProgressTimer3})
            timer->stop();
        finishRun();
        testEndVesselPressure = vesselPressure;
        step.startVesselMbar = testStartVesselPressure;
        step.endVesselMbar = testEndVesselPressure;
    } else if (initialTestType == initialtest::PUMP_TEST) {
        step.pumpTestMs = pumpTestClock.elapsed();
    } else if (initialTestType != initialtest::DRAWER_TEST) {
        qDebug() << "testResults(): undefined initial test type";
        return;
    }
    ui->label_test_results->setText("Test Results for "
                                    + initialtest::displayName(initialTestType));
    const bool passed = initialtest::stepPassed(initialTestType, step);
    if (initialtest::isRunTest(initialTestType))
        qDebug().noquote() << (initialTestType == initialtest::CLOSE_RUN_TEST ? name
                                                                              : name + ": \t")
                           << testLane << "Passed? " << (passed ? "true" : "false");

    testResultList.append(passed);
    const QString row = QString("label_task_%1_").arg(testLane + 1);
    ui->testResults_screen->findChild<QLabel *>(row + (passed ? "ok" : "nok"))->setText(kMark);
    ++testLane;
    if (testLane < initialtest::kRowCount) {
        showButton(ui->pushButton_testResults_back, false);
        nextLaneTimer->start(kNextLanePauseMs);
        return;
    }
    writeTestResults();
    updateTestButtonStyle();
    // The instrument is idle again: the run's blue light would say otherwise.
    emit ledOutput(I2C_LedControl::LED_GREEN);
    showMessage(initialtest::displayName(initialTestType) + " completed", "");
    showButton(ui->pushButton_testResults_back, true);
}

void MainWindow::nextLaneTest()
{
    qDebug() << "Next run";
    if (initialTestType == initialtest::BLOCKED_CARTRIDGE_TEST)
        setState(MenuState::OpenDrawer);
    else if (vesselPressureMax == 1)
        startLaneTest();
    else
        setState(MenuState::Pressurizing);
}

void MainWindow::stopInitialTest()
{
    initialTestActive = false;
    testTimer->stop();
    nextLaneTimer->stop();
    pumpTestVentTimer->stop();
}

void MainWindow::clearTestResults()
{
    for (int row = 1; row <= initialtest::kRowCount; ++row) {
        for (const char *column : {"ok", "nok"})
            ui->testResults_screen
                    ->findChild<QLabel *>(QString("label_task_%1_%2").arg(row).arg(column))
                    ->clear();
    }
    stopInitialTest();
}

void MainWindow::writeTestResults()
{
    // The drawer and pump tests run no lane: their directory may not exist yet.
    ensureTestLogDirectory();
    const QString path = initialtest::resultsFilePath(initialTestType);
    // Shown to the operator as done: on the medium whole, or the previous results whole.
    if (!replaceDurably(platform::path(path),
                        initialtest::resultsText(initialTestType, testResultList)))
        qDebug().noquote() << "Initial test results not written:" << path;
}

void MainWindow::updateTestButtonStyle()
{
    const QList<QPushButton *> buttons = testButtons();
    if (initialTestType < 0 || initialTestType >= buttons.size())
        return;
    buttons[initialTestType]->setStyleSheet(
            initialtest::allMarkedRowsOk(initialTestType, testResultList) ? rectGreenStyle
                                                                          : rectRedStyle);
}
