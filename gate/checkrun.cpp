#include "gate/checkrun.h"

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
    return m_run.start(error);
}

std::unique_ptr<FleetUnit> CheckRun::makeUnit(const QHostAddress &address, qint64 startedMs)
{
    if (!m_options.program)
        return std::make_unique<UnitCheck>(address, m_options.assembly, startedMs, m_options.timeoutMs);
    UnitProgramming::Line line;
    line.assembly = m_options.assembly;
    if (m_ledger) {
        line.pool = &m_options.macPool;
        line.ledger = m_ledger;
    }
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
    if (m_progress)
        m_progress->clear();
    m_units.clear();
    m_units.reserve(m_run.units().size());
    for (const auto &unit : m_run.units())
        m_units.push_back(static_cast<const UnitCheck &>(*unit));
    emit finished();
}
