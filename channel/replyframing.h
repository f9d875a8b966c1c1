#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>

// How a datagram on the unit channel is taken apart. A datagram of 219 bytes
// or more is a status reply: a 32-byte text header and the binary block after
// it. Anything shorter is text only (an acknowledgement, an error code or a
// bare version header).
namespace ReplyFraming {

struct Reply
{
    QString header;   // UTF-8 text up to the first NUL
    QByteArray block; // empty for a text-only datagram
};

Reply split(const QByteArray &datagram);

// The header without carriage returns and line feeds.
QString withoutLineBreaks(QString text);
// The header without carriage returns, line feeds and tabs: the form in which
// acknowledgements and result codes are compared.
QString withoutControlWhitespace(QString text);

// A status or version header, and so a unit's answer to the version query,
// names the unit's model first: "HV..." or "TK..." for the two families, or
// "Halvo" from older paging units.
bool namesUnitModel(const QByteArray &text);
bool isStatusHeader(const QString &header);

// True when `sender` is the selected unit. An IPv4 address and its
// IPv4-mapped IPv6 form count as the same address; a null unit address
// matches no sender.
bool sentByUnit(const QHostAddress &sender, const QHostAddress &unit);

} // namespace ReplyFraming
