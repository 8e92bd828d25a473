#include "errorpopup.h"
#include "ui_errorpopup.h"

#include "buttonstyle.h"
#include "overlaywindow.h"

#include <QHeaderView>
#include <QLayout>
#include <QTableWidgetItem>

namespace {

constexpr int kButtonDiameterPx = 120;
constexpr int kPressedBorderPx = 6;

// Record fields shown, by their index in an error-log line: time, last menu, code, error text,
// software version, run id. The log file's own path (4) and the run's pressures and lanes (7 on)
// are left to the exported log.
constexpr int kShownFields[] = {0, 1, 2, 3, 5, 6};
constexpr int kColumnWidthsPx[] = {180, 280, 70, 300, 90, 80};
constexpr char kFieldSeparator = '|';

} // namespace

ErrorPopUp::ErrorPopUp(QWidget *parent) : QWidget(parent), ui(new Ui::ErrorPopUp)
{
    ui->setupUi(this);
    baseBottomMargin = layout()->contentsMargins().bottom();
    setUpOverlayWindow(this);
    ui->label_errorPopUp_title->setStyleSheet(titleStyle);
    ui->pushButton_errorPopUp_back->setStyleSheet(
            roundButtonStyle(kButtonDiameterPx, kPressedBorderPx));

    QTableWidget *table = ui->tableWidget_errors;
    table->setStyleSheet(tableStyle);
    table->viewport()->setAutoFillBackground(false);
    table->setColumnCount(columnTitles.size());
    table->setHorizontalHeaderLabels(columnTitles);
    table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int column = 0; column < columnTitles.size(); ++column)
        table->setColumnWidth(column, kColumnWidthsPx[column]);
    table->verticalHeader()->hide();
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    connect(ui->pushButton_errorPopUp_back, &QPushButton::clicked, this, &ErrorPopUp::backPressed);
}

void ErrorPopUp::keepClearOfBottom(int heightPx)
{
    QMargins margins = layout()->contentsMargins();
    margins.setBottom(baseBottomMargin + heightPx);
    layout()->setContentsMargins(margins);
}

ErrorPopUp::~ErrorPopUp()
{
    delete ui;
}

void ErrorPopUp::setErrors(const std::vector<std::string> &lines)
{
    QTableWidget *table = ui->tableWidget_errors;
    table->clearContents();
    table->setRowCount(static_cast<int>(lines.size()));
    for (int row = 0; row < table->rowCount(); ++row) {
        const QStringList fields
                = QString::fromStdString(lines[static_cast<size_t>(row)]).split(kFieldSeparator);
        for (int column = 0; column < columnTitles.size(); ++column) {
            const int field = kShownFields[column];
            // An error outside a run has no run fields: its cells stay empty.
            const QString text = field < fields.size() ? fields.at(field) : QString();
            table->setItem(row, column, new QTableWidgetItem(text));
        }
    }
    table->resizeRowsToContents();
}
