// The error pop-up's table: any record lines (fields missing, extra separators, any bytes) are
// split into rows without a crash, one row per line.
#include "fuzzsupport.h"

#include "ui/errorpopup.h"

#include <QTableWidget>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static ErrorPopUp &popup = *new ErrorPopUp;
    std::vector<std::string> lines;
    const std::string text(reinterpret_cast<const char *>(data), size);
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string::npos;
         start = end + 1, end = text.find('\n', start))
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    popup.setErrors(lines);
    const auto *table = popup.findChild<QTableWidget *>();
    if (!table || table->rowCount() != static_cast<int>(lines.size()))
        fuzzsupport::fail("not one row per record");
    return 0;
}
