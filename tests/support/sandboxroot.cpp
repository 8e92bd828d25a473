#include "sandboxroot.h"

#include "platform/platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

SandboxRoot::SandboxRoot()
{
    platform::setRoot(dir.path().toStdString());
}

SandboxRoot::SandboxRoot(const QString &nameTemplate) : dir(QDir::tempPath() + "/" + nameTemplate)
{
    platform::setRoot(dir.path().toStdString());
}

SandboxRoot::~SandboxRoot()
{
    platform::setRoot("");
}

void SandboxRoot::write(const QString &absolutePath, const QByteArray &content) const
{
    const QString target = file(absolutePath);
    QDir().mkpath(QFileInfo(target).path());
    QFile out(target);
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        out.write(content);
}

QByteArray SandboxRoot::read(const QString &absolutePath) const
{
    QFile in(file(absolutePath));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

bool SandboxRoot::exists(const QString &absolutePath) const
{
    return QFileInfo::exists(file(absolutePath));
}

void SandboxRoot::remove(const QString &absolutePath) const
{
    QFile::remove(file(absolutePath));
}
