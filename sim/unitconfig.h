#pragma once

#include "channel/statuslayout.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>

// Where a simulated unit lives and what it is built as.
struct UnitConfig
{
    QHostAddress address;
    QString model = QStringLiteral("HV4K");  // one of UnitModels::names()
    QString firmware = QStringLiteral("2.09");
};

// How a simulated unit answers, including the ways it can misbehave.
struct UnitBehaviour
{
    static constexpr int DefaultRestartMs = 3000;

    bool silent = false;                  // answers nothing at all
    bool statusRequestSupported = true;   // false: "GSHV\r" is answered "E04" (old firmware)
    int statusReplyLength = StatusLayout::FullReplySize; // 251, 255, 256, or fewer to truncate
    bool carriageReturnAfterResult = true; // "R\r" rather than "R"
    int restartMs = DefaultRestartMs;     // silence after reboot, defaults, link, ...
    int liveChangeMs = 0;                 // > 0: inputs, LEDs, PTT, ringer, handset change this often
    QByteArray nextReply;                 // answered once, instead of whatever the next request asks
    QByteArray nextCommandError;          // the next command (not "GSHV"/"?V") fails with this code
    bool refusesMac = false;              // every MAC it is given is answered "E16"
};
