#pragma once

#include "gate/ledger.h"
#include "gate/unitcheck.h"

#include <vector>

// What ships must be unique: after a run, each unit whose control MAC (one the
// checklist accepts) another unit of the run reports gets
// "-MAC <mac> IS ALSO ON <address>.", and with a ledger each unit whose MAC
// the ledger handed to another Dante MAC gets
// "-MAC <mac> WAS ISSUED TO ANOTHER UNIT (DANTE MAC <dante>).". Either line
// makes it not ready.
namespace MacUniqueness {

void mark(std::vector<UnitCheck> &units, Ledger *ledger);

} // namespace MacUniqueness
