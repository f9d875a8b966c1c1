#include "monitor/assemblyprofiles.h"

#include <QStringList>

namespace Assembly {

namespace {

constexpr Profile Profiles[Count] = {
    {4, false, false},  // HV4
    {4, false, true},   // HV4X
    {4, false, true},   // HV4K
    {12, false, true},  // HV12X
    {16, false, false}, // HV16
    {16, false, true},  // HV16K
    {32, false, true},  // HV32K
    {4, true, true},    // TK4K
    {12, true, true},   // TK12X
    {32, true, true},   // TK32K
    {32, false, false}, // UNKNOWN
};

constexpr Profile OutsideTheList{32, false, true};

const char *const Names[Count] = {"HV4",   "HV4X", "HV4K",  "HV12X", "HV16",   "HV16K",
                                  "HV32K", "TK4K", "TK12X", "TK32K", "UNKNOWN"};

} // namespace

QString name(int index)
{
    if (index < 0 || index >= Count)
        return QString();
    return QString::fromLatin1(Names[index]);
}

QStringList names()
{
    QStringList result;
    for (const char *entry : Names)
        result << QString::fromLatin1(entry);
    return result;
}

Profile profile(int index)
{
    if (index < 0 || index >= Count)
        return OutsideTheList;
    return Profiles[index];
}

bool isCompatibilityModel(int index)
{
    return index == HV4 || index == HV16;
}

} // namespace Assembly
