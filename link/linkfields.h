#pragma once

#include "monitor/unitstatus.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// The manual link panel without its widgets: the checks of its fields, the
// texts it opens with and the four datagrams it sends.
namespace LinkFields {

// One bit per checked field of the panel; the two names carry no bit.
enum FieldBit : int {
    ControlIpBit = 0,
    ControlMaskBit = 1,
    ControlGatewayBit = 2,
    DanteIpBit = 3,
    DanteMaskBit = 4,
    DanteGatewayBit = 5,
    QsysCoreIpBit = 6,
    StationIdBit = 7,
};
constexpr quint8 AllFieldsValid = 0xFF;

constexpr int LowestStationId = 1;
constexpr int HighestStationId = 998;
constexpr int PagingLinkPortBase = 4000;
constexpr int IntercomLinkPortBase = 5000;

// The texts of the panel's ten fields.
struct Texts
{
    QString controlIp;
    QString controlMask;
    QString controlGateway;
    QString stationName;
    QString danteIp;
    QString danteMask;
    QString danteGateway;
    QString danteName;
    QString qsysCoreIp;
    QString stationId;

    // The seven address texts in the order the unit expects them.
    QStringList addresses() const;
};

// True when the text parses as a host address: dotted IPv4 or IPv6 text.
bool isValidAddress(const QString &text);

// The station ID of the text when the whole text is a decimal number from
// 1 to 998, else 0.
int stationId(const QString &text);
bool isValidStationId(const QString &text);

// The unit's link port for a station ID: + 5000 on an intercom, + 4000 on a
// paging unit.
int linkPort(int stationId, bool intercomModel);

// True when the name's UTF-8 form fits in a field of maxBytes bytes.
bool nameFits(const QString &name, int maxBytes);
bool stationNameFits(const QString &name);
bool danteNameFits(const QString &name);

// The mask with the bit of `bit` set or cleared.
quint8 withBit(quint8 mask, int bit, bool on);

// SEND is possible only towards a valid destination with every checked
// field valid.
bool canSend(bool destinationValid, quint8 validMask);

// The text a field opens with for an IPv4 value of a status reply: the
// dotted address, or unsetText when the unit reports 0.0.0.0.
QString addressText(quint32 ipv4, const QString &unsetText = QString());

// The texts the panel opens with, from the unit's last status reply.
Texts prefilled(const UnitStatus &status);

// The four datagrams of a push, in sending order: link start, station name,
// Dante name, addresses with link port. The fields must be valid.
QList<QByteArray> datagrams(const Texts &texts, bool intercomModel);

} // namespace LinkFields
