#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

class QTableWidget;

// The list of the software packages the instrument ships and their licences, shown on the
// settings menu's "About" page. Each line: package name, one tab, licence field; the field
// names one licence or several joined by "&" or "|".
constexpr const char *kLicenseListPath = "/usr/share/vemla/resources/Korvand_Licenses.txt";
constexpr const char *kLicenseTextDir = "/usr/share/vemla/resources/licenses/";

struct LicenseEntry
{
    QString package;
    QString license;
};

struct LicenseList
{
    int lineCount = 0; // empty lines included: the table gets a row for each
    QVector<LicenseEntry> entries;
};

LicenseList parseLicenseList(const QString &content);
// Reads kLicenseListPath; false (and a log line) when the file cannot be opened.
bool loadLicenseList(LicenseList *list);
// Columns " Package" and " License"; only the licence cells can be pressed.
void showLicenseList(QTableWidget *table, const LicenseList &list);

// The licence names of a licence field, blanks removed: split on "&" when it has one,
// otherwise on "|".
QStringList licenseNames(const QString &field);
// Unresolved path of a licence's text file; empty for a name that would leave the licence
// folder (the list is a data file and is not trusted to name arbitrary files).
QString licenseTextPath(const QString &name);
