#pragma once

// A main window on a sandbox root of its own, with the helpers the window tests share.
#include "app/mainwindow.h"
#include "support/commandrecorder.h"
#include "support/sandboxroot.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
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

using Led = I2C_LedControl::LedColor;
// Time a worker thread of an otherwise idle test has to answer.
constexpr int kAnswerMs = 3000;

// A window on its own sandbox; commands are recorded, not run.
struct Instrument
{
    explicit Instrument(const QByteArray &ini = {}, const QByteArray &errorLog = {},
                        const QByteArray &pressureSettings = {})
    {
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
        window->setState(9);
        return firstSetPoint.wait(kAnswerMs);
    }
    int stored(const QString &key) const
    {
        return QSettings(root.file(kIni), QSettings::IniFormat).value(key).toInt();
    }

    // The message box is a top-level window of its own.
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

    SandboxRoot root;
    CommandRecorder commands;
    std::unique_ptr<MainWindow> window;
};

} // namespace testwindow
