#pragma once

#include "commission/planvalidator.h"
#include "watch/faultlog.h"
#include "watch/probemetrics.h"
#include "watch/proberesult.h"

#include <QHostAddress>
#include <QObject>

#include <functional>
#include <optional>

// What hvtk-watch holds between probes, on the thread it lives on: the plan
// the units are held against, the fault log and the exporter's own counts.
// Each probe is a UnitProbe of its own, so probes of many units run at once.
class WatchService : public QObject
{
    Q_OBJECT

public:
    using Done = std::function<void(const ProbeResult &)>;

    explicit WatchService(QObject *parent = nullptr);

    // Reads and checks the plan at `path`: 0, or the exit status of a plan
    // that cannot be used (65, 66) with every error line in `error`; the plan
    // held so far then stays.
    int loadPlan(const QString &path, QByteArray *error);
    // Reads the plan again from where it was loaded.
    int reloadPlan(QByteArray *error) { return loadPlan(m_planPath, error); }
    bool hasPlan() const { return m_plan.has_value(); }

    bool openLog(const QString &path, QString *error);

    // Probes `target` for at most `timeoutMs`; `done` gets the result on this
    // thread, held against the plan, logged and counted. False with `error`
    // when the probe cannot be made (its socket).
    bool probe(const QHostAddress &target, int timeoutMs, const Done &done, QString *error);

    void countRefused() { ++m_counters.refused; }
    const ProbeMetrics::ExporterCounters &counters() const { return m_counters; }

private:
    void finish(ProbeResult *result);

    QString m_planPath;
    std::optional<QList<PlannedUnit>> m_plan;
    bool m_logging = false;
    FaultLog m_log;
    ProbeMetrics::ExporterCounters m_counters;
};
