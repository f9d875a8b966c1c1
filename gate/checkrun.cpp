#include "gate/checkrun.h"

CheckRun::CheckRun(const CheckOptions &options, QObject *parent)
    : QObject(parent),
      m_run(options, [options](const QHostAddress &address, qint64 startedMs) {
          return std::make_unique<UnitCheck>(address, options.assembly, startedMs, options.timeoutMs);
      })
{
    connect(&m_run, &FleetRun::finished, this, &CheckRun::takeVerdicts);
}

bool CheckRun::start(QString *error)
{
    return m_run.start(error);
}

void CheckRun::takeVerdicts()
{
    m_units.clear();
    m_units.reserve(m_run.units().size());
    for (const auto &unit : m_run.units())
        m_units.push_back(static_cast<const UnitCheck &>(*unit));
    emit finished();
}
