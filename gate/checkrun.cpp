#include "gate/checkrun.h"

#include "gate/checkreport.h"
#include "gate/macuniqueness.h"
#include "gate/unitprogramming.h"


CheckRun::CheckRun(const CheckOptions &options, Ledger *ledger, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_ledger(ledger)
    , m_run(options, [this](const QHostAddress &address, qint64 startedMs) { return makeUnit(address, startedMs); })
{
    connect(&m_run, &FleetRun::finished, this, &CheckRun::takeVerdicts);
    if (m_options.program) {
        m_progress = std::make_unique<ProgressLine>(
            QStringList{QStringLiteral("programmed"), QStringLiteral("waiting"), QStringLiteral("judged")});
        connect(&m_run, &FleetRun::progressed, this, &CheckRun::showProgress);
    }
}

bool CheckRun::start(QString *error)
{
    if (m_ledger && m_options.program)
        m_ledger->releaseEarlierClaims();
    return m_run.start(error);
}

void CheckRun::interrupt()
{
    if (m_interrupted)
        return;
    m_interrupted = true;
    const qint64 now = m_run.elapsedMs();
    for (const auto &unit : m_run.units())
        static_cast<UnitCheck &>(*unit).interrupt(now);
    takeVerdicts();
}

std::unique_ptr<FleetUnit> CheckRun::makeUnit(const QHostAddress &address, qint64 startedMs)
{
    if (!m_options.program)
        return std::make_unique<UnitCheck>(address, m_options.assembly, startedMs, m_options.timeoutMs);
    UnitProgramming::Line line;
    line.assembly = m_options.assembly;
    line.ledger = m_ledger;
    if (m_ledger && !m_options.macPool.ranges().empty())
        line.pool = &m_options.macPool;
    return std::make_unique<UnitProgramming>(address, line, startedMs, m_options.timeoutMs);
}

void CheckRun::showProgress()
{
    int programmed = 0;
    int waiting = 0;
    for (const auto &unit : m_run.units()) {
        const auto &check = static_cast<const UnitCheck &>(*unit);
        programmed += !check.programmedAssembly().isEmpty() || !check.programmedMac().isEmpty();
        waiting += !check.finished();
    }
    const int judged = int(m_run.units().size()) - waiting;
    m_progress->show({programmed, waiting, judged});
}

void CheckRun::takeVerdicts()
{
    if (m_verdictsTaken)
        return;
    m_verdictsTaken = true;
    if (m_progress)
        m_progress->clear();
    m_units.clear();
    m_units.reserve(m_run.units().size());
    for (const auto &unit : m_run.units()) {
        const auto &check = static_cast<const UnitCheck &>(*unit);
        if (check.claimedBy().isEmpty())
            m_units.push_back(check);
        else
            m_claimedElsewhere.push_back(check);
    }
    MacUniqueness::mark(m_units, m_ledger);
    writeLedger();
    emit finished();
}

// Every unit judged is a row of the records; the run's claims lapse.
void CheckRun::writeLedger()
{
    if (!m_ledger)
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    std::vector<Ledger::Record> records;
    records.reserve(m_units.size());
    for (const UnitCheck &unit : m_units)
        records.push_back(CheckReport::ledgerRecord(unit, now));
    m_ledger->addRecords(records);
    if (m_options.program)
        m_ledger->releaseClaims();
}
