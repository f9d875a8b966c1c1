#include "watch/watchservice.h"

#include "commission/planload.h"
#include "fleet/programoutput.h"
#include "watch/plandrift.h"
#include "watch/servicehealth.h"
#include "watch/unitprobe.h"

#include <QDateTime>

WatchService::WatchService(QObject *parent)
    : QObject(parent)
{
}

int WatchService::loadPlan(const QString &path, QByteArray *error)
{
    const PlanLoad::Loaded loaded = PlanLoad::fromFile(path);
    if (loaded.status != 0) {
        *error = loaded.errorText;
        return loaded.status;
    }
    m_planPath = path;
    m_plan = loaded.units;
    return 0;
}

bool WatchService::openLog(const QString &path, QString *error)
{
    m_logging = m_log.open(path, error);
    return m_logging;
}

bool WatchService::probe(const QHostAddress &target, int timeoutMs, const Done &done, QString *error)
{
    auto *probe = new UnitProbe(target, timeoutMs, this);
    if (!probe->start(error)) {
        delete probe;
        ++m_counters.failed;
        return false;
    }
    connect(probe, &UnitProbe::finished, this, [this, probe, done] {
        ProbeResult result = probe->result();
        probe->deleteLater();
        finish(&result);
        done(result);
    });
    return true;
}

void WatchService::finish(ProbeResult *result)
{
    if (m_plan) {
        result->planGiven = true;
        const PlannedUnit *row = PlanDrift::rowAt(*m_plan, QHostAddress(result->target).toIPv4Address());
        result->planned = row != nullptr;
        if (row && result->statusRead)
            result->driftedFields = PlanDrift::driftedFields(row->identity, result->status);
    }
    m_counters.countProbe(*result);
    QString error;
    if (m_logging && !m_log.record(result->target, ServiceHealth::judge(*result), QDateTime::currentDateTime(), &error))
        ProgramOutput::printError(QStringLiteral("fault log: %1").arg(error));
}
