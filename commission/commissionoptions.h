#pragma once

#include "fleet/commandlinefront.h"
#include "fleet/fleetoptions.h"

#include <QString>
#include <QStringList>

// What hvtk-commission was asked to do.
struct CommissionOptions : FleetOptions
{
    CommissionOptions() { timeoutMs = 30000; } // covers the units' restart
    QString planFile;       // empty with --template and --revert
    bool apply = false;     // push; without it a dry run
    bool writeTemplate = false;
    QString outputFile;     // --template --output: written only when a unit answered
    QString revertRecord;   // --revert: the record whose run is undone
    QString revertRun;      // --run: its id; empty: the record's last apply
    QString station;        // --station: names this workstation in the record
};

namespace CommissionCommandLine {

// hvtk-commission's texts, options and arguments.
CommandLineFront::Program program();
// `arguments` includes the program name first, as QCoreApplication::arguments().
CommandLineFront::Parsed<CommissionOptions> parse(const QStringList &arguments);

// How long each unit may take to give a complete status reply, as hvtk-check waits.
constexpr int FindingMs = 5000;

// Exit statuses.
constexpr int Done = 0;
constexpr int Unfinished = 1;   // a difference remains, a push failed or a conflict
constexpr int NotFound = 2;     // a planned unit missing, a unit silent, none discovered
constexpr int Usage = FleetCommandLine::Usage;
constexpr int PlanInvalid = 65;
constexpr int PlanUnreadable = 66;
constexpr int SocketFailure = FleetCommandLine::SocketFailure;
constexpr int RecordFailure = FleetCommandLine::RecordFailure;

} // namespace CommissionCommandLine
