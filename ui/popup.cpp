#include "popup.h"
#include "ui_popup.h"

#include "buttonstyle.h"
#include "overlaywindow.h"

#include <QPainter>
#include <QPushButton>
#include <QStyleOption>

namespace {

constexpr int kButtonDiameterPx = 120;
constexpr int kPressedBorderPx = 6;

void setButtonAvailable(QPushButton *button, bool available)
{
    button->setEnabled(available);
    button->setVisible(available);
}

} // namespace

PopUp::PopUp(QWidget *parent) : QWidget(parent), ui(new Ui::PopUp)
{
    ui->setupUi(this);
    setUpOverlayWindow(this);
    const QString buttonStyle = roundButtonStyle(kButtonDiameterPx, kPressedBorderPx);
    for (QPushButton *button :
         {ui->pushButton_popUp_yes, ui->pushButton_popUp_ok, ui->pushButton_popUp_no})
        button->setStyleSheet(buttonStyle);
    connect(ui->pushButton_popUp_ok, &QPushButton::clicked, this, &PopUp::popUpOkPressed);
    connect(ui->pushButton_popUp_yes, &QPushButton::clicked, this, &PopUp::popUpYesPressed);
    connect(ui->pushButton_popUp_no, &QPushButton::clicked, this, &PopUp::popUpNoPressed);
}

PopUp::~PopUp()
{
    delete ui;
}

void PopUp::setText(const QString &text, int line)
{
    QLabel *label = nullptr;
    if (line == 1)
        label = ui->label_popUp_line1;
    else if (line == 2)
        label = ui->label_popUp_line2;
    if (!label)
        return;
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setText(text);
}

void PopUp::setOkMode()
{
    setButtonAvailable(ui->pushButton_popUp_ok, true);
    setButtonAvailable(ui->pushButton_popUp_yes, false);
    setButtonAvailable(ui->pushButton_popUp_no, false);
}

void PopUp::setYesNoMode()
{
    setButtonAvailable(ui->pushButton_popUp_ok, false);
    setButtonAvailable(ui->pushButton_popUp_yes, true);
    setButtonAvailable(ui->pushButton_popUp_no, true);
}

void PopUp::setOkEnabled(bool enabled)
{
    setButtonAvailable(ui->pushButton_popUp_ok, enabled);
}

void PopUp::paintEvent(QPaintEvent *)
{
    // The form's black background: a translucent window gets no background from Qt, so the
    // style sheet's is drawn here. A question must not read as part of the page behind it.
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}
