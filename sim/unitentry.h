#pragma once

#include "sim/unitconfig.h"

#include <QList>
#include <QString>
#include <QStringList>

class SimulatedUnit;

// A unit as written on the command line or in a units file:
//   ADDRESS[:MODEL[:FIRMWARE]] [OPTION ...]
// for example "192.168.0.21:TK12X:2.12 silent length=32". OPTION is one of
// the words of UnitEntry::optionHelp().
struct UnitEntry
{
    UnitConfig config;
    QStringList options;
};

namespace UnitEntries {

// Parses "ADDRESS[:MODEL[:FIRMWARE]]"; false with `error` set when malformed.
bool parseUnit(const QString &text, UnitConfig *config, QString *error);
// Parses one line of a units file; blank lines and "#" comments give no unit.
// Returns false with `error` for a malformed line.
bool parseLine(const QString &line, QList<UnitEntry> *entries, QString *error);
// Parses a whole units file's text; the error names the line.
bool parseFile(const QString &text, QList<UnitEntry> *entries, QString *error);
// Checks an option word without applying it.
bool checkOption(const QString &option, QString *error);
// Applies one option word to a running unit.
bool applyOption(SimulatedUnit *unit, const QString &option, QString *error);
// Whether the entry is a second unit at an earlier entry's address (twin=MAC).
bool isTwin(const UnitEntry &entry);
// The option words, one per line, for --help and the README.
QString optionHelp();

} // namespace UnitEntries
