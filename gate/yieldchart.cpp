#include "gate/yieldchart.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QValueAxis>

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
QT_CHARTS_USE_NAMESPACE
#endif

namespace YieldChart {

namespace {

double yieldPercent(int part, int whole)
{
    return whole == 0 ? 0.0 : 100.0 * part / whole;
}

} // namespace

bool write(const YieldReport::Report &report, const QString &path, QString *error)
{
    auto *firstPass = new QBarSet(QStringLiteral("First-pass yield"));
    auto *final = new QBarSet(QStringLiteral("Final yield"));
    QStringList days;
    for (const YieldReport::Group &day : report.days) {
        *firstPass << yieldPercent(day.firstPassReady, day.units);
        *final << yieldPercent(day.finalReady, day.units);
        days << day.day.toString(Qt::ISODate);
    }
    auto *series = new QBarSeries;
    series->append(firstPass);
    series->append(final);
    series->setBarWidth(0.8);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    for (QBarSet *set : {firstPass, final})
        set->setLabelColor(Qt::black);
    series->setLabelsFormat(QStringLiteral("@value %"));
    series->setLabelsPrecision(3);

    // The scene owns the chart, the chart its series and axes.
    QGraphicsScene scene;
    auto *chart = new QChart;
    scene.addItem(chart);
    chart->addSeries(series);
    chart->setTitle(QStringLiteral("Yield per day (UTC)"));
    chart->setAnimationOptions(QChart::NoAnimation);
    auto *dayAxis = new QBarCategoryAxis;
    dayAxis->append(days);
    if (days.size() > 6)
        dayAxis->setLabelsAngle(-60);
    chart->addAxis(dayAxis, Qt::AlignBottom);
    series->attachAxis(dayAxis);
    auto *yieldAxis = new QValueAxis;
    // Room above 100 % for the bars' labels; the ticks stop at 100 %.
    yieldAxis->setRange(0, 108);
    yieldAxis->setTickType(QValueAxis::TicksDynamic);
    yieldAxis->setTickAnchor(0);
    yieldAxis->setTickInterval(20);
    yieldAxis->setLabelFormat(QStringLiteral("%d %"));
    chart->addAxis(yieldAxis, Qt::AlignLeft);
    series->attachAxis(yieldAxis);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->resize(Size);
    scene.setSceneRect(QRectF(QPointF(0, 0), Size));

    QImage image(Size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    scene.render(&painter);
    painter.end();

    // A picture only whole, never a half-written one.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace YieldChart
