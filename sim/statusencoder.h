#pragma once

#include "channel/statuslayout.h"
#include "monitor/unitstatus.h"

#include <QByteArray>
#include <QString>

// Builds a unit's status reply from its state: the 32-byte text header and
// the binary block, every field at its offset in the status layout, numbers
// big-endian, addresses first octet first, texts NUL-padded to their width.
// The simulated units answer with it; the decoder reads the same layout.
namespace StatusEncoder {

// The version text a unit sends as its header: "HV4K v2.09\r" for model
// "HV4K" and firmware "2.09". A firmware text given with a leading "v" keeps it.
QByteArray versionText(const QString &model, const QString &firmware);

// The header field: the text cut to 32 bytes and padded with NUL bytes.
QByteArray header(const QByteArray &headerText);

// A whole status reply of `length` bytes: 251 (the full block), 255 (with the
// LED colour letters) or 256 (with the feature byte). A shorter length cuts the
// reply (a truncated reply, e.g. 32 for the header alone); a longer one pads it
// with NUL bytes. The 12 bytes the tool does not interpret (101..112) stay zero.
QByteArray encode(const QByteArray &headerText, const UnitStatus &state,
                  int length = StatusLayout::FullReplySize);

} // namespace StatusEncoder
