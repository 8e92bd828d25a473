#pragma once

#include <functional>

#include <QMainWindow>
#include <QThread>

class QLabel;

namespace Ui {
class MainWindow;
}

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

    void setState(int newState);

private:
    void pulseGpio89();
    void setUpStatusBar();

    QThread drawerThread;
    QThread fanThread;
    QThread pumpThread;
    QThread valveThread;
    QThread i2cThread;
    QThread pressureThread;
    QThread exportThread;

    Ui::MainWindow *ui = nullptr;

    const char *gpio89DirectionPath = "/sys/class/gpio/gpio89/direction";
    const char *gpio89ValuePath = "/sys/class/gpio/gpio89/value";

    int hardwareVersion = 0;
    int state = 0;
    bool startingUp = true;

    QLabel *versionLabel = nullptr;
    QLabel *pressureTextLabel = nullptr;
    QLabel *pressureValueLabel = nullptr;
    QLabel *statusLabelLeft = nullptr;
    QLabel *statusLabelRight = nullptr;

    static inline StateObserver stateObserver;
};
