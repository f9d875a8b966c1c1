#include "watch/servicehealth.h"

#include "monitor/conditions.h"

#include <algorithm>
#include <utility>

namespace ServiceHealth {

State stateOf(const QString &condition)
{
    for (const Rule &rule : Alarmed) {
        if (condition == QLatin1String(rule.condition))
            return rule.state;
    }
    return State::Ok;
}

QString stateName(State state)
{
    switch (state) {
    case State::Ok:
        return QStringLiteral("ok");
    case State::Warning:
        return QStringLiteral("warning");
    case State::Critical:
        break;
    }
    return QStringLiteral("critical");
}

Judgement judge(const ProbeResult &probe)
{
    Judgement judgement;
    if (!probe.answered) {
        judgement.state = State::Critical;
        judgement.conditions = QStringList{QLatin1String(NoAnswer)};
        return judgement;
    }
    QStringList found;
    for (const Conditions::Condition &condition : Conditions::All) {
        if (probe.status.hasCondition(condition.flag))
            found << QLatin1String(condition.name);
    }
    if (probe.qsysCoreSet() && !probe.qsysCoreLinked())
        found << QLatin1String(QsysCoreNotLinked);
    if (probe.addressConflict)
        found << QLatin1String(AddressConflict);
    if (!probe.driftedFields.isEmpty()) {
        found << QLatin1String(PlanDrift);
        judgement.driftedFields = probe.driftedFields;
    }

    // Alarmed conditions in table order, then those only reported in bit order.
    for (const Rule &rule : Alarmed) {
        if (found.contains(QLatin1String(rule.condition))) {
            judgement.conditions << QLatin1String(rule.condition);
            judgement.state = std::max(judgement.state, rule.state);
        }
    }
    for (const QString &condition : std::as_const(found)) {
        if (stateOf(condition) == State::Ok)
            judgement.conditions << condition;
    }
    return judgement;
}

} // namespace ServiceHealth
