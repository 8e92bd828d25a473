#include "mainwindow.h"

#include "ui_mainwindow.h"

#include "hw/buttonhandler.h"
#include "hw/drawer.h"
#include "hw/gpio.h"
#include "hw/hardwareversion.h"
#include "menunames.h"
#include "platform/platform.h"
#include "records/appsettings.h"
#include "records/systemlog.h"
#include "softwareversion.h"
#include "windowstyles.h"

#include <QApplication>
#include <QDebug>
#include <QLabel>
#include <QTimer>

namespace {
// Low time of the start-up pulse on GPIO 89, the pump motor's line (hw/pump.h).
constexpr unsigned long kGpio89PulseMs = 5;
constexpr int kLaneCount = 8;
} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent),
      ui(new Ui::MainWindow),
      writer(menuName),
      errorLogPath("/usr/share/vemla/logs/errors.log")
{
    fillStyleStrings();
    // The two style sheets come before the form: set afterwards, each one polished all the
    // widgets of the 27 pages anew before the first state (some 20 ms of start-up).
    setStyleSheet("MainWindow {background-image: "
                  "url(:/images/background-image/korvand_background.png);}");
    qApp->setStyleSheet("QStatusBar::item { border: 0px solid black; }");
    ui->setupUi(this);
    QApplication::setFont(QFont("Open Sans", 16));
    setAttribute(Qt::WA_AcceptTouchEvents);

    pulseGpio89();

    createPopUps();
    createTimers();

    ui->pushButton_sw_update->setStyleSheet(roundTransparentStyle);
    ui->pushButton_sw_update->setEnabled(false);

    for (int lane = 1; lane <= kLaneCount; ++lane)
        laneSelection.insert(QString("lane_%1").arg(lane), false);

    makePagesTranslucent();
    setUpStatusBar();
    loadPressureSettings();

    hardwareVersion = readHardwareVersion();

    connectDevices();

    connectPowerButton();
    connectPopUps();

    emit initPump();
    emit drawerInit();
    emit ledInit();
    emit temperatureInit();
    emit valveInit();

    state = MenuState::Initializing;
    decideStartUp();

    setUpDrawerButtons();
    setUpModeAndLaneButtons();
    setUpRunStartButtons();
    setUpRunEndButtons();
    setUpSettingsPasswordButtons();
    setUpPressureTimers();
    setUpServiceMenu();
    setUpErrorScreen();
    setUpInitialTests();
    setUpCalibration();
    setUpSettingsMenu();
    setUpPressureEditor();
    connectUsb();
}

MainWindow::~MainWindow()
{
    const QList<QThread *> threads = deviceThreads();
    for (QThread *thread : threads)
        thread->quit();
    // A QThread destroyed while its loop still runs aborts the process.
    for (QThread *thread : threads)
        thread->wait();
    deletePopUps();
    delete buttonHandler;
    delete ui;
}

void MainWindow::fillStyleStrings()
{
    progressBlueStyle = windowstyles::progressBlue();
    progressGreenStyle = windowstyles::progressGreen();
    progressStepStyle = windowstyles::progressStep();
    roundTransparentStyle = windowstyles::roundTransparent();
    roundBlueStyle = windowstyles::roundBlue();
    roundGreenStyle = windowstyles::roundGreen();
    roundRedBigStyle = windowstyles::roundRedBig();
    roundGreyStyle = windowstyles::roundGrey();
    rectBlueStyle = windowstyles::rectBlue();
    rectGreenStyle = windowstyles::rectGreen();
    rectRedStyle = windowstyles::rectRed();
    rectGreyStyle = windowstyles::rectGrey();
    statusLabelStyle = windowstyles::statusLabel();
}

void MainWindow::pulseGpio89()
{
    // GPIO 89 drives the pump motor. The pulse leaves it high before the pump exists; the pump
    // drives it low when it takes the line over, so the motor does not run unasked. The line
    // pulsed is 89, so 89 is the line exported: its attribute files exist only then.
    GPIO::exportPin("89");
    GPIO::setDirection("out", gpio89DirectionPath);
    GPIO::writeValue("0", gpio89ValuePath);
    QThread::msleep(kGpio89PulseMs);
    GPIO::writeValue("1", gpio89ValuePath);
}

void MainWindow::createTimers()
{
    setPressureWatchdog = new QTimer(this);
    readPressureWatchdog = new QTimer(this);
    setPressureWatchdog->setObjectName("setPressureWatchdog");
    readPressureWatchdog->setObjectName("readPressureWatchdog");
    temperatureTimer = new QTimer(this);
    pressurizingTimer = new QTimer(this);
    shutdownTimer = new QTimer(this);
    productionTimer = new QTimer(this);
    dateTimeTimer = new QTimer(this);
    preRampTimer = new QTimer(this);
    dpcrRampTimer = new QTimer(this);
    dmdaRampTimer = new QTimer(this);
    rampProgressTimer1 = new QTimer(this);
    rampProgressTimer2 = new QTimer(this);
    rampProgressTimer3 = new QTimer(this);
    testTimer = new QTimer(this);
    testTimer->setSingleShot(true);
    // Named: a test fires a lane run's end instead of waiting half an hour for it.
    testTimer->setObjectName("testTimer");

    connect(pressurizingTimer, &QTimer::timeout, this, &MainWindow::checkPressurizing);
    connect(shutdownTimer, &QTimer::timeout, this, &MainWindow::shutdownStep);
    connect(productionTimer, &QTimer::timeout, this, &MainWindow::dropletProduction);
    connect(dateTimeTimer, &QTimer::timeout, this, &MainWindow::onShowDateAndTimeTimeout);
}

void MainWindow::makePagesTranslucent()
{
    ui->centralWidget->setAttribute(Qt::WA_TranslucentBackground);
    ui->stackedWidget->setAttribute(Qt::WA_TranslucentBackground);
    for (QWidget *page : {ui->vesselPressureScreen,
                          ui->HomeScreen,
                          ui->OpenScreen,
                          ui->ModeSelectionScreen,
                          ui->LaneSelectionScreen,
                          ui->PreRampScreen,
                          ui->PressureRampScreen,
                          ui->RunningScreen,
                          ui->DropletsReadyScreen,
                          ui->StopScreen,
                          ui->SettingsScreen,
                          ui->SettingsMenuScreen,
                          ui->serviceMenu,
                          ui->SettingsMenuScreen_2,
                          ui->saveSettingsScreen,
                          ui->swUpdateScreen,
                          ui->swUpdateScreen_main,
                          ui->shutDown_Screen,
                          ui->errorScreen,
                          ui->CalibrationStartScreen,
                          ui->CalibrationOpenScreen,
                          ui->CalibrationInsertScreen,
                          ui->CalibrationInProgressScreen,
                          ui->CalibrationReadyScreen,
                          ui->CalibrationFinishedScreen,
                          ui->CalibrationCancelScreen})
        page->setAttribute(Qt::WA_TranslucentBackground);
}

void MainWindow::setUpStatusBar()
{
    statusLabelLeft = new QLabel(this);
    versionLabel = new QLabel(this);
    pressureTextLabel = new QLabel(this);
    pressureValueLabel = new QLabel(this);
    statusLabelRight = new QLabel(this);
    // Named like the members, so that the labels can be found from outside the window.
    statusLabelLeft->setObjectName("statusLabelLeft");
    versionLabel->setObjectName("versionLabel");
    pressureTextLabel->setObjectName("pressureTextLabel");
    pressureValueLabel->setObjectName("pressureValueLabel");
    statusLabelRight->setObjectName("statusLabelRight");
    for (QLabel *label :
         {statusLabelLeft, versionLabel, pressureTextLabel, pressureValueLabel, statusLabelRight})
        label->setStyleSheet(statusLabelStyle);

    versionLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    versionLabel->setFrameStyle(QFrame::NoFrame);
    versionLabel->setText(QString("Version ") + kSoftwareVersion);
    pressureTextLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    pressureTextLabel->setText(displayPressure ? "Pressure: " : "");
    pressureValueLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    pressureValueLabel->setFrameStyle(QFrame::NoFrame);

    ui->statusBar->addWidget(statusLabelLeft, 10);
    ui->statusBar->addWidget(versionLabel, 40);
    ui->statusBar->addWidget(pressureTextLabel, 35);
    ui->statusBar->addWidget(pressureValueLabel, 5);
    ui->statusBar->addWidget(statusLabelRight, 10);
}

void MainWindow::decideStartUp()
{
    AppSettings settings;
    productionId = settings.loadProductionSetting(AppSettings::PRODUCTION_ID);

    // A 0 means the previous boot ended without its journal saved (power cut, crash, failed
    // capture): it is captured now. The flag stays 0 until this boot's shutdown saves its own.
    if (settings.loadSystemSetting(AppSettings::SYSTEM_LOG) == 0) {
        if (saveSystemLog(systemlog::kPreviousBoot))
            qDebug("Writing system log from previous boot: Successful");
        else
            qDebug("Writing system log from previous boot: Failed");
    } else {
        settings.saveSystemSetting(AppSettings::SYSTEM_LOG, 0);
    }

    if (settings.loadDrawerSetting(AppSettings::DRAWER_STATE) == 0) {
        if (settings.loadSystemSetting(AppSettings::SYSTEM_ERROR) == 0)
            setState(MenuState::InitialPressurizing);
        else
            emit systemError(ERROR_PREVIOUS);
    } else {
        // Power was lost with the drawer out or moving: its position is unknown, and so is the
        // vessel's pressure (its seals may have lost much of it) until the pump's first report.
        if (drawer)
            drawer->setPositionUnknown(true);
        vesselPressure = 0;
        emit systemError(ERROR_UNEXPECTED_SHUTDOWN);
    }
}

void MainWindow::connectButton(QPushButton *button, std::function<void()> action)
{
    connect(
            button, &QAbstractButton::clicked, button, [action = std::move(action)] { action(); },
            Qt::DirectConnection);
}

void MainWindow::onPumpEnabled()
{
    pumpEnabled = true;
    if (initialTestActive)
        ++pumpOnCount;
    qDebug().noquote() << "*************Pump Enabled************"
                       << (pumpEnabled ? "true" : "false");
}

void MainWindow::onPumpDisabled()
{
    pumpEnabled = false;
    if (pumpStopRequested)
        emit stopPumpAutoStart();
}

void MainWindow::saveTemperature(int8_t currentTemperature)
{
    this->currentTemperature = currentTemperature;
}
