#pragma once

#include "dateformat.h"

#include <QString>
#include <QWidget>

namespace Ui {
class settingsPopUp;
}

// The numeric keypad on which the operator enters a pressure, a time or the date and time.
// It refuses digits that would take a number past the limit of its kind and reports the
// result by a signal; what the value means is the receiver's business.
class settingsPopUp : public QWidget
{
    Q_OBJECT

public:
    // What is being entered, and with that the largest number accepted.
    enum Kind : int {
        KIND_PRESSURE = 0,
        KIND_RAMP_UP_TIME = 1,
        KIND_ACTIVE_TIME = 2,
        KIND_DATE_TIME = 3
    };

    explicit settingsPopUp(QWidget *parent = nullptr);
    ~settingsPopUp() override;

    void setTitle(const QString &title);
    void setCurrentValue(const QString &value);
    // Appended to numbers: " mbar" or " s".
    void setUnit(const QString &unit);
    void setKind(int kind);
    // Number entry: no date widgets, an empty new value.
    void reset();
    // Date-and-time entry over an empty mask; the caller then sets KIND_DATE_TIME.
    void setDateTimeMode(dateFormat format);

signals:
    void updatedSettVal(int val);
    void updateDateAndTime(QString dateAndTime, dateFormat currentFormat);

public slots:
    // One digit key, "0" to "9".
    void updateValue(QString newVal);

private:
    void clearLastDigit();
    void enter();
    void switchFormat(dateFormat format);
    void showFormat();
    QString withoutUnit(const QString &text) const;

    Ui::settingsPopUp *ui;
    QString unit;
    const QString valueStyle;
    const QString dateStyle;
    int kind = KIND_PRESSURE;
    dateFormat currentFormat = DATEFORMAT_DAY_FIRST;
};
