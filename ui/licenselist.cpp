#include "licenselist.h"

#include "platform/platform.h"

#include <QDebug>
#include <QFile>
#include <QHeaderView>
#include <QRegularExpression>
#include <QTableWidget>

namespace {

constexpr int kColumnWidthPx = 300;
constexpr char kFieldSeparator = '\t';

} // namespace

LicenseList parseLicenseList(const QString &content)
{
    LicenseList list;
    QStringList lines = content.split('\n');
    // The newline that ends the last line does not start another one.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    list.lineCount = lines.size();
    for (const QString &line : lines) {
        if (line.isEmpty())
            continue;
        const int tab = line.indexOf(kFieldSeparator);
        // A line without a tab names a package whose licence is not given.
        if (tab < 0)
            list.entries.append({line, QString()});
        else
            list.entries.append({line.left(tab), line.mid(tab + 1)});
    }
    return list;
}

bool loadLicenseList(LicenseList *list)
{
    QFile file(platform::path(QString(kLicenseListPath)));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qWarning().noquote() << "Unable to open license list" << kLicenseListPath;
        return false;
    }
    *list = parseLicenseList(QString::fromUtf8(file.readAll()));
    return true;
}

void showLicenseList(QTableWidget *table, const LicenseList &list)
{
    table->clear();
    table->setRowCount(list.lineCount);
    table->setColumnCount(2);
    table->setHorizontalHeaderLabels({" Package", " License"});
    table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    table->setColumnWidth(0, kColumnWidthPx);
    table->setColumnWidth(1, kColumnWidthPx);
    // A press opens the licence text; the cells are never edited.
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);

    int row = 0;
    for (const LicenseEntry &entry : list.entries) {
        auto *package = new QTableWidgetItem(entry.package);
        package->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        package->setFlags(Qt::NoItemFlags);
        auto *license = new QTableWidgetItem(entry.license);
        license->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        table->setItem(row, 0, package);
        table->setItem(row, 1, license);
        // The Qt base entry has the longest licence field of a full list; from there on the
        // rows are fitted to their text.
        if (entry.package == "qtbase")
            table->resizeRowsToContents();
        ++row;
    }
}

QStringList licenseNames(const QString &field)
{
    QStringList names;
    if (field.contains('&'))
        names = field.split('&');
    else if (field.contains('|'))
        names = field.split('|');
    else
        names = QStringList {field};
    static const QRegularExpression blanks("\\s");
    for (QString &name : names)
        name.remove(blanks);
    return names;
}

QString licenseTextPath(const QString &name)
{
    if (name.isEmpty() || name.contains('/') || name.contains(".."))
        return QString();
    return QString(kLicenseTextDir) + name + ".txt";
}
