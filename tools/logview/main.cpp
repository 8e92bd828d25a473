// Service tool for the logs an engineer exports to a USB stick:
//   vemla8-logview RUNLOG [-o PICTURE.png]   the run's facts; with -o its pressures as a plot
//   vemla8-logview ERRORLOG                  counts per error code and the newest records
// Exit status: 0 done, 1 the file is not a log of the instrument or cannot be read or
// written, 2 wrong arguments.
#include "errorlog.h"
#include "runlog.h"
#include "runlogplot.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>

namespace {

constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;
constexpr int kNewestErrors = 8;
// Far above the longest run the settings allow (a row is some 40 bytes, four rows a second):
// anything bigger is not a log of ours, and is not read into memory.
constexpr qint64 kMaxLogBytes = 64 * 1024 * 1024;

const char kUsage[] = "usage: vemla8-logview RUNLOG [-o PICTURE.png]\n"
                      "       vemla8-logview ERRORLOG\n";

int refuse(const QString &file, const QString &why)
{
    std::fprintf(stderr, "vemla8-logview: %s: %s\n", qPrintable(file), qPrintable(why));
    return kExitRefused;
}

bool readLog(const QString &name, QByteArray *content, QString *error)
{
    const QFileInfo info(name);
    if (!info.exists()) {
        *error = QStringLiteral("no such file");
        return false;
    }
    // A pipe or device would block or never end.
    if (!info.isFile()) {
        *error = QStringLiteral("not a regular file");
        return false;
    }
    if (info.size() > kMaxLogBytes) {
        *error = QStringLiteral("%1 bytes is more than any log of the instrument holds")
                         .arg(info.size());
        return false;
    }
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    *content = file.readAll();
    return true;
}

void printRunFacts(const runlog::Log &log)
{
    const double durationS = log.rows.isEmpty() ? 0 : log.rows.last().runTimeMs / 1000.0;
    std::printf("Run log of %s, created %s\n", qPrintable(log.path), qPrintable(log.created));
    std::printf("Temperature: %d deg Celsius at the start, %d at the end\n", log.initialTemperature,
                log.finalTemperature);
    std::printf("%d rows over %.1f s in %d stages\n", int(log.rows.size()), durationS,
                log.rows.isEmpty() ? 0 : int(log.stageStarts.size()) + 1);
    if (log.incompleteRows > 0)
        std::printf("%d rows lack a value\n", log.incompleteRows);
    if (log.lastRowCut)
        std::printf("The file ends inside its last row (cut short), which is left out\n");
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QString picture;
    const int option = args.indexOf(QStringLiteral("-o"));
    if (option >= 0) {
        if (option + 1 >= args.size()) {
            std::fputs(kUsage, stderr);
            return kExitUsage;
        }
        picture = args.takeAt(option + 1);
        args.removeAt(option);
    }
    if (args.size() != 1 || args[0].startsWith('-')) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    const QString name = args[0];

    QByteArray content;
    QString error;
    if (!readLog(name, &content, &error))
        return refuse(name, error);

    if (errorlog::looksLikeErrorLog(content)) {
        if (!picture.isEmpty())
            return refuse(name, QStringLiteral("an error log has no picture; leave out -o"));
        errorlog::Log log;
        if (!errorlog::parse(content, &log, &error))
            return refuse(name, error);
        std::fputs(qPrintable(errorlog::summary(log, QFileInfo(name).fileName(), kNewestErrors)),
                   stdout);
        return 0;
    }
    if (!runlog::looksLikeRunLog(content)) {
        return refuse(name,
                      content.isEmpty()
                              ? QStringLiteral("the file is empty")
                              : QStringLiteral("neither a run log nor an error log of the "
                                               "instrument"));
    }
    runlog::Log log;
    if (!runlog::parse(content, &log, &error))
        return refuse(name, error);
    printRunFacts(log);
    if (picture.isEmpty())
        return 0;
    // Pictures are drawn without a display, on the service PC or over a remote shell. Only
    // the drawing needs the application object (fonts).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QImage image = runlogplot::render(log, QFileInfo(name).fileName());
    if (!image.save(picture, "PNG"))
        return refuse(picture, QStringLiteral("cannot write the picture"));
    std::printf("Picture: %s\n", qPrintable(picture));
    return 0;
}
