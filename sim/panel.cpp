#include "panel.h"

#include "models/powerbutton.h"
#include "models/usbstick.h"
#include "world.h"

#include <QComboBox>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kRefreshMs = 200;
} // namespace

Panel::Panel(World &world, QWidget *parent) : QWidget(parent), world(world)
{
    setWindowTitle("Vemla 8 - simulated instrument");
    // A desktop window, not the touch screen: a desktop-sized font.
    setFont(QFont("Open Sans", 10));
    auto *layout = new QVBoxLayout(this);

    readings = new QLabel(this);
    readings->setTextFormat(Qt::RichText);
    readings->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    readings->setMinimumWidth(320);
    layout->addWidget(readings, 1);

    auto *power = new QPushButton("Power button", this);
    connect(power, &QPushButton::clicked, this,
            [this] { this->world.with<PowerButton>([](PowerButton &b) { b.press(); }); });
    layout->addWidget(power);

    auto *usbRow = new QHBoxLayout;
    auto *insert = new QPushButton("Insert stick", this);
    auto *insertUpdate = new QPushButton("Insert stick with update", this);
    auto *insertUnreadable = new QPushButton("Insert unreadable stick", this);
    auto *remove = new QPushButton("Remove stick", this);
    connect(insert, &QPushButton::clicked, this,
            [this] { this->world.with<UsbStick>([](UsbStick &s) { s.insert(false); }); });
    connect(insertUpdate, &QPushButton::clicked, this,
            [this] { this->world.with<UsbStick>([](UsbStick &s) { s.insert(true); }); });
    connect(insertUnreadable, &QPushButton::clicked, this,
            [this] { this->world.with<UsbStick>([](UsbStick &s) { s.insert(false, false); }); });
    connect(remove, &QPushButton::clicked, this,
            [this] { this->world.with<UsbStick>([](UsbStick &s) { s.remove(); }); });
    usbRow->addWidget(insert);
    usbRow->addWidget(insertUpdate);
    usbRow->addWidget(insertUnreadable);
    usbRow->addWidget(remove);
    layout->addLayout(usbRow);

    auto *faultRow = new QHBoxLayout;
    faultName = new QComboBox(this);
    faultName->addItems(world.faultNames());
    faultArguments = new QLineEdit(this);
    faultArguments->setPlaceholderText("arguments");
    auto *apply = new QPushButton("Fault on", this);
    auto *clear = new QPushButton("Clear faults", this);
    connect(apply, &QPushButton::clicked, this, &Panel::applyFault);
    connect(clear, &QPushButton::clicked, this, [this] {
        this->world.clearFaults();
        faultResult->setText("faults cleared");
    });
    faultRow->addWidget(faultName, 1);
    faultRow->addWidget(faultArguments, 1);
    faultRow->addWidget(apply);
    faultRow->addWidget(clear);
    layout->addLayout(faultRow);
    faultResult = new QLabel(this);
    layout->addWidget(faultResult);

    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &Panel::refresh);
    timer->start(kRefreshMs);
    refresh();
}

void Panel::refresh()
{
    QString html = "<table>";
    for (const auto &model : world.readings()) {
        html += "<tr><td colspan=2><b>" + model.first.toHtmlEscaped() + "</b></td></tr>";
        for (const Model::Reading &reading : model.second)
            html += "<tr><td>" + reading.first.toHtmlEscaped() + "</td><td>"
                    + reading.second.toHtmlEscaped() + "</td></tr>";
    }
    readings->setText(html + "</table>");
}

void Panel::applyFault()
{
    QString reason;
    const QStringList arguments = faultArguments->text().split(' ', Qt::SkipEmptyParts);
    if (world.setFault(faultName->currentText(), arguments, &reason))
        faultResult->setText("fault " + faultName->currentText() + " on");
    else
        faultResult->setText(reason);
}
