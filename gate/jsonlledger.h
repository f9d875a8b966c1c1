#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <vector>

// Reads a ledger written as JSON lines by earlier stations (one line per MAC
// handed out: "time", "mac", "danteMac", "address", "model", "station",
// "outcome" and, for "failed", "reason") so that its MACs can be carried
// over. Nothing is lost quietly: a line that is not a whole ledger line (a
// torn last line after a power cut, a fragment with the next line written
// onto it, text that is no JSON) is reported, and every MAC that can still
// be read from it is kept as an entry of its own.
namespace JsonlLedger {

struct Entry
{
    int line = 0;      // 1-based line of the file
    bool whole = true; // false: salvaged from a line that is no whole ledger line
    QString mac;       // "02:4B:7D:00:01:0A", upper case; always a MAC
    QString danteMac;  // the rest as the line holds it; empty when it names none
    QString address;
    QString model;
    QString station;
    QString outcome;   // "programmed", "failed"; empty when a torn line lost it
    QString reason;
    QDateTime time;    // UTC; invalid when the line holds none
};

struct Contents
{
    std::vector<Entry> entries; // in the order of the file
    QStringList problems;       // "FILE:LINE: ..." for each line that is no whole ledger line
};

// `bytes` is the whole file; `name` stands for it in the problems.
Contents read(const QString &name, const QByteArray &bytes);

} // namespace JsonlLedger
