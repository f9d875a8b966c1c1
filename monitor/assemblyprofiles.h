#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// What the assembly (model) chosen in the assembly box means for the window:
// how many input and LED indicators are in use, whether the intercom-only
// indicators and actions apply, and whether the unit is built with the
// UltimoX chip. The box lists HV4, HV4X, HV4K, HV12X, HV16, HV16K, HV32K,
// TK4K, TK12X, TK32K and UNKNOWN, in that order.
namespace Assembly {

constexpr int HV4 = 0;      // compatibility model for older Ultimo builds
constexpr int HV16 = 4;     // compatibility model for older Ultimo builds
constexpr int Unknown = 10; // last entry, "UNKNOWN"
constexpr int Count = 11;

struct Profile
{
    quint8 indicatorCount; // inputs and LEDs in use, the same number for both
    bool intercom;
    bool ultimoXClass;
};

// The text of box index `index` ("HV4" ... "UNKNOWN"); empty outside the list.
QString name(int index);
// All eleven entries in box order.
QStringList names();

// The profile of box index `index`; an index outside the list (such as -1
// for an empty box) counts as a 32-indicator UltimoX-class paging model.
Profile profile(int index);

bool isCompatibilityModel(int index);

} // namespace Assembly
