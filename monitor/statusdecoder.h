#pragma once

#include "monitor/assemblyprofiles.h"
#include "monitor/unitstatus.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Turns a unit's status reply into UnitStatus and its condition bits. The
// window hands in what it knows of the assumed assembly; nothing here touches
// a widget. The header comes without carriage returns and line feeds; the
// block is the datagram after its 32-byte header (empty for a text-only
// reply).
namespace StatusDecoder {

// What the decoder needs to know of the assembly the window has accepted.
struct AssemblyContext
{
    int assemblyIndex = Assembly::Unknown; // index of the assembly list
    bool intercomModel = false;
    bool ultimoXModel = false;
};

constexpr unsigned StatusRequestSince = VersionCode::firmware(1, 13);
constexpr unsigned CurrentFirmwareSince = VersionCode::firmware(1, 15);
constexpr unsigned SecondSeriesStatusRequestSince = VersionCode::firmware(2, 5);
constexpr unsigned SecondSeriesCurrentSince = VersionCode::firmware(2, 9);
constexpr unsigned SecondSeriesFeatureIndicatorsSince = VersionCode::firmware(2, 12);
constexpr unsigned CurrentBootloaderSince = VersionCode::bootloader({1, 0, 4});
constexpr unsigned CurrentUltimoSince = VersionCode::danteFirmware({3, 10, 4, 0});
constexpr unsigned CurrentUltimoX2Since = VersionCode::danteFirmware({4, 1, 1, 0});
constexpr int LowestShippingIntensity = 90;

// "HV4K v2.09" gives 209. The version token loses every "v" (either case) and
// is split at "."; a missing or non-numeric part counts as 0, and each part
// keeps only its low eight bits.
unsigned firmwareVersionCode(const QString &versionToken);

// Model token and firmware version code from the header. A header without a
// blank has no version token and so version code 0.
void readHeader(UnitStatus &status, const QString &header);

// Where the reported model stands in the assembly list (exact match; "Halvo"
// from older paging units is "HV4"), or -1.
int assemblyIndexForModel(const QString &modelToken, const QStringList &assemblyNames);

// Firmware that answers the status request: 1.13 to 1.99, 2.05 and later.
bool supportsStatusRequest(unsigned versionCode);
// Firmware that answers it but must be updated before shipping.
bool needsFirmwareUpdate(unsigned versionCode);
// Firmware that reports button taps and PTT zone mode.
bool reportsFeatureIndicators(unsigned versionCode);

// Sets or clears FirmwareUnsupported and FirmwareUpdateRequired from the
// version code; returns true when the firmware supports the status request.
bool applyVersionGate(UnitStatus &status);

// Decodes a block of 219 bytes or more into every field and condition bit
// and returns true. A shorter block sets DataTruncated (unless the firmware
// is already known to be too old) and changes nothing else.
bool readBlock(UnitStatus &status, const QByteArray &block, const AssemblyContext &assembly);

struct Outcome
{
    bool supported = false;    // the poll may use the status request, every 300 ms
    bool blockDecoded = false; // the block was complete and decoded
};
// The whole reply, for callers that take no part in choosing the assembly.
Outcome decode(UnitStatus &status, const QString &header, const QByteArray &block,
               const AssemblyContext &assembly);

// The MAC-type box is offered only where the technician has to program a
// Dante MAC reference: private mode, unit online, an assembly that is not
// UltimoX-class and an Ultimo bus that is not online.
bool macTypeBoxWanted(bool ultimoXModel, bool ultimoBusOnline, bool online, bool privateMode);

} // namespace StatusDecoder
