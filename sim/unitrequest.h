#pragma once

#include <QByteArray>
#include <QList>

// One request datagram as a unit reads it: arguments, mnemonic, carriage
// return. A missing final carriage return is tolerated.
struct UnitRequest
{
    enum Kind {
        Unknown,
        StatusRequest,   // "GSHV"
        VersionQuery,    // "?V"
        Identify,        // "PIHV"
        LedsGreen,       // "*LNSGCSI"
        LedsRed,         // "*LNSRCSI"
        LedsOrange,      // "*LNSOCSI"
        LedsOff,         // "*LFSSI"
        RingerTest,      // "CM1DRE"
        HandsetMute,     // "<digit>HMHV"
        Reboot,          // "XX"
        LoadDefaults,    // "DE"
        FirmwareUpdate,  // "BLXX"
        Assembly,        // "<code>PAHV"
        MacAddress,      // "<mac>MC" (control) or "<mac>UMC" (Dante reference)
        LedCycleToggle,  // "LCHV"
        RedetectUltimo,  // "DUHV"
        ClearPowerCycles,// "<n>RCHV"
        LedIntensity,    // "<percent>IB"
        LinkStart,       // "1LI"
        LinkStationName, // "<name>NM"
        LinkDanteName,   // "<name>ND"
        LinkAddresses,   // "<7 addresses>,<port>,1,1LX"
    };

    Kind kind = Unknown;
    QByteArray argument;         // the text before the mnemonic
    QList<QByteArray> arguments; // `argument` split at ","
    bool danteReference = false; // MacAddress: "U" before "MC"

    // True for requests that only read the unit ("GSHV", "?V").
    bool isQuery() const { return kind == StatusRequest || kind == VersionQuery; }
};

UnitRequest parseUnitRequest(const QByteArray &datagram);
