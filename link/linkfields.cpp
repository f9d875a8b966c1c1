#include "link/linkfields.h"

#include "channel/addresstext.h"

#include "channel/commandtext.h"

#include <QHostAddress>

namespace LinkFields {

QStringList Texts::addresses() const
{
    return {controlIp, controlMask, controlGateway, danteIp, danteMask, danteGateway, qsysCoreIp};
}

bool isValidAddress(const QString &text)
{
    return !QHostAddress(text).isNull();
}

int stationId(const QString &text)
{
    // The whole number counts: 65537 is not station 1.
    bool isNumber = false;
    const int value = text.toInt(&isNumber, 10);
    if (!isNumber || value < LowestStationId || value > HighestStationId)
        return 0;
    return value;
}

bool isValidStationId(const QString &text)
{
    return stationId(text) != 0;
}

int linkPort(int stationId, bool intercomModel)
{
    return stationId + (intercomModel ? IntercomLinkPortBase : PagingLinkPortBase);
}

bool nameFits(const QString &name, int maxBytes)
{
    return name.toUtf8().size() <= maxBytes;
}

bool stationNameFits(const QString &name)
{
    return nameFits(name, CommandText::StationNameBytes);
}

bool danteNameFits(const QString &name)
{
    return nameFits(name, CommandText::DanteNameBytes);
}

quint8 withBit(quint8 mask, int bit, bool on)
{
    const quint8 bitMask = quint8(1u << bit);
    return on ? quint8(mask | bitMask) : quint8(mask & ~bitMask);
}

bool canSend(bool destinationValid, quint8 validMask)
{
    return destinationValid && validMask == AllFieldsValid;
}

QString addressText(quint32 ipv4, const QString &unsetText)
{
    return ipv4 == 0 ? unsetText : AddressText::ipv4(ipv4);
}

Texts prefilled(const UnitStatus &status)
{
    const QString defaultMask = QStringLiteral("255.255.255.0");
    Texts texts;
    texts.controlIp = addressText(status.controlIpStored);
    texts.danteIp = addressText(status.danteIp);
    texts.controlMask = addressText(status.controlSubnetMask, defaultMask);
    texts.danteMask = addressText(status.danteSubnetMask, defaultMask);
    texts.controlGateway = addressText(status.controlGateway);
    texts.danteGateway = addressText(status.danteGateway);
    texts.qsysCoreIp = addressText(status.qsysCoreIp);
    texts.stationId = QString::number(status.stationId);
    texts.stationName = status.localName;
    texts.danteName = status.danteName;
    return texts;
}

QList<QByteArray> datagrams(const Texts &texts, bool intercomModel)
{
    return {
        CommandText::linkStart(),
        CommandText::stationName(texts.stationName),
        CommandText::danteName(texts.danteName),
        CommandText::linkAddresses(texts.addresses(),
                                   linkPort(stationId(texts.stationId), intercomModel)),
    };
}

} // namespace LinkFields
