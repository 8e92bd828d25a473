#pragma once

#include <QObject>
#include <QString>

class QTimer;

// The front power button on GPIO 160. The line is read once a second; the first reading of 1
// is reported with powerButtonPressed() and polling ends there, so holding or pressing the
// button again never starts a second shutdown.
class ButtonHandler : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPollIntervalMs = 1000;

    ButtonHandler();
    ~ButtonHandler() override;
    ButtonHandler(const ButtonHandler &) = delete;
    ButtonHandler &operator=(const ButtonHandler &) = delete;

signals:
    void powerButtonPressed();

public slots:
    // Touches the value file (as an edge notification would); the state is read by the poll.
    void onButtonValueChanged(QString path);
    void readButtonStatus();

private:
    void setUpLine();

    const char *pin;
    const char *directionPath;
    const char *edgePath;
    const char *valuePath;
    QTimer *pollTimer = nullptr;
    int buttonValue = 0;
};
