// The licence list shipped as a data file: any content parses, every licence name of every
// entry gives either no path or a path inside the licence folder, and the table shows it.
#include "fuzzsupport.h"

#include "ui/licenselist.h"

#include <QDir>
#include <QTableWidget>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString content
            = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<int>(size));
    const LicenseList list = parseLicenseList(content);
    if (list.entries.size() > list.lineCount)
        fuzzsupport::fail("more entries than lines");
    for (const LicenseEntry &entry : list.entries) {
        for (const QString &name : licenseNames(entry.license)) {
            const QString path = licenseTextPath(name);
            if (path.isEmpty())
                continue;
            const QString folder(kLicenseTextDir);
            // The name must stay one file name in the folder, whatever it spells.
            if (!QDir::cleanPath(path).startsWith(folder) || path.mid(folder.size()).contains('/'))
                fuzzsupport::fail("a licence name leaves the licence folder");
        }
    }
    static QTableWidget &table = *new QTableWidget;
    showLicenseList(&table, list);
    if (table.rowCount() != list.lineCount)
        fuzzsupport::fail("not one row per line");
    return 0;
}
