#include "commission/siterun.h"

#include "channel/addresstext.h"
#include "commission/planfile.h"
#include "link/linkfields.h"

#include <QEventLoop>

#include <algorithm>

namespace {

LinkFields::Texts linkTexts(const Identity &identity)
{
    const PlanFields texts = identity.texts();
    LinkFields::Texts link;
    link.controlIp = texts[PlanColumns::ControlIp];
    link.controlMask = texts[PlanColumns::ControlMask];
    link.controlGateway = texts[PlanColumns::ControlGateway];
    link.stationName = texts[PlanColumns::LocalName];
    link.danteIp = texts[PlanColumns::DanteIp];
    link.danteMask = texts[PlanColumns::DanteMask];
    link.danteGateway = texts[PlanColumns::DanteGateway];
    link.danteName = texts[PlanColumns::DanteName];
    link.qsysCoreIp = texts[PlanColumns::QsysCoreIp];
    link.stationId = texts[PlanColumns::StationId];
    return link;
}

} // namespace

SiteRun::SiteRun(const CommissionOptions &options, const QList<PlannedUnit> &plan)
    : m_options(options),
      m_plan(plan),
      m_run(options,
            [](const QHostAddress &address, qint64 startedMs) {
                return std::make_unique<CommissionUnit>(address, startedMs, CommissionCommandLine::FindingMs);
            }),
      m_progress({QStringLiteral("found"), QStringLiteral("pushed"), QStringLiteral("verified"),
                  QStringLiteral("failed"), QStringLiteral("waiting")})
{
    QObject::connect(&m_run, &FleetRun::progressed, [this] { showProgress(); });
}

CommissionUnit &SiteRun::unit(int index) const
{
    return static_cast<CommissionUnit &>(*m_run.units()[std::size_t(index)]);
}

bool SiteRun::find(QString *error)
{
    m_startTime = QDateTime::currentDateTimeUtc();
    if (!m_run.start(error))
        return false;
    waitForRun();
    m_judgedMs = m_run.elapsedMs();
    m_outcomes = judgeSite(m_plan, foundUnits());
    return true;
}

void SiteRun::apply()
{
    bool pushing = false;
    for (const SiteOutcome &outcome : qAsConst(m_outcomes)) {
        if (outcome.outcome != Outcome::Differs)
            continue;
        CommissionUnit &pushed = unit(outcome.unitIndex);
        const Identity &planned = m_plan[outcome.planIndex].identity;
        pushed.push(planned, LinkFields::datagrams(linkTexts(planned), pushed.intercom()), m_options.timeoutMs,
                    m_run.elapsedMs());
        pushing = true;
    }
    if (!pushing)
        return;
    m_run.resume();
    waitForRun();
}

void SiteRun::waitForRun()
{
    QEventLoop loop;
    QObject::connect(&m_run, &FleetRun::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    loop.exec();
    m_progress.clear();
}

int SiteRun::foundCount() const
{
    const QList<FoundUnit> units = foundUnits();
    return int(std::count_if(units.begin(), units.end(), [](const FoundUnit &u) { return u.found; }));
}

QList<FoundUnit> SiteRun::foundUnits() const
{
    QList<FoundUnit> units;
    for (int i = 0; i < unitCount(); ++i) {
        const CommissionUnit &u = unit(i);
        FoundUnit found;
        found.address = u.foundAddress();
        found.found = u.phase() != CommissionUnit::Phase::Finding && u.phase() != CommissionUnit::Phase::Silent;
        found.model = u.model();
        found.intercom = u.intercom();
        found.identity = u.before();
        units << found;
    }
    return units;
}

QByteArray SiteRun::templateText() const
{
    QList<FoundUnit> units = foundUnits();
    std::stable_sort(units.begin(), units.end(), [](const FoundUnit &a, const FoundUnit &b) {
        return a.address.toIPv4Address() < b.address.toIPv4Address();
    });
    QList<QStringList> rows;
    for (const FoundUnit &u : qAsConst(units)) {
        if (!u.found)
            continue;
        const PlanFields texts = u.identity.texts();
        rows << QStringList(texts.begin(), texts.end());
    }
    return PlanFile::write(PlanColumns::names(), rows);
}

QList<ReportEntry> SiteRun::entries() const
{
    QList<ReportEntry> entries;
    for (const SiteOutcome &outcome : m_outcomes) {
        ReportEntry entry;
        entry.outcome = outcome.outcome;
        entry.differences = outcome.differences;
        entry.reason = outcome.reason;
        entry.elapsedMs = m_judgedMs;
        const Identity *planned = outcome.planIndex >= 0 ? &m_plan[outcome.planIndex].identity : nullptr;
        if (planned) {
            entry.row = m_plan[outcome.planIndex].line;
            entry.controlMac = planned->controlMac;
            entry.plannedAddress = AddressText::ipv4(planned->controlIp);
        }
        if (outcome.unitIndex >= 0) {
            const CommissionUnit &u = unit(outcome.unitIndex);
            entry.address = u.foundAddress().toString();
            entry.model = u.model();
            entry.elapsedMs = u.outcomeMs();
            if (outcome.outcome != Outcome::Silent) {
                entry.controlMac = u.before().controlMac;
                entry.before = u.before();
            }
            if (outcome.outcome == Outcome::Matches)
                entry.after = u.before();
            if (outcome.outcome == Outcome::Differs && u.phase() == CommissionUnit::Phase::Commissioned) {
                entry.outcome = Outcome::Commissioned;
                entry.differences.clear();
                entry.after = u.after();
            } else if (outcome.outcome == Outcome::Differs && u.phase() == CommissionUnit::Phase::Failed) {
                entry.outcome = Outcome::Failed;
                entry.reason = u.failure();
                if (u.after())
                    entry.differences = differences(*u.after(), *planned);
            }
        }
        entry.time = m_startTime.addMSecs(entry.elapsedMs);
        entries << entry;
    }
    return entries;
}

void SiteRun::showProgress()
{
    int found = 0, pushed = 0, verified = 0, failed = 0, waiting = 0;
    for (int i = 0; i < unitCount(); ++i) {
        const CommissionUnit &u = unit(i);
        using Phase = CommissionUnit::Phase;
        found += u.phase() != Phase::Finding && u.phase() != Phase::Silent;
        pushed += u.datagramsSent() > 0;
        verified += u.phase() == Phase::Commissioned;
        failed += u.phase() == Phase::Failed;
        waiting += u.phase() == Phase::Finding || u.phase() == Phase::Pushing || u.phase() == Phase::Verifying;
    }
    m_progress.show({found, pushed, verified, failed, waiting});
}
