#pragma once

#include "gate/checkoptions.h"
#include "gate/jsonlledger.h"
#include "gate/ledger.h"

#include <QStringList>

#include <vector>

// hvtk-check --import-ledger FILE.jsonl --ledger LEDGER: the MACs of a ledger
// an earlier version wrote as JSON lines, into the database once. Each MAC
// stays used, each unit keeps its MAC (its last "programmed" line, unless a
// later "failed" line took it back: then the MAC is refused); a MAC read
// from a torn line stays used too.
namespace LedgerImport {

// One row per MAC the file names, in the order the file first names them.
std::vector<Ledger::ImportedMac> macs(const JsonlLedger::Contents &contents);

// The whole run: the exit status; `out` the closing line, `errors` the lines
// for standard error (the file's problems, FILE:LINE: ..., and failures).
int run(const CheckOptions &options, QString *out, QStringList *errors);

} // namespace LedgerImport
