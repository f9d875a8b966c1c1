#include "channel/replyframing.h"

#include "channel/statuslayout.h"

namespace ReplyFraming {

namespace {

QString textUpToNul(const QByteArray &bytes)
{
    const int nul = bytes.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? bytes : bytes.left(nul));
}

} // namespace

Reply split(const QByteArray &datagram)
{
    if (datagram.size() < StatusLayout::SplitThreshold)
        return {textUpToNul(datagram), QByteArray()};
    return {textUpToNul(datagram.left(StatusLayout::HeaderSize)),
            datagram.mid(StatusLayout::HeaderSize)};
}

QString withoutLineBreaks(QString text)
{
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));
    return text;
}

QString withoutControlWhitespace(QString text)
{
    text.remove(QLatin1Char('\t'));
    return withoutLineBreaks(text);
}

bool namesUnitModel(const QByteArray &text)
{
    return text.startsWith("HV") || text.startsWith("TK") || text.startsWith("Halvo");
}

bool isStatusHeader(const QString &header)
{
    // The model words are ASCII: the UTF-8 form of the first five characters
    // begins with one exactly when the header does.
    return namesUnitModel(header.left(5).toUtf8());
}

bool sentByUnit(const QHostAddress &sender, const QHostAddress &unit)
{
    if (unit.isNull() || sender.isNull())
        return false;
    return sender.isEqual(unit, QHostAddress::TolerantConversion);
}

} // namespace ReplyFraming
