#include "channel/commandtext.h"

namespace CommandText {

namespace {

// One command per datagram: the body may not end the command early.
QByteArray terminated(QByteArray body)
{
    body.replace('\r', QByteArray()).replace('\n', QByteArray());
    body.append('\r');
    return body;
}

QByteArray fieldBytes(const QString &text)
{
    return text.toUtf8();
}

} // namespace

QByteArray statusRequest() { return QByteArrayLiteral("GSHV\r"); }
QByteArray versionQuery() { return QByteArrayLiteral("?V\r"); }
QByteArray identify() { return QByteArrayLiteral("PIHV\r"); }

QByteArray ledStateToggle(quint8 step)
{
    switch (step) {
    case 1: return QByteArrayLiteral("*LNSGCSI\r");
    case 2: return QByteArrayLiteral("*LNSRCSI\r");
    case 3: return QByteArrayLiteral("*LNSOCSI\r");
    default: return QByteArrayLiteral("*LFSSI\r");
    }
}

quint8 nextLedToggleStep(quint8 step, quint8 ledCount)
{
    ++step;
    const quint8 cycleLength = ledCount <= 4 ? 4 : 2;
    return step == cycleLength ? 0 : step;
}

QByteArray ringerTest() { return QByteArrayLiteral("CM1DRE\r"); }

QByteArray handsetMute(bool currentlyMuted)
{
    return terminated(QByteArray::number(currentlyMuted ? 0 : 1) + "HMHV");
}

QByteArray reboot() { return QByteArrayLiteral("XX\r"); }
QByteArray loadDefaults() { return QByteArrayLiteral("DE\r"); }
QByteArray firmwareUpdateMode() { return QByteArrayLiteral("BLXX\r"); }

QByteArray assembly(int assemblyIndex)
{
    return terminated(QByteArray::number(assemblyIndex + 1) + "PAHV");
}

QByteArray macAddress(const QString &mac, bool danteReference)
{
    return terminated(fieldBytes(mac) + (danteReference ? "U" : "") + "MC");
}

QByteArray ledCycleToggle() { return QByteArrayLiteral("LCHV\r"); }
QByteArray redetectUltimo() { return QByteArrayLiteral("DUHV\r"); }
QByteArray clearPowerCycleCounter() { return QByteArrayLiteral("1RCHV\r"); }

QByteArray custom(const QString &text)
{
    return terminated(fieldBytes(text));
}

QByteArray ledIntensity(int percent)
{
    return terminated(QByteArray::number(percent) + "IB");
}

QByteArray linkStart() { return QByteArrayLiteral("1LI\r"); }

QByteArray stationName(const QString &name)
{
    return terminated(utf8Prefix(name, StationNameBytes) + "NM");
}

QByteArray danteName(const QString &name)
{
    return terminated(utf8Prefix(name, DanteNameBytes) + "ND");
}

QByteArray linkAddresses(const QStringList &addresses, int linkPort)
{
    QByteArray datagram;
    for (const QString &address : addresses)
        datagram += fieldBytes(address) + ',';
    datagram += QByteArray::number(linkPort) + ',';
    datagram += "1,1LX";
    return terminated(datagram);
}

QByteArray utf8Prefix(const QString &text, int maxBytes)
{
    QByteArray result;
    const QVector<uint> codePoints = text.toUcs4();
    for (const uint codePoint : codePoints) {
        const QByteArray character = QString::fromUcs4(&codePoint, 1).toUtf8();
        if (result.size() + character.size() > maxBytes)
            break;
        result += character;
    }
    return result;
}

} // namespace CommandText
