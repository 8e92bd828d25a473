#pragma once

#include "app/menunames.h"
#include "app/passwordentry.h"
#include "app/popupquestion.h"
#include "hw/i2c_ledcontrol.h"
#include "pressure/runpressure.h"
#include "records/diskqueue.h"
#include "records/errorcode.h"
#include "records/errorlogentry.h"
#include "records/storage.h"
#include "records/writer.h"
#include "ui/dateformat.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include <QElapsedTimer>
#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QString>
#include <QThread>
#include <QVector>

class QDateTime;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

class PopUp;
class ErrorPopUp;
class settingsPopUp;
class LicensePopUp;
class Drawer;
class Fan;
class Pump;
class I2C_InternalTemp;
class I2C_ValveControl;
class ConfigHandler;
class EpcControl;
class LogExporter;
class RunCounters;
class ButtonHandler;
class QFileSystemWatcher;

namespace Ui {
class MainWindow;
}

// The instrument's one window: the form of 27 pages, the menu state machine and the owner of
// every device object. Devices live in worker threads and are reached only through the signals
// below (queued); their answers come back as queued calls of the slots.
//
// The meta-object holds exactly the signals and slots below, in this order; every other
// handler is a plain member connected with a function pointer or a lambda.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Plain accessors for whoever observes the instrument from outside the screen (the
    // simulator's scenario runner). They are deliberately not part of the meta-object.
    int menuState() const { return state; }
    // Installed before the window is built, so that the first states are seen too.
    using StateObserver = std::function<void(int state)>;
    static void setStateObserver(StateObserver observer) { stateObserver = std::move(observer); }
    void setStartingUp(bool value) { startingUp = value; }
    // The drawer object, so that an observer can stand in for its answers.
    Drawer *drawerDevice() const { return drawer; }
    // The pump object, so that an observer can stand in for its reports.
    Pump *pumpDevice() const { return pump; }

    void setState(int newState);

signals:
    void setPressure(int pressureValue_1, int pressureValue_2, int pressureValue_3);
    void readPressure(bool contReading);
    void initEpc();
    void initPump();
    void disablePumpAutoStart();
    void enablePump();
    void disablePump();
    void pressureRelease();
    void stopPumpAutoStart();
    void startPumpAutoStart();
    void ledReset();
    void ledInit();
    void ledOutput(I2C_LedControl::LedColor color);
    void temperatureInit();
    void fanStart(int pwmDuty);
    void fanStop();
    void valveInit();
    void valveOutput(uint8_t outputPins);
    void drawerInit();
    void drawerMove(int value);
    void drawerForce(int value);
    void drawerLogEnabled(int);
    void drawerLogDisabled();
    void drawerUpdateSettings();
    void enableDrawerCalibration();
    void enableTemporaryHighThreshold();
    void logExportRun();
    void playAnimation();
    void stopAnimation();
    void systemError(ErrorCode err);

private slots:
    void saveTemperature(int8_t currentTemperature);
    void channel_1_value(uint16_t value);
    void channel_2_value(uint16_t value);
    void channel_3_value(uint16_t value);
    void onSetPressureDone();
    void onReadPressureDone();
    void updateCurrentPressure(uint16_t pressureVal, int pressureMax);
    void dropletProduction();
    void onPopUpOkPressed();
    void onPopUpYesPressed();
    void onPopUpNoPressed();
    void onErrorPopUpBackPressed();
    void onPbSettingsGenInfoPressed();
    void onPbSettingsTdPressed();
    void onPbSettingsLanguagePressed();
    void onPbSettingsAdvancedPressed();
    void onPbSettingsAboutPressed();
    void onShowDateAndTimeTimeout();
    void onLicensePopUpOkPressed();
    void onChangeStatusLabel(QString info);
    void checkAndReleasePressure();

private:
    // --- construction and wiring (mainwindow.cpp)
    void fillStyleStrings();
    void pulseGpio89();
    void createPopUps();
    void deletePopUps();
    void createTimers();
    void setUpStatusBar();
    void makePagesTranslucent();
    void decideStartUp();
    void connectPopUps();
    // Button wiring: every button's clicked goes, with the button as context, to one action.
    void connectButton(QPushButton *button, std::function<void()> action);
    void setUpDrawerButtons();
    void setUpModeAndLaneButtons();
    void setUpRunStartButtons();
    void setUpRunEndButtons();
    void setUpSettingsPasswordButtons();
    void setUpErrorScreen();
    void setUpServiceMenu();
    void setUpCalibration();
    void setUpSettingsMenu();
    void onPumpEnabled();
    void onPumpDisabled();

    // --- menu states and pop-up questions (mainwindow_states.cpp)
    void setSystemMode(const QString &mode);
    void showCalibrationPage(QWidget *page, QProgressBar *steps, int step);
    void runPendingDrawerAction();
    void startConfirmedInitialTest();
    void resetProductionId();
    void releasePressureQuestion();
    void leavePressurizingScreen();
    void enterErrorMenu();
    // State 16 is final: the board powers off at its end.
    bool shuttingDown() const { return state == MenuState::Shutdown; }
    void showButton(QPushButton *button, bool shown);

    // --- the pop-up and the other overlays (mainwindow_popups.cpp)
    // A question in the pop-up's Yes/No form, with what each answer does.
    void askQuestion(const QString &line1, const QString &line2, std::function<void()> yes,
                     std::function<void()> no = {});
    // A message in the pop-up's OK form; `ok` runs when it is acknowledged.
    void showMessage(const QString &line1, const QString &line2, std::function<void()> ok = {});
    bool openPopUp(const QString &line1, const QString &line2, bool yesNo, PopUpQuestion question);
    void answerPopUp(std::function<void()> PopUpQuestion::*answer, const char *button);
    void closePopUp();
    void hideOverlays();

    // --- drawer screen (mainwindow_drawerscreen.cpp)
    void toggleDrawer();
    void abortDrawerMove();
    void onDrawerStopPressed();
    void showDrawerHalted();
    void onDrawerOpen();
    void onDrawerClose();
    void onDrawerStopped();

    // --- production run (mainwindow_run.cpp)
    void selectRunMode(const QString &mode);
    void toggleLane(int lane);
    uint8_t laneMask();
    void startRunOrPressurize();
    void startRun();
    void continueRunStart();
    void askStopRun(const QString &stage);
    void onStopRunYes();
    void onStopRunNo();
    void finishRun();

    // --- device workers and their threads (mainwindow_wiring.cpp)
    // Each device joins with one block: create it, connect it, adopt it into its thread.
    void connectDevices();
    void connectDrawer();
    void connectFan();
    void connectPump();
    void connectPressureControl();
    void connectI2cDevices();
    void connectRunCounters();
    void connectLogExporter();
    // Moves the workers into the thread, deletes them there when it ends, and starts it.
    void adopt(QThread &thread, std::initializer_list<QObject *> workers);
    QList<QThread *> deviceThreads();

    // --- errors (mainwindow_errors.cpp)
    void handleSystemError(ErrorCode err);
    int logError(int code, ErrorLogEntry &entry);
    void reloadPendingError();
    void showErrorOnScreen(int code);
    void updateErrorButtons(int code);
    void onErrorDrawerButton(int drawerAction);

    // --- settings password screen (mainwindow_password.cpp)
    void enterSettings();
    void onPasswordDigit(int digit);
    void onPasswordClear();
    void onPasswordBack();
    void onPasswordEnter();
    void showPasswordEntry();
    void onPasswordChangePressed();
    void saveNewPassword();

    // --- settings menu pages (mainwindow_settings.cpp)
    void resetSettingsMenu2();
    bool toggleSettingsSubPage(QPushButton *owner);
    void showSettingsSubPage(const QList<QWidget *> &widgets, bool shown);
    void setDisplayPressure(bool on);
    QString currentDateTimeText() const;
    void onChangeDatePressed();
    void onDateAndTimeEntered(QString dateAndTime, ::dateFormat currentFormat);
    void askLogTransfer();
    void removeLogsConfirmed();

    // --- service menu (mainwindow_service.cpp)
    void prepareServiceMenu();
    void showServiceLevel();
    void onServiceGroupPressed(QPushButton *group);
    void onServiceRowPressed(QPushButton *row);
    void onServiceBackPressed();
    void stepSafetyThreshold(int step);
    void showServiceDrawerValues();

    // --- drawer calibration and the service menu's drawer rows
    // (service/mainwindow_calibration.cpp)
    void onNewCalibrationSample(uint16_t threshold, uint16_t openingTime);
    void prepareCalibration();
    void evaluateCalibration();
    void saveCalibration();
    void clearCalibrationResult();
    void saveServiceDrawerRows();

    // --- initial tests (service/mainwindow_initialtests.cpp)
    void setUpInitialTests();
    QList<QPushButton *> testButtons() const;
    void selectInitialTest(int type);
    void startLaneTest();
    void setTestRunLogPath(const QDateTime &start);
    bool ensureTestLogDirectory();
    void testResults();
    void nextLaneTest();
    void stopInitialTest();
    void clearTestResults();
    void writeTestResults();
    void updateTestButtonStyle();

    // --- power button and shutdown (mainwindow_shutdown.cpp)
    void onPowerButtonPressed();
    void enterShutdownMenu();
    void shutdownStep();
    void connectPowerButton();
    // The running boot's journal, and the flag that tells the next start it is saved.
    void saveCurrentBootJournal();

    // --- USB stick, software update and log export (usb/mainwindow_usb.cpp)
    void connectUsb();
    void usbFound();
    void checkUsb();
    void usbAttached();
    void usbRemoved();
    void checkSwUpdate();
    void startSwUpdate();

    // --- pressure logic of the run (pressure/mainwindow_pressure.cpp)
    void loadPressureSettings();
    void loadDefaultPressureSettings();
    void restoreActualPressureSettings();
    void setUpPressureTimers();
    void setPreRampPressure(const QString &mode);
    void checkPreRamp();
    void pressureRampUp(const QString &mode);
    void rampStep(const QString &mode);
    void enterTarget(const QString &mode);
    void prepareRun(const QString &mode);
    void sendSetPoints(const RunPressure::SetPoints &setPoints);
    void onLineValue(int line, uint16_t value);
    void onConfirmationLost();

    // --- vessel pressure (pressure/mainwindow_vessel.cpp)
    void checkPressurizing();

    // --- pressure settings editor (pressure/mainwindow_pressureeditor.cpp)
    void setUpPressureEditor();
    QList<QPushButton *> editorLineButtons() const;
    void openPressureEditor();
    void showEditorModes();
    void showEditorLines();
    void showEditorValues(bool shown);
    void onEditorModePressed(int mode);
    void onEditorLinePressed(int line);
    void onEditorBackPressed();
    void onEditorChangePressed(int field);
    // The working copy's value of a quantity of the chosen mode and line.
    int editedSetting(int quantity) const;
    void onEditorValueEntered(int val);
    void onEditorSavePressed();
    void saveEditedPressureSettings();

    QThread drawerThread;
    QThread fanThread;
    QThread pumpThread;
    QThread valveThread;
    QThread i2cThread;
    QThread pressureThread;
    QThread exportThread;

    Ui::MainWindow *ui = nullptr;
    Storage storage;
    Writer writer;
    // After the storage and the writer: its pending writes use them until it is gone.
    DiskQueue diskQueue;

    PopUp *popUp = nullptr;
    ErrorPopUp *errorPopUp = nullptr;
    settingsPopUp *keypadPopUp = nullptr;
    LicensePopUp *licensePopUp = nullptr;

    Drawer *drawer = nullptr;
    Fan *fan = nullptr;
    Pump *pump = nullptr;
    I2C_InternalTemp *internalTemp = nullptr;
    I2C_ValveControl *valveControl = nullptr;
    I2C_LedControl *ledControl = nullptr;
    ConfigHandler *configHandler = nullptr;
    EpcControl *pressureControl = nullptr;
    LogExporter *logExporter = nullptr;
    RunCounters *runCounters = nullptr;
    ButtonHandler *buttonHandler = nullptr;
    QFileSystemWatcher *usbWatcher = nullptr;

    std::string errorLogPath;
    std::string runLogPath;
    const char *gpio89DirectionPath = "/sys/class/gpio/gpio89/direction";
    const char *gpio89ValuePath = "/sys/class/gpio/gpio89/value";

    QMap<QString, bool> laneSelection;
    QMap<std::string, int> pressureSettings;
    int hardwareVersion = 0;
    int productionId = 0;
    int state = MenuState::Undefined;
    bool startingUp = true;

    QLabel *versionLabel = nullptr;
    QLabel *pressureTextLabel = nullptr;
    QLabel *pressureValueLabel = nullptr;
    QLabel *statusLabelLeft = nullptr;
    QLabel *statusLabelRight = nullptr;

    QString progressBlueStyle;
    QString progressGreenStyle;
    QString progressStepStyle;
    QString roundTransparentStyle;
    QString roundBlueStyle;
    QString roundGreenStyle;
    QString roundRedBigStyle;
    QString roundGreyStyle;
    QString rectBlueStyle;
    QString rectGreenStyle;
    QString rectRedStyle;
    QString rectGreyStyle;
    QString statusLabelStyle;

    QTimer *setPressureWatchdog = nullptr;
    QTimer *readPressureWatchdog = nullptr;
    QTimer *temperatureTimer = nullptr;
    QTimer *pressurizingTimer = nullptr;
    QTimer *shutdownTimer = nullptr;
    QTimer *productionTimer = nullptr;
    QTimer *dateTimeTimer = nullptr;
    QTimer *preRampTimer = nullptr;
    QTimer *dpcrRampTimer = nullptr;
    QTimer *dmdaRampTimer = nullptr;
    QTimer *rampProgressTimer1 = nullptr;
    QTimer *rampProgressTimer2 = nullptr;
    QTimer *rampProgressTimer3 = nullptr;
    QTimer *testTimer = nullptr;

    // Menu state machine.
    bool errorActive = false;
    bool runAfterPressurizing = false;
    // Run starts whose counting has not been answered yet; only the last answer goes on.
    int runCountsPending = 0;
    bool pumpEnabled = false;
    bool pumpStopRequested = false;
    bool drawerClosedSeen = false;
    bool drawerToggleOpens = false;
    bool drawerMidway = false;
    // The question the pop-up shows, and the drawer move that waits for the end of the
    // pressurizing its "Yes" asked for.
    PopUpQuestion pendingQuestion;
    enum DrawerAction : int { NoDrawerAction = 0, OpenDrawerAction = 1, CloseDrawerAction = 2 };
    int pendingDrawerAction = NoDrawerAction;

    // Vessel pressure, kept up to date by the pump's reports.
    uint16_t vesselPressure = 0;
    int vesselPressureMax = 0;
    uint8_t vesselPercent = 0;
    uint8_t vesselReportCount = 0;
    QList<uint8_t> pressurizingHistory;
    bool displayPressure = false;

    // Production run.
    QString runMode;
    QString runStage;
    int remainingSeconds = 0;
    int currentTemperature = 0;
    bool stopReading = false;
    // From the start of a run (ramp-up) until finishRun: the run has an ID and a log to write.
    bool runInProgress = false;

    // Pressure stages of the run, timed by the clock that runs from the window's start.
    RunPressure runPressure;
    QElapsedTimer pressureClock;
    // The row of the read cycle being collected (stage time, vessel, line 1, 2, 3) for storage.
    Storage::Row runRow;

    // Initial tests.
    bool initialTestActive = false;
    int initialTestType = 0;
    int testLane = 0;
    uint8_t testLaneMask = 0;
    int pumpOnCount = 0;
    uint16_t testStartVesselPressure = 0;
    uint16_t testEndVesselPressure = 0;
    QList<bool> testResultList;
    // The pause between two steps of a test; stopped with the test, so that a step never
    // follows a test that an error or a stop has ended.
    QTimer *nextLaneTimer = nullptr;
    // The pump test's vent before it pressurizes: stopped with the test like the pause.
    QTimer *pumpTestVentTimer = nullptr;

    // Drawer calibration: closings measured per calibration, and those done so far.
    int calibrationCycles = 3;
    int calibrationCycle = 0;
    // One threshold per measured closing, the accepted opening times (ms), and the results
    // the ready page offers (0 when none).
    QVector<uint16_t> thresholdSamples;
    QVector<uint16_t> openingTimeSamples;
    uint16_t newThreshold = 0;
    uint16_t newOpeningTime = 0;
    QElapsedTimer pumpTestClock;

    // Settings area.
    PasswordEntry passwordEntry;
    bool infoPageOpen = false;
    QPushButton *openSubPageButton = nullptr;
    int dateFormat = 0;
    bool defaultPressureActive = false;
    int serviceLevel = 1;
    QPushButton *serviceGroup = nullptr;
    QPushButton *serviceRow = nullptr;
    bool drawerLoggingEnabled = false;
    // The service menu's drawer rows as the operator sets them, stored by its Save button.
    int serviceThreshold = 0;
    bool serviceDrawerLogging = false;

    // Pressure settings editor: the working copy, and the mode (0 dPCR, 1 dMDA), line (0 to 2,
    // 3 the active time) and quantity (0 pre-ramp, 1 target, 2 ramp-up time) being edited at
    // its level.
    QMap<std::string, int> editedPressureSettings;
    enum EditorLevel : uint8_t { EditorModes = 1, EditorLines = 2, EditorValues = 3 };
    uint8_t editorLevel = EditorModes;
    int editorMode = 0;
    int editorLine = 0;
    int editorValue = 0;

    // USB stick.
    bool usbAvailable = false;
    bool updateAvailable = false;

    // Shutdown: seconds left before the board powers off.
    int shutdownCountdown = 0;

    static inline StateObserver stateObserver;
};
