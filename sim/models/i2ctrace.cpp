#include "i2ctrace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

I2cTrace::I2cTrace(const QString &file)
{
    QDir().mkpath(QFileInfo(file).path());
    // Each run of the simulator starts a trace of its own.
    out = std::fopen(QFile::encodeName(file).constData(), "w");
}

I2cTrace::~I2cTrace()
{
    if (out)
        std::fclose(out);
}

QString I2cTrace::line(const QString &bus, int address, char direction, const uint8_t *bytes,
                       size_t count, const char *failure)
{
    QString text = QString("%1 0x%2 %3").arg(bus).arg(address, 2, 16, QChar('0')).arg(direction);
    for (size_t i = 0; i < count; ++i)
        text += QString(" %1").arg(bytes[i], 2, 16, QChar('0'));
    if (failure)
        text += QString(" failed: ") + failure;
    return text;
}

void I2cTrace::record(const QString &bus, int address, char direction, const uint8_t *bytes,
                      size_t count, const char *failure)
{
    const QByteArray text = line(bus, address, direction, bytes, count, failure).toUtf8();
    std::lock_guard<std::mutex> lock(mutex);
    if (!out)
        return;
    std::fprintf(out, "%s\n", text.constData());
    // Flushed per line: scenarios and people read the trace while the program runs.
    std::fflush(out);
}
