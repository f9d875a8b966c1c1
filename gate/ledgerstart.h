#pragma once

#include "gate/checkoptions.h"
#include "gate/ledger.h"
#include "gate/ledgerconnection.h"

#include <memory>

// The ledger's part of an hvtk-check run, before any unit is polled:
// --create-ledger, and opening the --ledger of a run with its station.
namespace LedgerStart {

// --create-ledger: the exit status; `message` the line to print (on
// standard output when 0, standard error otherwise).
int create(const CheckOptions &options, QString *message);

// Opens options.ledgerFile into `connection` and makes the run's ledger; on
// failure null, with the exit status (LedgerMissing, LedgerFailure) and the
// error.
std::unique_ptr<Ledger> open(const CheckOptions &options, LedgerConnection *connection, int *status,
                             QString *error);

// The exit status of a failed open or create.
int exitStatus(LedgerConnection::Status status);

} // namespace LedgerStart
