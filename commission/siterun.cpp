#include "commission/siterun.h"

#include "channel/addresstext.h"
#include "commission/planfile.h"
#include "link/linkfields.h"

#include <QSet>

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

// The progress line names the units still awaited when this few are left.
constexpr int NamedWhenAwaited = 3;

} // namespace

SiteRun::SiteRun(const CommissionOptions &options, const QList<PlannedUnit> &plan, QObject *parent)
    : QObject(parent),
      m_options(options),
      m_plan(plan),
      m_run(options,
            [](const QHostAddress &address, qint64 startedMs) {
                return std::make_unique<CommissionUnit>(address, startedMs, CommissionCommandLine::FindingMs);
            }),
      m_progress({QStringLiteral("found"), QStringLiteral("pushed"), QStringLiteral("verified"),
                  QStringLiteral("failed"), QStringLiteral("waiting")})
{
    connect(&m_run, &FleetRun::progressed, this, [this] {
        if (!m_reverting.isEmpty())
            stopFindingFoundElsewhere();
        showProgress();
    });
    connect(&m_run, &FleetRun::finished, this, &SiteRun::runFinished);
}

void SiteRun::setRecord(RecordFile *record, const RunName &name)
{
    m_record = record;
    m_name = name;
}

void SiteRun::setReverting(const QList<SiteRecord::Pushed> &pushed)
{
    m_reverting = pushed;
    for (const SiteRecord::Pushed &unit : pushed) {
        m_revertMacs.insert(unit.foundAddress.toIPv4Address(), unit.before.controlMac);
        m_revertMacs.insert(unit.planned.controlIp, unit.before.controlMac);
    }
}

CommissionUnit &SiteRun::unit(int index) const
{
    return static_cast<CommissionUnit &>(*m_run.units()[std::size_t(index)]);
}

bool SiteRun::start(QString *error)
{
    m_startTime = QDateTime::currentDateTimeUtc();
    m_subnets = LocalSubnets::all();
    return m_run.start(error);
}

void SiteRun::stop()
{
    if (m_stage == Stage::Done)
        return;
    m_stopped = true;
    m_run.stop();
    if (m_stage == Stage::Finding)
        judge();
    m_stage = Stage::Done;
    m_progress.clear();
    emit finished();
}

void SiteRun::runFinished()
{
    if (m_stage == Stage::Finding) {
        judge();
        if (m_options.apply && !m_options.writeTemplate) {
            m_stage = Stage::Applying;
            pushAll();
            return;
        }
    }
    m_stage = Stage::Done;
    m_progress.clear();
    emit finished();
}

void SiteRun::judge()
{
    m_judgedMs = m_run.elapsedMs();
    m_outcomes = judgeSite(m_plan, foundUnits());
    if (m_reverting.isEmpty())
        return;
    for (SiteOutcome &outcome : m_outcomes) {
        if (outcome.outcome != Outcome::Differs)
            continue;
        const QString changed = SiteRecord::changedSince(unit(outcome.unitIndex).before(), m_reverting[outcome.planIndex]);
        if (!changed.isEmpty()) {
            outcome.outcome = Outcome::Conflict;
            outcome.reason = changed;
        }
    }
}

void SiteRun::pushAll()
{
    QList<SiteOutcome> pushing;
    for (const SiteOutcome &outcome : qAsConst(m_outcomes)) {
        if (outcome.outcome == Outcome::Differs)
            pushing << outcome;
    }
    if (!pushing.isEmpty() && writeAhead(pushing)) {
        for (const SiteOutcome &outcome : qAsConst(pushing)) {
            CommissionUnit &pushed = unit(outcome.unitIndex);
            const Identity &planned = m_plan[outcome.planIndex].identity;
            pushed.push(planned, LinkFields::datagrams(linkTexts(planned), pushed.intercom()), m_options.timeoutMs,
                        LocalSubnets::reaches(m_subnets, planned.controlIp), m_run.elapsedMs());
        }
    }
    // Finishes at once when nothing was pushed.
    m_run.resume();
}

// Every line written, then synced once, before the first datagram goes out.
bool SiteRun::writeAhead(const QList<SiteOutcome> &pushing)
{
    if (!m_record)
        return true;
    for (const SiteOutcome &outcome : pushing) {
        ReportEntry pushed = entry(outcome);
        pushed.time = QDateTime::currentDateTimeUtc();
        if (!m_record->append(SiteRecord::pushingLine(m_name, pushed, m_plan[outcome.planIndex].identity),
                              &m_recordError))
            return false;
    }
    return m_record->sync(&m_recordError);
}

void SiteRun::stopFindingFoundElsewhere()
{
    QSet<QString> found;
    for (int i = 0; i < unitCount(); ++i) {
        if (unit(i).phase() == CommissionUnit::Phase::Found)
            found.insert(unit(i).before().controlMac);
    }
    for (int i = 0; i < unitCount(); ++i) {
        CommissionUnit &u = unit(i);
        const auto mac = m_revertMacs.constFind(u.address().toIPv4Address());
        if (u.phase() == CommissionUnit::Phase::Finding && mac != m_revertMacs.constEnd() && found.contains(*mac))
            u.stopFinding(m_run.elapsedMs());
    }
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

ReportEntry SiteRun::entry(const SiteOutcome &outcome) const
{
    using Phase = CommissionUnit::Phase;
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
        if (outcome.outcome == Outcome::Differs) {
            switch (u.phase()) {
            case Phase::Commissioned:
                entry.outcome = Outcome::Commissioned;
                entry.differences.clear();
                entry.after = u.after();
                break;
            case Phase::Failed:
                entry.outcome = Outcome::Failed;
                entry.reason = u.failure();
                if (u.after())
                    entry.differences = differences(*u.after(), *planned);
                break;
            case Phase::Moved:
                entry.outcome = Outcome::Moved;
                entry.differences.clear();
                entry.reason = QStringLiteral("pushed; no answer at %1, which is on none of this workstation's subnets")
                                   .arg(entry.plannedAddress);
                break;
            case Phase::Pushing:
            case Phase::Verifying:
                if (m_stopped) {
                    entry.elapsedMs = m_run.elapsedMs();
                    entry.reason = QStringLiteral("stopped after %1 link datagram(s), before its outcome was known")
                                       .arg(u.datagramsSent());
                }
                break;
            default:
                break;
            }
        }
    }
    entry.time = m_startTime.addMSecs(entry.elapsedMs);
    return entry;
}

QList<ReportEntry> SiteRun::entries() const
{
    QList<ReportEntry> entries;
    for (const SiteOutcome &outcome : m_outcomes) {
        // A revert looks for each unit where it was and where it was to go.
        if (!m_reverting.isEmpty() && outcome.outcome == Outcome::Silent)
            continue;
        entries << entry(outcome);
    }
    return entries;
}

void SiteRun::showProgress()
{
    int found = 0, pushed = 0, verified = 0, failed = 0, waiting = 0;
    QStringList awaited;
    for (int i = 0; i < unitCount(); ++i) {
        const CommissionUnit &u = unit(i);
        using Phase = CommissionUnit::Phase;
        found += u.phase() != Phase::Finding && u.phase() != Phase::Silent;
        pushed += u.datagramsSent() > 0;
        verified += u.phase() == Phase::Commissioned;
        failed += u.phase() == Phase::Failed;
        if (u.awaited()) {
            ++waiting;
            awaited << u.address().toString();
        }
    }
    m_progress.show({found, pushed, verified, failed, waiting},
                    awaited.size() <= NamedWhenAwaited ? awaited : QStringList());
}
