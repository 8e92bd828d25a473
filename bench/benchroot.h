#pragma once

#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

// The temporary instrument root a benchmark runs its device objects against: platform paths
// resolve into it and shell commands are taken as done, so nothing on the host is touched.
class BenchRoot
{
public:
    BenchRoot()
    {
        platform::setRoot(dir.path().toStdString());
        platform::setCommandRunner([](const std::string &) { return 0; });
    }

    // Lays the instrument file `absolutePath` (a sysfs value, a settings file), folders created.
    // A file that cannot be laid ends the benchmark: its figures would measure something else.
    void write(const QString &absolutePath, const QByteArray &content) const
    {
        const QString target = dir.path() + absolutePath;
        QDir().mkpath(QFileInfo(target).path());
        QFile file(target);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(content) != content.size()) {
            std::fprintf(stderr, "cannot lay %s\n", qPrintable(target));
            std::exit(EXIT_FAILURE);
        }
    }

private:
    QTemporaryDir dir;
};
