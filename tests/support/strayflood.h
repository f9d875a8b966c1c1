#pragma once

#include "monitor/unitstatus.h"

#include <QByteArray>
#include <QtGlobal>

// What the stray-flood suite and benchmark both measure.
namespace StrayFlood {

// Datagrams the kernel dropped because a socket's receive buffer was full
// (the private namespace's own counter); -1 when it cannot be read.
qint64 udpReceiveBufferErrors();

// The part of a record that a 251-byte status reply carries, as bytes.
QByteArray replyFields(const UnitStatus &status);

} // namespace StrayFlood
