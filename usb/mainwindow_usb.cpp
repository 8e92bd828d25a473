// The USB stick: detection through /dev, the installed attach and remove scripts, the software
// update offered from the stick.
#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "platform/commands.h"
#include "platform/platform.h"
#include "records/appsettings.h"

#include <cstdio>

#include <QDebug>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

namespace {
const char *const kStickNode = "/dev/sda1";
const QString kMountPoint = QStringLiteral("/media/sda1");
const char *const kUpdateTrigger = "/tmp/vemla_sw_update.txt";
const char *const kUpgradedMarker = "/media/sda1/.swupgraded";
// The kernel creates the node before the partition is readable; the check waits for it.
constexpr int kUsbSettleMs = 500;
// Time for the progress page to be seen and the journal to reach the disk before the update
// script takes the board over.
constexpr int kUpdateStartMs = 3000;

bool exists(const char *instrumentPath)
{
    return QFileInfo::exists(QString::fromStdString(platform::path(instrumentPath)));
}
} // namespace

void MainWindow::connectUsb()
{
    usbWatcher = new QFileSystemWatcher(this);
    usbWatcher->addPath(QString::fromStdString(platform::path("/dev/")));
    connect(usbWatcher, &QFileSystemWatcher::directoryChanged, this, [this] { usbFound(); });
    connectButton(ui->pushButton_sw_update,
                  [this] { ui->stackedWidget->setCurrentWidget(ui->swUpdateScreen_main); });
    connectButton(ui->pushButton_swUpdate_yes, [this] { startSwUpdate(); });
    connectButton(ui->pushButton_swUpdate_no, [this] { setState(MenuState::Home); });
    usbFound();
}

void MainWindow::usbFound()
{
    qDebug("*************USB Found**************");
    QTimer::singleShot(kUsbSettleMs, this, [this] { checkUsb(); });
}

void MainWindow::checkUsb()
{
    usbAvailable = exists(kStickNode);
    qDebug() << "isUsbAvailable" << usbAvailable;
    if (usbAvailable && updateAvailable)
        return;
    if (usbAvailable)
        usbAttached();
    else
        usbRemoved();
}

void MainWindow::usbAttached()
{
    qDebug("*************USB Attached**************");
    platform::sourceScript(platform::path("/usr/bin/usb_attached.sh"));
    checkSwUpdate();
}

void MainWindow::usbRemoved()
{
    qDebug("*************USB Removed**************");
    platform::sourceScript(platform::path("/usr/bin/usb_removed.sh"));
    checkSwUpdate();
}

void MainWindow::checkSwUpdate()
{
    updateAvailable = QFileInfo(QString::fromStdString(platform::path(kUpdateTrigger))).isFile();
    if (exists(kUpgradedMarker)) {
        qDebug("SW was just upgraded");
        AppSettings settings;
        if (settings.restoreSettings(kMountPoint) == 0) {
            platform::sync();
            // This removal has always reached the shell with a closing ';' (it only ends the
            // command); the text stays as the installed system has always seen it.
            platform::run("rm " + platform::pathArgument(platform::path(kUpgradedMarker)) + ";");
            platform::removeFile(platform::path("/media/sda1/vemla-backup.ini"));
            platform::sync();
            updateAvailable = false;
            emit drawerUpdateSettings();
        }
    }
    qDebug() << "isUpdateAvailable" << updateAvailable;
    if (updateAvailable && QFileInfo(platform::path(kMountPoint)).isDir()) {
        ui->pushButton_sw_update->setStyleSheet(roundBlueStyle
                                                + "QPushButton { font-size: 18pt; }");
        ui->pushButton_sw_update->setEnabled(true);
    } else {
        std::printf("SW update trigger file does not exist\n");
        std::fflush(stdout);
        ui->pushButton_sw_update->setStyleSheet(roundTransparentStyle);
        ui->pushButton_sw_update->setEnabled(false);
    }
}

void MainWindow::startSwUpdate()
{
    if (!platform::mountedVolumes().contains(platform::path(kMountPoint))) {
        qDebug("USB content not available anymore, aborting SW update");
        ui->pushButton_sw_update->setStyleSheet(roundBlueStyle + "font-size: 18pt;");
        ui->pushButton_sw_update->setEnabled(false);
        setState(MenuState::Home);
        return;
    }
    qDebug("Mount point found: /media/sda1");
    ui->stackedWidget->setCurrentWidget(ui->swUpdateScreen);
    AppSettings settings;
    settings.backupSettings(kMountPoint);
    platform::sync();
    saveCurrentBootJournal();
    QTimer::singleShot(kUpdateStartMs, this, [] { platform::run("sysupgrade.sh"); });
}
