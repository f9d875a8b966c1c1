#pragma once

#include "monitor/statusdecoder.h"
#include "monitor/unitstatus.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// The rules of watching one unit, without a widget: which request a poll
// sends, how a datagram from the unit is taken, what an acknowledgement and a
// status reply do to the unit's record, which assembly the unit is judged
// against, and the readiness verdict. The window's slots and hvtk-check both
// go through here, so the two cannot disagree.
namespace UnitPoll {

// The status request, or the version query while the unit's firmware has not
// shown that it answers the status request.
QByteArray request(const UnitStatus &status);

enum class ReplyKind {
    Ignored,         // empty header (empty or NUL-led datagram): no answer at all
    Status,          // a status reply or a version answer ("HV...", "TK...", "Halvo...")
    Acknowledgement, // "R" or any other text, read as a result code
};

struct Reply
{
    ReplyKind kind = ReplyKind::Ignored;
    QString header;   // without carriage returns and line feeds
    QByteArray block; // empty for a text-only datagram
};

// How one datagram from the unit is taken apart and what kind of reply it is.
Reply take(const QByteArray &datagram);
// The kind of a header that is not empty (carriage returns and line feeds removed).
ReplyKind kindOf(const QString &header);

// An acknowledgement as it is compared: without line feeds, tabs and
// carriage returns.
QString acknowledgementCode(const QString &header);
// A failure code that shows the firmware lacks the status request sets
// FirmwareUnsupported, so the next polls use the version query.
void takeFailure(UnitStatus &status, const QString &code);

// The assembly the unit is judged against, once it is accepted.
struct AcceptedAssembly
{
    StatusDecoder::AssemblyContext context;
    quint8 indicatorCount = 0; // inputs and LEDs in use
};
// Accepting an assembly: "UNKNOWN" sets ModelInvalid, any model clears it.
AcceptedAssembly acceptAssembly(UnitStatus &status, int index);

// The assembly to take from the model a reply names, while the assumed one is
// "UNKNOWN"; -1 keeps the assumed one.
int assemblyToAdopt(int assumedIndex, const QString &modelToken, const QStringList &assemblyNames);

// A status reply or version answer, taken in the window's order: header,
// assembly adoption, version gate, block. `adopt` gets the record after its
// header was read, may accept another assembly, and returns the assembly the
// block is then decoded against.
using AdoptAssembly = std::function<StatusDecoder::AssemblyContext(UnitStatus &status)>;
StatusDecoder::Outcome takeStatusReply(UnitStatus &status, const QString &header, const QByteArray &block,
                                       const AdoptAssembly &adopt);

// The readiness checklist lines of the unit's record, each without its
// newline; none when nothing is open.
QStringList checklistLines(const UnitStatus &status, const StatusDecoder::AssemblyContext &assembly);

// The names of the set condition bits, lowest bit first ("FirmwareUnsupported", ...).
QStringList conditionNames(quint16 conditionFlags);

// The versions as the programs report them: "2.09" (empty before the unit
// named its model), "1.0.4" and "4.1.1.5" (only meaningful once a status
// block was read).
QString firmwareText(const UnitStatus &status);
QString bootloaderText(const UnitStatus &status);
QString danteFirmwareText(const UnitStatus &status);

} // namespace UnitPoll
