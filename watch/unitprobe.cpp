#include "watch/unitprobe.h"

#include "watch/probeunit.h"

namespace {

FleetOptions probeOptions(const QHostAddress &target, int timeoutMs)
{
    FleetOptions options;
    options.units = {target};
    options.timeoutMs = timeoutMs;
    return options;
}

} // namespace

UnitProbe::UnitProbe(const QHostAddress &target, int timeoutMs, QObject *parent)
    : QObject(parent)
    , m_run(probeOptions(target, timeoutMs),
            [timeoutMs](const QHostAddress &address, qint64 startedMs) {
                return std::make_unique<ProbeUnit>(address, startedMs, timeoutMs);
            })
{
    connect(&m_run, &FleetRun::finished, this, &UnitProbe::finished);
}

bool UnitProbe::start(QString *error)
{
    return m_run.start(error);
}

ProbeResult UnitProbe::result() const
{
    const auto &unit = static_cast<const ProbeUnit &>(*m_run.units().front());
    ProbeResult result;
    result.target = unit.address().toString();
    result.answered = unit.unit().replies() > 0;
    result.statusRead = unit.unit().statusRead();
    result.status = unit.unit().status();
    result.addressConflict = unit.controlMacs().size() > 1;
    result.durationSeconds = double(unit.elapsedMs()) / 1000.0;
    return result;
}
