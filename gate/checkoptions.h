#pragma once

#include "fleet/commandlinefront.h"
#include "fleet/fleetoptions.h"
#include "gate/macpool.h"
#include "gate/yieldreport.h"
#include "monitor/assemblyprofiles.h"

#include <QString>
#include <QStringList>

// What hvtk-check was asked to do: the units, timeout and outputs as every
// fleet program takes them, the assembly to judge against, and what to
// program first.
struct CheckOptions : FleetOptions
{
    int assembly = Assembly::Unknown;  // index of the assembly list; "UNKNOWN": the model each unit reports
    bool program = false;              // program the model and a control MAC before judging
    MacPool macPool;                   // the master list; empty: no MAC is given
    QString ledgerFile;                // --ledger: a database file or a postgresql:// URI; empty: none
    bool createLedger = false;         // --create-ledger: make the ledger, nothing else
    QString importLedger;              // --import-ledger: the JSON-lines ledger to read in, nothing else
    QString station;                   // names this station in the ledger and the records
    QString operatorName;              // who runs the station, for the records
    int expectedUnits = 0;             // with --discover: how many units the jig holds; 0: any number
    bool report = false;               // --report: print the line's yield from the ledger, check nothing
    YieldReport::Period reportPeriod;  // --since, --until
    QString chartFile;                 // --chart: the yield chart's PNG; empty: none
};

namespace CheckCommandLine {

// hvtk-check's texts, options and arguments.
CommandLineFront::Program program();
// `arguments` includes the program name first, as QCoreApplication::arguments().
CommandLineFront::Parsed<CheckOptions> parse(const QStringList &arguments);

// Exit statuses.
constexpr int AllReady = 0;
constexpr int NotReady = 1;
constexpr int NoAnswer = 2;
constexpr int Usage = FleetCommandLine::Usage;
constexpr int NoLedger = 66;
constexpr int SocketFailure = FleetCommandLine::SocketFailure;
constexpr int RecordFailure = FleetCommandLine::RecordFailure;
constexpr int LedgerMissing = NoLedger;                     // no such ledger, or no ledger schema in it
constexpr int LedgerExists = 73;                            // --create-ledger: a ledger is there already
constexpr int LedgerFailure = FleetCommandLine::RecordFailure; // the ledger cannot be read or written
constexpr int Interrupted = 130;                            // SIGINT (StopSignals::exitStatus)
constexpr int Terminated = 143;                             // SIGTERM

} // namespace CheckCommandLine
