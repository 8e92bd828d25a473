#include "mainwindow.h"

#include "ui_mainwindow.h"

#include "hw/gpio.h"
#include "hw/hardwareversion.h"
#include "softwareversion.h"

#include <QApplication>
#include <QLabel>

namespace {
// The board's reset line of the touch controller wants a low pulse of at least 5 ms.
constexpr unsigned long kGpio89PulseMs = 5;
const char *const kStatusLabelStyle
        = "color: rgb(255, 255, 255); font-size: 16pt; background-color:rgba(0,0,0,0);";
} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    QApplication::setFont(QFont("Open Sans", 16));
    setAttribute(Qt::WA_AcceptTouchEvents);
    setStyleSheet("MainWindow {background-image: "
                  "url(:/images/background-image/korvand_background.png);}");
    qApp->setStyleSheet("QStatusBar::item { border: 0px solid black; }");

    pulseGpio89();

    ui->centralWidget->setAttribute(Qt::WA_TranslucentBackground);
    ui->stackedWidget->setAttribute(Qt::WA_TranslucentBackground);
    for (int i = 0; i < ui->stackedWidget->count(); ++i)
        ui->stackedWidget->widget(i)->setAttribute(Qt::WA_TranslucentBackground);

    setUpStatusBar();

    hardwareVersion = readHardwareVersion();

    state = 1;
    setState(2);
}

MainWindow::~MainWindow()
{
    for (QThread *thread : {&drawerThread, &fanThread, &pumpThread, &valveThread, &i2cThread,
                            &pressureThread, &exportThread}) {
        thread->quit();
        thread->wait();
    }
    delete ui;
}

void MainWindow::pulseGpio89()
{
    // The line pulsed is 89, so 89 is the line exported: its attribute files exist only then.
    GPIO::exportPin("89");
    GPIO::setDirection("out", gpio89DirectionPath);
    GPIO::writeValue("0", gpio89ValuePath);
    QThread::msleep(kGpio89PulseMs);
    GPIO::writeValue("1", gpio89ValuePath);
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
        label->setStyleSheet(kStatusLabelStyle);

    versionLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    versionLabel->setFrameStyle(QFrame::NoFrame);
    versionLabel->setText(QString("Version ") + kSoftwareVersion);
    pressureTextLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    pressureValueLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    pressureValueLabel->setFrameStyle(QFrame::NoFrame);

    ui->statusBar->addWidget(statusLabelLeft, 10);
    ui->statusBar->addWidget(versionLabel, 40);
    ui->statusBar->addWidget(pressureTextLabel, 35);
    ui->statusBar->addWidget(pressureValueLabel, 5);
    ui->statusBar->addWidget(statusLabelRight, 10);
}
