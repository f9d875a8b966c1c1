// Feeds one datagram that reached the discovery socket through the
// widget-free answer handling: whether it is a unit's answer, the text of the
// unit's line and the address read back from that line, and the scan's subnet
// arithmetic on whatever text the datagram holds.
//
// Input: the sender's IPv4 address (4 bytes, first octet first), one byte
// whose low bit sends it as an IPv4-mapped IPv6 address and whose upper bits
// are a line's age, then the datagram exactly as it would arrive.

#include "channel/addresstext.h"
#include "discovery/scanmask.h"
#include "discovery/unitanswers.h"

#include <QHostAddress>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char *what)
{
    if (!condition) {
        fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

bool beginsWithModel(const QByteArray &datagram)
{
    return datagram.startsWith("HV") || datagram.startsWith("TK") || datagram.startsWith("Halvo");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 5)
        return 0;
    const quint32 ipv4 = quint32(data[0]) << 24 | quint32(data[1]) << 16 | quint32(data[2]) << 8 | data[3];
    const bool mapped = data[4] & 1;
    const int age = data[4] >> 1;
    const QByteArray datagram(reinterpret_cast<const char *>(data + 5), int(size - 5));

    const QHostAddress sender = mapped ? QHostAddress(QHostAddress(ipv4).toIPv6Address())
                                       : QHostAddress(ipv4);
    const QString senderText = UnitAnswers::senderText(sender);
    require(senderText == QHostAddress(ipv4).toString(), "sender in dotted IPv4 form");

    require(UnitAnswers::isUnitAnswer(datagram) == beginsWithModel(datagram), "answer test");
    const QString line = UnitAnswers::lineText(sender, datagram);
    require(line.startsWith(senderText.leftJustified(UnitAnswers::AddressColumnWidth)), "address column");
    require(line.mid(UnitAnswers::AddressColumnWidth)
                == QString::fromUtf8(datagram.constData(), datagram.size()),
            "the whole answer, NUL bytes included");
    require(UnitAnswers::lineAddress(line) == senderText, "address read back from the line");

    const UnitAnswers::TickAgeing ageing = UnitAnswers::ageOnTick(age);
    require(ageing.remove || (ageing.age >= 0 && ageing.age < qMax(age, 1)), "ageing lowers the age");

    // A datagram's text where the scan reads an address or a mask.
    const QString text = QString::fromUtf8(datagram.constData(), datagram.size());
    const quint32 base = ScanMask::baseAddress(ScanMask::ipv4Value(text));
    require((base & 0xff) == 1, "base address ends in .1");
    const quint32 mask = ScanMask::ipv4Value(senderText);
    const quint32 broadcast = ScanMask::broadcastAddress(base, mask);
    require(ScanMask::ipv4Value(AddressText::ipv4(broadcast)) == broadcast, "dotted form reads back");
    const quint8 step = ScanMask::nextStep(quint8(age));
    require(step < 8 && ScanMask::ipv4Value(ScanMask::maskText(step)) == (0xffffff00u | ScanMask::lastOctet(step)),
            "mask step text");
    return 0;
}
