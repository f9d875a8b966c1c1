#include "watch/probemetrics.h"

#include "commission/plancolumns.h"
#include "monitor/conditions.h"
#include "monitor/unitpoll.h"
#include "watch/exposition.h"
#include "watch/servicehealth.h"

namespace ProbeMetrics {

namespace {

// Fields of the status block: empty until one was read.
QString blockText(const ProbeResult &probe, const QString &text)
{
    return probe.statusRead ? text : QString();
}

void gauge(Exposition &out, const QString &name, const QString &help, double value)
{
    out.family(name, QStringLiteral("gauge"), help);
    out.sample(name, value);
}

void unitSeries(Exposition &out, const ProbeResult &probe)
{
    const UnitStatus &s = probe.status;
    out.family(QStringLiteral("hvtk_condition"), QStringLiteral("gauge"),
               QStringLiteral("1 when the unit's status sets the condition bit, 0 otherwise."));
    for (const Conditions::Condition &condition : Conditions::All) {
        out.sample(QStringLiteral("hvtk_condition"), {{QStringLiteral("condition"), QLatin1String(condition.name)}},
                   s.hasCondition(condition.flag) ? 1 : 0);
    }

    out.family(QStringLiteral("hvtk_info"), QStringLiteral("gauge"),
               QStringLiteral("The unit's model, versions, MAC addresses and names; always 1."));
    out.sample(QStringLiteral("hvtk_info"),
               {{QStringLiteral("model"), s.modelToken},
                {QStringLiteral("firmware"), UnitPoll::firmwareText(s)},
                {QStringLiteral("bootloader"), blockText(probe, UnitPoll::bootloaderText(s))},
                {QStringLiteral("dante_firmware"), blockText(probe, UnitPoll::danteFirmwareText(s))},
                {QStringLiteral("control_mac"), blockText(probe, s.controlMacText)},
                {QStringLiteral("dante_mac"), blockText(probe, s.danteMacText)},
                {QStringLiteral("local_name"), blockText(probe, s.localName)},
                {QStringLiteral("dante_name"), blockText(probe, s.danteName)}},
               1);

    gauge(out, QStringLiteral("hvtk_address_conflict"),
          QStringLiteral("1 when units of two control MAC addresses answered at the address."),
          probe.addressConflict ? 1 : 0);
    if (!probe.statusRead)
        return;

    out.family(QStringLiteral("hvtk_power_cycles_total"), QStringLiteral("counter"),
               QStringLiteral("Times the unit was powered up, as it counts them."));
    out.sample(QStringLiteral("hvtk_power_cycles_total"), s.powerCycleCount);
    gauge(out, QStringLiteral("hvtk_unit_error_code"),
          QStringLiteral("The unit's own error code; 0 when it reports none."), s.unitErrorCode);
    gauge(out, QStringLiteral("hvtk_group_revert_seconds"),
          QStringLiteral("Time after which the unit returns to its default group."), s.groupRevertSeconds);
    gauge(out, QStringLiteral("hvtk_qsys_ping_interval_seconds"),
          QStringLiteral("Interval of the unit's pings to its Q-SYS core."), s.qsysPingIntervalSeconds);
    gauge(out, QStringLiteral("hvtk_qsys_ping_timeout_seconds"),
          QStringLiteral("Time without an answer from the Q-SYS core after which the unit drops the link."),
          s.qsysPingTimeoutSeconds);
    gauge(out, QStringLiteral("hvtk_kiro_link_timeout_seconds"),
          QStringLiteral("The unit's link timeout."), s.kiroLinkTimeoutSeconds);
    gauge(out, QStringLiteral("hvtk_qsys_core_set"),
          QStringLiteral("1 when the unit has a Q-SYS core address set."), probe.qsysCoreSet() ? 1 : 0);
    gauge(out, QStringLiteral("hvtk_qsys_core_linked"),
          QStringLiteral("1 when the unit reports the link to its Q-SYS core up."), probe.qsysCoreLinked() ? 1 : 0);
}

void planSeries(Exposition &out, const ProbeResult &probe)
{
    gauge(out, QStringLiteral("hvtk_planned"), QStringLiteral("1 when the plan has a row for the address."),
          probe.planned ? 1 : 0);
    if (!probe.planned || !probe.statusRead)
        return;
    out.family(QStringLiteral("hvtk_plan_drift"), QStringLiteral("gauge"),
               QStringLiteral("1 when the unit reports the plan column's field otherwise than planned."));
    const QStringList columns = PlanColumns::names();
    for (const QString &column : columns) {
        out.sample(QStringLiteral("hvtk_plan_drift"), {{QStringLiteral("field"), column}},
                   probe.driftedFields.contains(column) ? 1 : 0);
    }
}

} // namespace

QByteArray probeText(const ProbeResult &probe)
{
    Exposition out;
    gauge(out, QStringLiteral("hvtk_up"), QStringLiteral("1 when the unit answered the probe."),
          probe.answered ? 1 : 0);
    gauge(out, QStringLiteral("hvtk_service_state"), QStringLiteral("The unit's service state: 0 ok, 1 warning, 2 critical."),
          int(ServiceHealth::judge(probe).state));
    if (probe.answered)
        unitSeries(out, probe);
    if (probe.planGiven)
        planSeries(out, probe);
    gauge(out, QStringLiteral("hvtk_probe_duration_seconds"), QStringLiteral("How long the probe took."),
          probe.durationSeconds);
    return out.text();
}

void ExporterCounters::countProbe(const ProbeResult &probe)
{
    ++(probe.answered ? answered : silent);
    for (std::size_t i = 0; i < Buckets.size(); ++i) {
        if (probe.durationSeconds <= Buckets[i]) {
            ++durationBuckets[i];
            break;
        }
    }
    ++durationCount;
    durationSum += probe.durationSeconds;
}

QByteArray exporterText(const ExporterCounters &counters, const QString &version)
{
    Exposition out;
    out.family(QStringLiteral("hvtk_watch_build_info"), QStringLiteral("gauge"),
               QStringLiteral("The exporter's version and the Qt it runs on; always 1."));
    out.sample(QStringLiteral("hvtk_watch_build_info"),
               {{QStringLiteral("version"), version}, {QStringLiteral("qt_version"), QLatin1String(qVersion())}}, 1);

    out.family(QStringLiteral("hvtk_watch_probes_total"), QStringLiteral("counter"),
               QStringLiteral("Probes made, by outcome."));
    const QList<QPair<QString, quint64>> outcomes = {{QStringLiteral("answered"), counters.answered},
                                                      {QStringLiteral("no_answer"), counters.silent},
                                                      {QStringLiteral("failed"), counters.failed}};
    for (const auto &outcome : outcomes)
        out.sample(QStringLiteral("hvtk_watch_probes_total"), {{QStringLiteral("outcome"), outcome.first}},
                   double(outcome.second));
    out.family(QStringLiteral("hvtk_watch_requests_refused_total"), QStringLiteral("counter"),
               QStringLiteral("Requests answered with an error and no probe."));
    out.sample(QStringLiteral("hvtk_watch_requests_refused_total"), double(counters.refused));

    const QString histogram = QStringLiteral("hvtk_watch_probe_duration_seconds");
    out.family(histogram, QStringLiteral("histogram"), QStringLiteral("How long probes took."));
    quint64 cumulative = 0;
    for (std::size_t i = 0; i < ExporterCounters::Buckets.size(); ++i) {
        cumulative += counters.durationBuckets[i];
        out.sample(histogram + QStringLiteral("_bucket"),
                   {{QStringLiteral("le"), Exposition::number(ExporterCounters::Buckets[i])}}, double(cumulative));
    }
    out.sample(histogram + QStringLiteral("_bucket"), {{QStringLiteral("le"), QStringLiteral("+Inf")}},
               double(counters.durationCount));
    out.sample(histogram + QStringLiteral("_sum"), counters.durationSum);
    out.sample(histogram + QStringLiteral("_count"), double(counters.durationCount));
    return out.text();
}

} // namespace ProbeMetrics
