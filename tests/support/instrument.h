#pragma once

// A main window on a sandbox root of its own, with the helpers the window tests share. Header
// only: the support library links no window code, the window tests do.
#include "app/mainwindow.h"
#include "hw/pump.h"
#include "support/commandrecorder.h"
#include "support/menustates.h"
#include "support/sandboxroot.h"
#include "ui/settingspopup.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QSettings>
#include <QSignalSpy>
#include <QStackedWidget>

#include <memory>

namespace testwindow {
const QString kIni = "/usr/share/vemla/vemla.ini";
const QString kErrorLog = "/usr/share/vemla/logs/errors.log";
const QByteArray kErrorLogHeader = "time|last menu|code|error|filename|software|run id|run log|"
                                   "vessel (mbar)|line 1 (mbar)|line 2 (mbar)|line 3 (mbar)|"
                                   "active lanes\n";
const QString kAdminPassword = "24680";
const QString kServiceCode = "5830264917";

using Led = I2C_LedControl::LedColor;
// Time a worker thread of an otherwise idle test has to answer.
constexpr int kAnswerMs = 3000;

// Pressure settings with every set-point and ramp time 0: the pre-ramp passes its first check
// at once and no line ramps, so a run is in its active time a second after it starts. An empty
// `activeTime` leaves that key out.
inline QByteArray zeroPressureSettings(const QByteArray &activeTime)
{
    QByteArray text;
    for (const char *mode : {"dpcr", "dmda"}) {
        for (const char *key : {"preRamp", "rampUpTime", "target"}) {
            for (int line = 1; line <= 3; ++line)
                text += QByteArray(mode) + "_line_" + QByteArray::number(line) + "_" + key
                        + ":\"0\"\n";
        }
        if (!activeTime.isEmpty())
            text += QByteArray(mode) + "_active_time:\"" + activeTime + "\"\n";
    }
    return text;
}

// A window on its own sandbox; commands are recorded, not run.
struct Instrument
{
    explicit Instrument(const QByteArray &ini = {}, const QByteArray &errorLog = {},
                        const QByteArray &pressureSettings = {})
    {
        build(ini, errorLog, pressureSettings);
    }
    // On a root whose folder name follows `nameTemplate` (SandboxRoot's), for roots with blanks
    // or shell characters in their path.
    struct RootNamed
    {
        QString nameTemplate;
    };
    explicit Instrument(const RootNamed &name) : root(name.nameTemplate) { build({}, {}, {}); }

    // What both constructors do once the root is laid; called by them only.
    void build(const QByteArray &ini, const QByteArray &errorLog,
               const QByteArray &pressureSettings)
    {
        // The types the program registers before it builds its window, for signal spies and
        // queued reports.
        qRegisterMetaType<uint16_t>("uint16_t");
        qRegisterMetaType<uint8_t>("uint8_t");
        qRegisterMetaType<int8_t>("int8_t");
        qRegisterMetaType<ErrorCode>("ErrorCode");
        qRegisterMetaType<Led>("I2C_LedControl::LedColor");
        if (!ini.isEmpty())
            root.write(kIni, ini);
        if (!errorLog.isEmpty())
            root.write(kErrorLog, errorLog);
        if (!pressureSettings.isEmpty())
            root.write("/usr/share/vemla/resources/pressure_settings.inc", pressureSettings);
        window = std::make_unique<MainWindow>(nullptr);
        window->setStartingUp(false);
    }

    QWidget *page() const
    {
        return window->findChild<QStackedWidget *>("stackedWidget")->currentWidget();
    }
    QString pageName() const { return page()->objectName(); }
    template<typename T = QWidget> T *widget(const QString &name) const
    {
        T *found = window->findChild<T *>(name);
        if (!found)
            qFatal("no widget %s", qPrintable(name));
        return found;
    }
    QString text(const QString &label) const { return widget<QLabel>(label)->text(); }
    void click(const QString &button) const { widget<QPushButton>(button)->click(); }
    bool shown(const QString &button) const
    {
        auto *b = widget<QPushButton>(button);
        return !b->isHidden() && b->isEnabled();
    }
    // A run start goes on when the export thread has put its counters on the medium: true
    // once the first set-point has gone out.
    bool startRun() const
    {
        QSignalSpy firstSetPoint(window.get(), &MainWindow::setPressure);
        window->setState(MenuState::RampUp);
        return firstSetPoint.wait(kAnswerMs);
    }
    int stored(const QString &key) const
    {
        return QSettings(root.file(kIni), QSettings::IniFormat).value(key).toInt();
    }
    // Records behind the header in the error log.
    int errorRecords() const
    {
        int count = 0;
        for (const QByteArray &line : root.read(kErrorLog).split('\n'))
            count += !line.isEmpty() && !line.startsWith("time|");
        return count;
    }

    // The password screen from the page shown: a password or code typed and entered.
    void logIn(const QString &password) const
    {
        click("pushButton_settings");
        for (QChar digit : password)
            click(QString("pushButton_password_") + digit);
        click("pushButton_password_enter");
    }

    // The vessel as the pump reports it; the window takes one report in three.
    void reportVessel(int mbar, int switchClosed = 0, int times = 3) const
    {
        for (int report = 0; report < times; ++report)
            QMetaObject::invokeMethod(window.get(), "updateCurrentPressure",
                                      Q_ARG(uint16_t, uint16_t(mbar)), Q_ARG(int, switchClosed));
    }

    // The vessel as the pump's sensor and maximum switch show it, taken over by the window
    // (the pump's own reports follow the files, unlike reportVessel's).
    void setVessel(int mbar, bool full) const
    {
        const QString sensor = "/sys/bus/iio/devices/iio:device0/in_voltage7_raw";
        const QString maxSwitch = "/sys/class/gpio/gpio39/value";
        writeAtomically(sensor, QByteArray::number(1250 + mbar / 2));
        writeAtomically(maxSwitch, full ? "1" : "0");
        // The second report was read after the files changed; the window takes one in three.
        // Counted in this thread: a QSignalSpy would append from the pump's thread.
        int reports = 0;
        QObject counter;
        QObject::connect(window->pumpDevice(), &Pump::pressureValue, &counter,
                         [&reports] { ++reports; });
        QElapsedTimer waited;
        waited.start();
        while (reports < 2 && waited.elapsed() < kAnswerMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        reportVessel(mbar, full ? 1 : 0);
    }
    void writeAtomically(const QString &file, const QByteArray &content) const
    {
        QDir().mkpath(QFileInfo(root.file(file)).path());
        QSaveFile out(root.file(file));
        out.open(QIODevice::WriteOnly);
        out.write(content);
        out.commit();
    }

    // The message box and the keypad are top-level windows of their own.
    static QWidget *popUp()
    {
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (top->objectName() == "PopUp")
                return top;
        }
        return nullptr;
    }
    static bool popUpShown() { return popUp() && popUp()->isVisible(); }
    static QString popUpLine(int line)
    {
        return popUp()->findChild<QLabel *>(QString("label_popUp_line%1").arg(line))->text();
    }
    static void answer(const QString &button)
    {
        popUp()->findChild<QPushButton *>("pushButton_popUp_" + button)->click();
    }
    static settingsPopUp *keypad()
    {
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (auto *found = qobject_cast<settingsPopUp *>(top))
                return found;
        }
        return nullptr;
    }

    SandboxRoot root;
    CommandRecorder commands;
    std::unique_ptr<MainWindow> window;
};

} // namespace testwindow
