#include "settingspopup.h"
#include "ui_settingspopup.h"

#include "buttonstyle.h"
#include "overlaywindow.h"

#include <QDebug>
#include <QIcon>

namespace {

// The keypad leaves the status bar at the bottom of the screen uncovered.
constexpr QSize kKeypadSize(1024, 578);
constexpr int kKeyDiameterPx = 100;
constexpr int kKeyPressedBorderPx = 5;
constexpr int kDigitFontPt = 24;
constexpr int kWordKeyFontPt = 16;
constexpr int kArrowIconPx = 48;

// Largest value of each number kind, in its unit: the ranges of the pressure settings
// (pressure in mbar, ramp-up time in s, active time in s).
constexpr int kLimits[] = {2000, 120, 7200};
// The value fields fit the largest number with its unit, or a whole date and time.
constexpr int kNumberFieldWidthPx = 140;
constexpr int kDateFieldWidthPx = 380;

const QChar kUnfilled('_');

QString valueLabelStyle(int widthPx)
{
    return QString("background-color: transparent; color: rgb(255, 255, 255); font-size: 16pt;"
                   " border: 1px solid rgb(128, 128, 128); border-radius: 10px;"
                   " min-width: %1px; max-width: %1px; min-height: 60px; max-height: 60px;")
            .arg(widthPx);
}

QIcon arrowIcon(const char *enabledImage, const char *disabledImage)
{
    QIcon icon;
    icon.addPixmap(QPixmap(enabledImage), QIcon::Normal);
    icon.addPixmap(QPixmap(disabledImage), QIcon::Disabled);
    return icon;
}

bool isNumberKind(int kind)
{
    return kind >= settingsPopUp::KIND_PRESSURE && kind <= settingsPopUp::KIND_ACTIVE_TIME;
}

int digitCount(int value)
{
    return QString::number(value).size();
}

} // namespace

settingsPopUp::settingsPopUp(QWidget *parent)
    : QWidget(parent),
      ui(new Ui::settingsPopUp),
      valueStyle(valueLabelStyle(kNumberFieldWidthPx)),
      dateStyle(valueLabelStyle(kDateFieldWidthPx))
{
    qRegisterMetaType<dateFormat>("dateFormat");
    ui->setupUi(this);
    setUpOverlayWindow(this, kKeypadSize);

    const QString digitStyle = roundButtonStyle(kKeyDiameterPx, kKeyPressedBorderPx, kDigitFontPt);
    for (QPushButton *key :
         {ui->pushButton_keypad_0, ui->pushButton_keypad_1, ui->pushButton_keypad_2,
          ui->pushButton_keypad_3, ui->pushButton_keypad_4, ui->pushButton_keypad_5,
          ui->pushButton_keypad_6, ui->pushButton_keypad_7, ui->pushButton_keypad_8,
          ui->pushButton_keypad_9}) {
        key->setStyleSheet(digitStyle);
        connect(key, &QPushButton::clicked, this, [this, key] { updateValue(key->text()); });
    }
    ui->pushButton_keypad_clear->setStyleSheet(roundButtonStyle(kKeyDiameterPx, kKeyPressedBorderPx,
                                                                kWordKeyFontPt, ButtonColour::Red));
    ui->pushButton_keypad_enter->setStyleSheet(roundButtonStyle(
            kKeyDiameterPx, kKeyPressedBorderPx, kWordKeyFontPt, ButtonColour::Green));
    connect(ui->pushButton_keypad_clear, &QPushButton::clicked, this,
            &settingsPopUp::clearLastDigit);
    connect(ui->pushButton_keypad_enter, &QPushButton::clicked, this, &settingsPopUp::enter);

    const QSize arrowSize(kArrowIconPx, kArrowIconPx);
    ui->pushButton_keypad_left->setIcon(arrowIcon(":/images/images/arrow-left-blue.png",
                                                  ":/images/images/arrow-left-grey.png"));
    ui->pushButton_keypad_right->setIcon(arrowIcon(":/images/images/arrow-right-blue.png",
                                                   ":/images/images/arrow-right-grey.png"));
    for (QPushButton *arrow : {ui->pushButton_keypad_left, ui->pushButton_keypad_right}) {
        arrow->setIconSize(arrowSize);
        arrow->setFixedSize(arrowSize);
    }
    connect(ui->pushButton_keypad_right, &QPushButton::clicked, this,
            [this] { switchFormat(DATEFORMAT_MONTH_FIRST); });
    connect(ui->pushButton_keypad_left, &QPushButton::clicked, this,
            [this] { switchFormat(DATEFORMAT_DAY_FIRST); });

    reset();
}

settingsPopUp::~settingsPopUp()
{
    delete ui;
}

void settingsPopUp::setTitle(const QString &title)
{
    ui->label_keypad_title->setText(title);
}

void settingsPopUp::setCurrentValue(const QString &value)
{
    ui->label_keypad_current_value->setText(value);
}

void settingsPopUp::setUnit(const QString &newUnit)
{
    unit = newUnit;
}

void settingsPopUp::setKind(int newKind)
{
    if (!isNumberKind(newKind) && newKind != KIND_DATE_TIME) {
        qWarning() << "Keypad: unknown kind" << newKind << "ignored";
        return;
    }
    kind = newKind;
}

void settingsPopUp::reset()
{
    ui->label_keypad_date_format->hide();
    for (QPushButton *arrow : {ui->pushButton_keypad_left, ui->pushButton_keypad_right}) {
        arrow->hide();
        arrow->setEnabled(false);
    }
    ui->label_keypad_current_value->setStyleSheet(valueStyle);
    ui->label_keypad_new_value->setStyleSheet(valueStyle);
    ui->label_keypad_new_value->clear();
}

void settingsPopUp::setDateTimeMode(dateFormat format)
{
    currentFormat = toDateFormat(format);
    showFormat();
    ui->label_keypad_date_format->show();
    ui->pushButton_keypad_right->show();
    ui->pushButton_keypad_left->show();
    ui->label_keypad_current_value->setStyleSheet(dateStyle);
    ui->label_keypad_new_value->setStyleSheet(dateStyle);
    ui->label_keypad_new_value->setText(kEmptyDateTimeMask);
}

void settingsPopUp::updateValue(QString newVal)
{
    if (newVal.size() != 1 || !newVal.at(0).isDigit()) {
        qWarning() << "Keypad: not a digit:" << newVal;
        return;
    }
    QLabel *entry = ui->label_keypad_new_value;
    const QString text = entry->text();
    if (kind == KIND_DATE_TIME) {
        const int slot = text.indexOf(kUnfilled);
        if (slot >= 0)
            entry->setText(QString(text).replace(slot, 1, newVal));
        return;
    }
    if (text.isEmpty()) {
        entry->setText(newVal + unit);
        return;
    }
    const int limit = kLimits[kind];
    const QString digits = withoutUnit(text) + newVal;
    bool ok = false;
    const int value = digits.toInt(&ok);
    // Leading zeros are kept as typed, but never more digits than the limit has: the field
    // is sized for the largest value.
    if (ok && value <= limit && digits.size() <= digitCount(limit))
        entry->setText(digits + unit);
}

void settingsPopUp::clearLastDigit()
{
    QLabel *entry = ui->label_keypad_new_value;
    QString text = entry->text();
    if (kind == KIND_DATE_TIME) {
        // The separators and the unfilled places are stepped over: the last typed digit goes.
        for (int i = text.size() - 1; i >= 0; --i) {
            if (text.at(i).isDigit()) {
                entry->setText(text.replace(i, 1, kUnfilled));
                return;
            }
        }
        return;
    }
    QString digits = withoutUnit(text);
    digits.chop(1);
    entry->setText(digits.isEmpty() ? QString() : digits + unit);
}

void settingsPopUp::enter()
{
    if (kind == KIND_DATE_TIME) {
        emit updateDateAndTime(ui->label_keypad_new_value->text(), currentFormat);
        return;
    }
    QString text = withoutUnit(ui->label_keypad_new_value->text());
    // Nothing typed: the operator confirms the value in force.
    if (text.isEmpty())
        text = withoutUnit(ui->label_keypad_current_value->text());
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    // Never turn an unreadable value into a 0 that would be stored as a setting.
    if (!ok) {
        qWarning() << "Keypad: no number to enter:" << text;
        return;
    }
    emit updatedSettVal(value);
}

void settingsPopUp::switchFormat(dateFormat format)
{
    if (format == currentFormat)
        return;
    currentFormat = format;
    showFormat();
    ui->label_keypad_current_value->setText(
            QDateTime::currentDateTime().toString(dateTimePattern(currentFormat)));
}

// Only the format not in force can be chosen: its arrow is the enabled one.
void settingsPopUp::showFormat()
{
    const bool monthFirst = currentFormat == DATEFORMAT_MONTH_FIRST;
    ui->label_keypad_date_format->setText(dateTimeCaption(currentFormat));
    ui->pushButton_keypad_right->setEnabled(!monthFirst);
    ui->pushButton_keypad_left->setEnabled(monthFirst);
}

QString settingsPopUp::withoutUnit(const QString &text) const
{
    if (!unit.isEmpty() && text.endsWith(unit))
        return text.left(text.size() - unit.size());
    return text;
}
