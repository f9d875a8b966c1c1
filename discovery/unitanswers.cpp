#include "discovery/unitanswers.h"

#include "channel/addresstext.h"
#include "channel/replyframing.h"

namespace UnitAnswers {

bool isUnitAnswer(const QByteArray &datagram)
{
    return ReplyFraming::namesUnitModel(datagram);
}

QString senderText(const QHostAddress &sender)
{
    bool isIPv4 = false;
    const quint32 ipv4 = sender.toIPv4Address(&isIPv4);
    return isIPv4 ? AddressText::ipv4(ipv4) : sender.toString();
}

QString lineText(const QHostAddress &sender, const QByteArray &datagram)
{
    const QString address = senderText(sender);
    const int width = qMax(AddressColumnWidth, address.size() + 2);
    // The whole datagram, embedded NUL bytes included.
    return address.leftJustified(width, QLatin1Char(' '))
        + QString::fromUtf8(datagram.constData(), datagram.size());
}

QString lineAddress(const QString &line)
{
    return line.section(QLatin1Char(' '), 0, 0);
}

TickAgeing ageOnTick(int age)
{
    TickAgeing ageing;
    if (age <= 0) {
        ageing.remove = true;
        return ageing;
    }
    ageing.turnRed = age < FreshAge;
    ageing.age = age - 1;
    return ageing;
}

} // namespace UnitAnswers
