#pragma once

#include "watch/proberesult.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstddef>

// The answers of the exporter in Prometheus' text exposition format.
namespace ProbeMetrics {

// The series of one probe (a /probe answer): hvtk_up, hvtk_service_state,
// and what the unit told of itself; what a unit that did not answer could
// not tell is left out.
QByteArray probeText(const ProbeResult &probe);

// What the exporter counts of itself between scrapes.
struct ExporterCounters
{
    // Upper bounds of the probe duration histogram, in seconds.
    static constexpr std::array<double, 8> Buckets = {0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10};

    quint64 answered = 0;     // probes the unit answered
    quint64 silent = 0;       // probes without an answer
    quint64 failed = 0;       // probes that could not be made (the socket failed)
    quint64 refused = 0;      // requests refused without a probe
    std::array<quint64, Buckets.size()> durationBuckets{}; // probes within each bound (not cumulative)
    quint64 durationCount = 0;
    double durationSum = 0;

    void countProbe(const ProbeResult &probe);
};

// The exporter's own metrics (the /metrics answer): build information,
// probes by outcome, refused requests and the probe duration histogram.
QByteArray exporterText(const ExporterCounters &counters, const QString &version);

} // namespace ProbeMetrics
