#pragma once

#include "link/linkfields.h"
#include "monitor/unitstatus.h"
#include "sim/unitmodel.h"

#include <QHostAddress>

// The state of a unit as it leaves the factory, ready to ship: valid MAC
// prefixes, names that end in their MAC, intensity 100, DIP switches off,
// a current Dante chip and firmware for its build, the Q-SYS port of its
// family, DHCP on and the stored control address in 192.168.0.x.
namespace UnitDefaults {

constexpr int LinkPortBasePaging = LinkFields::PagingLinkPortBase;
constexpr int LinkPortBaseIntercom = LinkFields::IntercomLinkPortBase;

// Firmware version code (VersionCode::firmware) of a text such as "2.09" or "v2.09".
unsigned firmwareCode(const QString &firmware);

// The default name of a unit: its model, "-" and the last three bytes of the MAC.
QString nameFor(const UnitModel &model, const std::array<quint8, 6> &mac);

// A whole unit: hardware identity (MACs, chip, versions, DIP switches) derived
// from its address, plus factory settings.
UnitStatus factoryState(const UnitModel &model, const QString &firmware,
                        const QHostAddress &address);

// What "load defaults" resets: network settings, names (from the current
// MACs), Q-SYS link, timers, intensity, station ID and the live outputs. The
// hardware identity, DIP switches, chip, counters and error code stay.
void restoreSettings(UnitStatus &state, const UnitModel &model, const QHostAddress &address);

} // namespace UnitDefaults
