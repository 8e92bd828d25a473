#include "licensepopup.h"
#include "ui_licensepopup.h"

#include "buttonstyle.h"
#include "kineticscrolling.h"
#include "licenselist.h"
#include "overlaywindow.h"
#include "platform/platform.h"

#include <QDebug>
#include <QFile>
#include <QTableWidgetItem>
#include <QTextCursor>

namespace {

constexpr int kButtonDiameterPx = 100;
constexpr int kPressedBorderPx = 5;

} // namespace

LicensePopUp::LicensePopUp(QWidget *parent) : QWidget(parent), ui(new Ui::LicensePopUp)
{
    ui->setupUi(this);
    setUpOverlayWindow(this);
    ui->pushButton_licensePopUp_ok->setStyleSheet(
            roundButtonStyle(kButtonDiameterPx, kPressedBorderPx));
    connect(ui->pushButton_licensePopUp_ok, &QPushButton::clicked, this, [this] {
        ui->plainTextEdit_license->clear();
        emit licensePopUpOkPressed();
    });
}

LicensePopUp::~LicensePopUp()
{
    delete ui;
}

void LicensePopUp::showLicense(QTableWidgetItem *item)
{
    if (!item)
        return;
    const QString field = item->text();
    qDebug().noquote() << "License:    " + field;
    const QStringList names = licenseNames(field);
    qDebug().noquote() << "Length:    " + QString::number(names.size());
    for (const QString &name : names)
        appendLicenseText(name);

    QPlainTextEdit *box = ui->plainTextEdit_license;
    enableKineticScrolling(box);
    box->moveCursor(QTextCursor::Start);
    box->ensureCursorVisible();
}

void LicensePopUp::appendLicenseText(const QString &name)
{
    const QString path = licenseTextPath(name);
    if (path.isEmpty()) {
        qWarning().noquote() << "License name refused:" << name;
        return;
    }
    qDebug().noquote() << path;
    QFile file(platform::path(path));
    // A licence without its text file is left out; the others are still shown.
    if (!file.exists() || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QByteArray text = file.readAll();
    file.close();
    // The texts are Latin-1; a stray zero byte ends the text, as it would a C string.
    const int end = text.indexOf('\0');
    if (end >= 0)
        text.truncate(end);
    ui->plainTextEdit_license->appendPlainText(QString::fromLatin1(text));
}
