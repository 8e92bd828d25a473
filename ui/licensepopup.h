#pragma once

#include <QWidget>

class QTableWidgetItem;

namespace Ui {
class LicensePopUp;
}

// Shows the licence texts of one package of the licence list, scrolled by finger.
class LicensePopUp : public QWidget
{
    Q_OBJECT

public:
    explicit LicensePopUp(QWidget *parent = nullptr);
    ~LicensePopUp() override;

    // The item is a licence cell of the list: every licence it names is shown, one after the
    // other, from the top.
    void showLicense(QTableWidgetItem *item);

signals:
    void licensePopUpOkPressed();

private:
    void appendLicenseText(const QString &name);

    Ui::LicensePopUp *ui;
};
