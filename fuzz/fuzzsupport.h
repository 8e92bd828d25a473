#pragma once

#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// What the fuzz targets share: silence (the product logs every step, which would drown the
// fuzzer's own output and slow it tenfold), an offscreen application for the widget targets
// and a temporary instrument root for the targets that read files. Every target links
// fuzzsupport.cpp, whose LLVMFuzzerInitialize sets all three up before the first input: a
// target holds its property and nothing else.
namespace fuzzsupport {

inline void discardMessage(QtMsgType, const QMessageLogContext &, const QString &) { }

inline void quietLogging()
{
    qInstallMessageHandler(discardMessage);
}

// The one application of a widget target, created on first use and never destroyed: like the
// widgets the targets reuse, it lives until the process ends, so its caches are never taken
// for leaks.
inline QApplication &application()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication *app = new QApplication(argc, argv);
    return *app;
}

// The instrument root of this process; platform paths resolve into it.
inline const QTemporaryDir &sandbox()
{
    static QTemporaryDir dir;
    static const bool installed = [] {
        platform::setRoot(dir.path().toStdString());
        return true;
    }();
    (void)installed;
    return dir;
}

// Writes `size` bytes as the instrument file `absolutePath`, folders created.
inline void writeFile(const char *absolutePath, const uint8_t *data, size_t size)
{
    const QString target = sandbox().path() + absolutePath;
    QDir().mkpath(target.section('/', 0, -2));
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size))
                != static_cast<qint64>(size))
        std::abort();
}

// A property of the code under test does not hold: stop with the reason, so that libFuzzer
// keeps the input as a crash.
[[noreturn]] inline void fail(const char *what)
{
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
}

} // namespace fuzzsupport
