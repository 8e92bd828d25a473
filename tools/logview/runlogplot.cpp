#include "runlogplot.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace runlogplot {
namespace {

constexpr int kWidth = 1400;
constexpr int kHeight = 900;
constexpr int kMarginLeft = 90;
constexpr int kMarginRight = 30;
constexpr int kHeaderHeight = 130;
constexpr int kPanelGap = 60;
constexpr int kMarginBottom = 60;
constexpr int kWantedTicks = 6;
constexpr double kMsPerSecond = 1000.0;
constexpr int kVesselColumn = 1;
constexpr int kFirstLineColumn = 2;

const QColor kVesselColour(0, 118, 154);
const QColor kLineColours[] = {QColor(200, 30, 30), QColor(20, 150, 33), QColor(230, 140, 0)};
const QColor kGridColour(225, 225, 225);
const QColor kStageColour(140, 140, 140);
// The stages of a production run, in the order the pressure logic goes through them.
const char *const kProductionStages[] = {"pre-ramp", "ramp", "target"};

struct Panel
{
    QRectF area;
    double maxTimeS = 1;
    double maxPressure = 1;

    QPointF at(double timeS, double pressure) const
    {
        return {area.left() + area.width() * timeS / maxTimeS,
                area.bottom() - area.height() * pressure / maxPressure};
    }
};

QString number(double value)
{
    return QString::number(value, 'g', 10);
}

double columnMaximum(const runlog::Log &log, int first, int last)
{
    double maximum = 0;
    for (const runlog::Row &row : log.rows) {
        for (int c = first; c <= last && c < row.valueCount; ++c)
            maximum = std::max(maximum, double(row.values[c]));
    }
    return maximum;
}

// Grid, ticks and labels; sets the panel's scale to the last ticks.
void drawAxes(QPainter &p, Panel &panel, const QVector<double> &timeTicks,
              const QVector<double> &pressureTicks, const QString &title)
{
    panel.maxTimeS = timeTicks.last();
    panel.maxPressure = pressureTicks.last();
    const QFontMetrics metrics(p.font());
    p.setPen(QPen(kGridColour, 1));
    for (const double t : timeTicks)
        p.drawLine(panel.at(t, 0), panel.at(t, panel.maxPressure));
    for (const double v : pressureTicks)
        p.drawLine(panel.at(0, v), panel.at(panel.maxTimeS, v));
    p.setPen(Qt::black);
    p.drawRect(panel.area);
    for (const double v : pressureTicks) {
        const QPointF point = panel.at(0, v);
        const QString text = number(v);
        p.drawText(QPointF(point.x() - 8 - metrics.horizontalAdvance(text),
                           point.y() + metrics.ascent() / 2.0),
                   text);
    }
    for (const double t : timeTicks) {
        const QPointF point = panel.at(t, 0);
        const QString text = number(t);
        p.drawText(QPointF(point.x() - metrics.horizontalAdvance(text) / 2.0,
                           point.y() + metrics.height()),
                   text);
    }
    p.drawText(QPointF(panel.area.left(), panel.area.top() - 8), title);
}

// One curve; rows lacking the column break it.
void drawColumn(QPainter &p, const Panel &panel, const runlog::Log &log, int column,
                const QColor &colour)
{
    QPainterPath path;
    bool open = false;
    for (const runlog::Row &row : log.rows) {
        if (row.valueCount <= column) {
            open = false;
            continue;
        }
        const QPointF point = panel.at(row.runTimeMs / kMsPerSecond, row.values[column]);
        if (open)
            path.lineTo(point);
        else
            path.moveTo(point);
        open = true;
    }
    p.setPen(QPen(colour, 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void drawStages(QPainter &p, const QVector<Panel> &panels, const runlog::Log &log)
{
    const bool production = log.path.contains(QStringLiteral("/logs/production/"))
            && log.stageStarts.size() < int(std::size(kProductionStages));
    QVector<double> startsS = {0};
    for (const int index : log.stageStarts)
        startsS.append(log.rows[index].runTimeMs / kMsPerSecond);
    const QFontMetrics metrics(p.font());
    QPen pen(kStageColour, 1, Qt::DashLine);
    double labelEnd = -1;
    int labelRow = 0;
    for (int stage = 0; stage < startsS.size(); ++stage) {
        for (const Panel &panel : panels) {
            p.setPen(pen);
            if (stage > 0)
                p.drawLine(panel.at(startsS[stage], 0),
                           panel.at(startsS[stage], panel.maxPressure));
        }
        const QString name = production ? QString::fromLatin1(kProductionStages[stage])
                                        : QStringLiteral("stage %1").arg(stage + 1);
        p.setPen(kStageColour);
        const Panel &lower = panels.last();
        const QPointF corner = lower.at(startsS[stage], lower.maxPressure);
        // A short stage (the pre-ramp lasts about a second) puts the next name on a new line.
        labelRow = corner.x() < labelEnd ? labelRow + 1 : 0;
        const QPointF at = corner + QPointF(4, metrics.height() * (labelRow + 1));
        p.drawText(at, name);
        labelEnd = at.x() + metrics.horizontalAdvance(name) + 4;
    }
}

void drawLegend(QPainter &p, const Panel &panel)
{
    const QFontMetrics metrics(p.font());
    double x = panel.area.right() - 360;
    const double y = panel.area.top() - 8;
    for (int line = 0; line < 3; ++line) {
        p.setPen(QPen(kLineColours[line], 3));
        p.drawLine(QPointF(x, y - metrics.ascent() / 3.0),
                   QPointF(x + 24, y - metrics.ascent() / 3.0));
        p.setPen(Qt::black);
        const QString text = QStringLiteral("line %1").arg(line + 1);
        p.drawText(QPointF(x + 30, y), text);
        x += 40 + metrics.horizontalAdvance(text) + 30;
    }
}

QStringList headerLines(const runlog::Log &log, const QString &fileName)
{
    const double durationS = log.rows.isEmpty() ? 0 : log.rows.last().runTimeMs / kMsPerSecond;
    QStringList lines;
    lines << QStringLiteral("Run log %1").arg(fileName);
    lines << QStringLiteral("File: %1    Created: %2").arg(log.path, log.created);
    lines << QStringLiteral("Temperature: %1 deg Celsius at the start, %2 deg Celsius at the end")
                     .arg(log.initialTemperature)
                     .arg(log.finalTemperature);
    QString rows = QStringLiteral("%1 rows over %2 s in %3 stages")
                           .arg(log.rows.size())
                           .arg(durationS, 0, 'f', 1)
                           .arg(log.rows.isEmpty() ? 0 : log.stageStarts.size() + 1);
    if (log.incompleteRows > 0)
        rows += QStringLiteral("; %1 rows lack a value").arg(log.incompleteRows);
    if (log.lastRowCut)
        rows += QStringLiteral("; the file ends inside its last row, which is left out");
    lines << rows;
    return lines;
}

} // namespace

QVector<double> ticks(double maximum, int wanted)
{
    if (!(maximum > 0))
        maximum = 1;
    const double rough = maximum / std::max(1, wanted);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power;
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        step = factor * power;
        if (step >= rough)
            break;
    }
    QVector<double> result;
    const int count = int(std::ceil(maximum / step - 1e-9));
    for (int i = 0; i <= count; ++i)
        result.append(i * step);
    return result;
}

QImage render(const runlog::Log &log, const QString &fileName)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("Open Sans"));
    font.setPixelSize(15);
    p.setFont(font);

    const QFontMetrics metrics(font);
    double y = 10 + metrics.ascent();
    for (const QString &line : headerLines(log, fileName)) {
        p.setPen(Qt::black);
        p.drawText(QPointF(kMarginLeft, y), line);
        y += metrics.height() + 4;
    }

    const double panelHeight
            = (kHeight - kHeaderHeight - kPanelGap - kMarginBottom - metrics.height()) / 2.0;
    const double panelWidth = kWidth - kMarginLeft - kMarginRight;
    Panel vessel {QRectF(kMarginLeft, kHeaderHeight + metrics.height(), panelWidth, panelHeight)};
    Panel lines {QRectF(kMarginLeft, vessel.area.bottom() + kPanelGap + metrics.height(),
                        panelWidth, panelHeight)};

    const double durationS = log.rows.isEmpty() ? 0 : log.rows.last().runTimeMs / kMsPerSecond;
    const QVector<double> timeTicks = ticks(durationS, kWantedTicks * 2);
    drawAxes(p, vessel, timeTicks,
             ticks(columnMaximum(log, kVesselColumn, kVesselColumn), kWantedTicks),
             QStringLiteral("Vessel pressure (mbar)"));
    drawAxes(p, lines, timeTicks,
             ticks(columnMaximum(log, kFirstLineColumn, runlog::kColumns - 1), kWantedTicks),
             QStringLiteral("Line pressures (mbar)"));
    p.setPen(Qt::black);
    p.drawText(QPointF(lines.area.center().x() - 40, kHeight - 12), QStringLiteral("Run time (s)"));

    if (!log.rows.isEmpty())
        drawStages(p, {vessel, lines}, log);
    drawColumn(p, vessel, log, kVesselColumn, kVesselColour);
    for (int line = 0; line < 3; ++line)
        drawColumn(p, lines, log, kFirstLineColumn + line, kLineColours[line]);
    drawLegend(p, lines);
    if (log.rows.isEmpty()) {
        p.setPen(Qt::black);
        p.drawText(lines.area, Qt::AlignCenter, QStringLiteral("The log holds no rows."));
    }
    return image;
}

} // namespace runlogplot
