#pragma once

#include "watch/proberesult.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>

// How a unit in service is judged: each condition a probe can find has one
// service state. Conditions the table does not list (the production ones:
// defaults, DIP switches, LED intensity, versions) are reported, never
// alarmed on.
namespace ServiceHealth {

enum class State { Ok = 0, Warning = 1, Critical = 2 };

// Conditions a probe finds besides the sixteen bits of the status reply.
inline constexpr const char *NoAnswer = "NoAnswer";
inline constexpr const char *QsysCoreNotLinked = "QsysCoreNotLinked";
inline constexpr const char *AddressConflict = "AddressConflict";
inline constexpr const char *PlanDrift = "PlanDrift";

struct Rule
{
    const char *condition; // a bit's name as hvtk-check's JSON has it, or one of the above
    State state;
};

// The alarmed conditions, worst first.
inline constexpr std::array<Rule, 8> Alarmed = {{
    {NoAnswer, State::Critical},
    {"UnitErrorReported", State::Critical},
    {"UltimoBusRequiredOffline", State::Critical},
    {QsysCoreNotLinked, State::Critical},
    {AddressConflict, State::Critical},
    {PlanDrift, State::Warning},
    {"DataTruncated", State::Warning},
    {"FirmwareUnsupported", State::Warning},
}};

constexpr bool worstFirst()
{
    for (std::size_t i = 1; i < Alarmed.size(); ++i) {
        if (Alarmed[i].state > Alarmed[i - 1].state)
            return false;
    }
    return true;
}
static_assert(worstFirst(), "the alarmed conditions, the worst first");

// The service state of one condition: Ok for one the table does not list.
State stateOf(const QString &condition);

// "ok", "warning", "critical".
QString stateName(State state);

struct Judgement
{
    State state = State::Ok;
    QStringList conditions;    // every condition found, the worst first, then in table and bit order
    QStringList driftedFields; // with PlanDrift: the plan columns that drifted

    bool operator==(const Judgement &other) const
    {
        return state == other.state && conditions == other.conditions && driftedFields == other.driftedFields;
    }
    bool operator!=(const Judgement &other) const { return !(*this == other); }
};

// The conditions of a probe and the worst state among them. A unit that did
// not answer has the one condition NoAnswer.
Judgement judge(const ProbeResult &probe);

} // namespace ServiceHealth
