#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The texts of every command the tool sends to a unit. Each function returns
// a whole datagram: arguments, mnemonic and one carriage return. Text taken
// from an input field goes out as its UTF-8 bytes, with any carriage return
// or line feed dropped so that a datagram always holds exactly one command.
namespace CommandText {

constexpr quint16 UnitPort = 2638;

QByteArray statusRequest();  // "GSHV\r"
QByteArray versionQuery();   // "?V\r"
QByteArray identify();       // "PIHV\r"

// LED state toggle: step 1, 2, 3 pick a colour, any other step switches all off.
QByteArray ledStateToggle(quint8 step);
// The step that follows `step` for a unit with `ledCount` LEDs.
quint8 nextLedToggleStep(quint8 step, quint8 ledCount);

QByteArray ringerTest();                      // "CM1DRE\r"
QByteArray handsetMute(bool currentlyMuted);  // "1HMHV\r" mutes, "0HMHV\r" unmutes
QByteArray reboot();                          // "XX\r"
QByteArray loadDefaults();                    // "DE\r"
QByteArray firmwareUpdateMode();              // "BLXX\r"
QByteArray assembly(int assemblyIndex);       // "%dPAHV\r" with index + 1
QByteArray macAddress(const QString &mac, bool danteReference);
QByteArray ledCycleToggle();                  // "LCHV\r"
QByteArray redetectUltimo();                  // "DUHV\r"
QByteArray clearPowerCycleCounter();          // "1RCHV\r"
QByteArray custom(const QString &text);       // the text as typed + "\r"
QByteArray ledIntensity(int percent);         // "%dIB\r"

// The four datagrams of a manual link push.
constexpr int StationNameBytes = 64;
constexpr int DanteNameBytes = 32;
QByteArray linkStart();                       // "1LI\r"
QByteArray stationName(const QString &name);  // name cut to 64 UTF-8 bytes + "NM\r"
QByteArray danteName(const QString &name);    // name cut to 32 UTF-8 bytes + "ND\r"
// The seven address texts as typed, each followed by ",", then the link port
// and ",", then "1,1LX\r".
QByteArray linkAddresses(const QStringList &addresses, int linkPort);

// The longest leading part of `text` whose UTF-8 form fits in maxBytes,
// never splitting a character.
QByteArray utf8Prefix(const QString &text, int maxBytes);

} // namespace CommandText
