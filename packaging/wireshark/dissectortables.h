#pragma once

#include "channel/statuslayout.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

// What the Wireshark dissector knows of the unit protocol, taken from the
// program's own tables: every field of the status reply with its name and
// Wireshark type, the condition bits, the bits of the network status and
// feature bytes, the command mnemonics and the result codes. The generator
// writes these into the dissector; the dissector test reads them back.
namespace DissectorTables {

// How a status field is shown in Wireshark.
enum class Kind {
    Version,    // bytes major.minor.patch[.build], shown as dotted text
    Text,       // NUL-padded UTF-8 text
    Mac,        // six bytes, an Ethernet address
    Ipv4,       // four bytes, first octet first
    Unsigned,   // big-endian unsigned number, decimal
    Hex,        // big-endian unsigned number, hexadecimal
    Bits,       // a byte of named bits (see bitsOf())
    Switch,     // one byte, non-zero means set
    BitArray,   // four bytes, bit (n-1) % 8 of byte (n-1) / 8 is item n
    Switches,   // four bytes, one per item, non-zero means set
    Letters,    // ASCII letters, one per item
    Bytes,      // not interpreted
};

struct StatusField
{
    const char *name;  // filter name after "hvtk.status."
    const char *label; // what Wireshark shows
    StatusLayout::Field field;
    Kind kind;
    const char *itemName = nullptr;  // BitArray, Switches, Letters: "input" gives "input_1", ...
    const char *itemLabel = nullptr; // "Input %1"
    int versionParts = 0;            // Version: how many bytes make the dotted text
};

// Every field of the status reply after its text header, in layout order.
const QList<StatusField> &statusFields();

struct NamedBit
{
    const char *name;
    const char *label;
    unsigned mask;
};

// The named bits of a Bits field ("network_status", "feature_bits").
QList<NamedBit> bitsOf(const char *fieldName);
// The sixteen condition bits.
const QList<NamedBit> &conditionBits();
// The six checks whose OR is "settings not at factory defaults".
const QList<NamedBit> &settingsChecks();

struct Command
{
    QByteArray mnemonic;
    QString meaning;
};
// Every command the tool sends, mnemonic without arguments or terminator.
QList<Command> commands();

struct ResultCode
{
    QString code;
    QString text;
    bool firmwareUnsupported;
};
// The failure codes that have a text, as the tool reports them.
QList<ResultCode> resultCodes();

// Empty when statusFields() covers the layout from the end of the header to
// the end of the longest reply, byte by byte, with no gap and no overlap;
// otherwise what is wrong.
QString layoutCoverageError();

} // namespace DissectorTables
