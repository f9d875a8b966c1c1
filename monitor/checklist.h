#pragma once

#include "monitor/unitstatus.h"

#include <QString>

// The readiness checklist: one upper-case instruction line for every open
// condition of the last status reply, in a fixed order, and how the details
// box shows it.
namespace Checklist {

// What the checklist reads besides the unit's record.
struct AssemblyState
{
    int assembly = 0;          // accepted index of the assembly box
    bool ultimoXModel = false; // the accepted assembly is UltimoX-class
};

// Lines for the set condition bits; empty when nothing is open.
QString text(const UnitStatus &status, const AssemblyState &assembly);

// What the details box should hold. `touch` false: leave it as it is
// (online outside private mode, where the box holds the reply log).
struct Display
{
    bool touch = false;
    QString text;
    QString styleSheet;
};

// `statusRead`: a complete status reply was decoded since the unit came
// online. Without one nothing was judged, so the unit is not called ready.
Display display(const QString &checklistText, const UnitStatus &status, bool ultimoXModel,
                bool online, bool privateMode, bool statusRead);

// A unit may ship only when a complete status reply was read and no line is open.
bool releaseReady(bool statusRead, bool anyLineOpen);

// The one line shown in place of a verdict while no complete status reply was read.
extern const char *const NotJudgedLine;

extern const char *const OfflineStyleSheet; // WindowStyle::OfflineChecklist
extern const char *const YellowStyleSheet;  // #ffffb2: only the image file needs checking
extern const char *const RedStyleSheet;     // #ffb2b2
extern const char *const GreenStyleSheet;   // #b2ffb2

} // namespace Checklist
