#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A temporary instrument root for one test: platform paths resolve into it while it lives.
class SandboxRoot
{
public:
    SandboxRoot();
    // A root whose folder name follows `nameTemplate` (QTemporaryDir's, "XXXXXX" replaced), for
    // roots with blanks, quotes or shell characters in their path.
    explicit SandboxRoot(const QString &nameTemplate);
    ~SandboxRoot();
    SandboxRoot(const SandboxRoot &) = delete;
    SandboxRoot &operator=(const SandboxRoot &) = delete;

    QString root() const { return dir.path(); }
    // Absolute instrument path (e.g. "/sys/class/gpio/export") inside the sandbox.
    QString file(const QString &absolutePath) const { return dir.path() + absolutePath; }

    void write(const QString &absolutePath, const QByteArray &content) const;
    QByteArray read(const QString &absolutePath) const;
    bool exists(const QString &absolutePath) const;
    void remove(const QString &absolutePath) const;

private:
    QTemporaryDir dir;
};
