#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class World;

// The instrument panel beside the simulated screen: what the hardware does, and buttons for
// the power button, the USB stick and the faults.
class Panel : public QWidget
{
    Q_OBJECT

public:
    explicit Panel(World &world, QWidget *parent = nullptr);

private:
    void refresh();
    void applyFault();

    World &world;
    QLabel *readings = nullptr;
    QComboBox *faultName = nullptr;
    QLineEdit *faultArguments = nullptr;
    QLabel *faultResult = nullptr;
};
