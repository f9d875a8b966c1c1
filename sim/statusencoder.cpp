#include "sim/statusencoder.h"

#include "channel/commandtext.h"

#include <QtEndian>

#include <algorithm>

namespace StatusEncoder {

namespace {

using StatusLayout::Field;

class BlockWriter
{
public:
    explicit BlockWriter(QByteArray &reply) : m_reply(reply) {}

    void bytes(const Field &field, const quint8 *data, int count)
    {
        std::copy_n(data, std::min(count, field.size), m_reply.data() + field.offset);
    }
    void byte(const Field &field, quint8 value) { m_reply[field.offset] = char(value); }
    void flag(const Field &field, bool on) { byte(field, on ? 1 : 0); }
    void number16(const Field &field, quint16 value)
    {
        qToBigEndian(value, m_reply.data() + field.offset);
    }
    void number32(const Field &field, quint32 value)
    {
        qToBigEndian(value, m_reply.data() + field.offset);
    }
    void address(const Field &field, quint32 hostOrder) { number32(field, hostOrder); }
    void text(const Field &field, const QString &value)
    {
        const QByteArray utf8 = CommandText::utf8Prefix(value, field.size);
        std::copy(utf8.cbegin(), utf8.cend(), m_reply.data() + field.offset);
    }
    template<std::size_t N>
    void array(const Field &field, const std::array<quint8, N> &values)
    {
        bytes(field, values.data(), int(N));
    }

private:
    QByteArray &m_reply;
};

void writeBlock(QByteArray &reply, const UnitStatus &s)
{
    using namespace StatusLayout;
    BlockWriter w(reply);
    w.array(BootloaderVersion, s.bootloaderVersion);
    w.array(DanteImageVersion, s.danteImageVersion);
    w.array(DanteFirmwareVersion, s.danteFirmwareVersion);
    w.text(DanteImageProduct, s.danteImageProduct);
    w.text(DanteChipModel, s.danteChipModel);
    w.text(DanteName, s.danteName);
    w.array(DanteMac, s.danteMac);
    w.address(DanteIp, s.danteIp);
    w.address(DanteSubnetMask, s.danteSubnetMask);
    w.address(DanteGateway, s.danteGateway);
    w.byte(NetworkStatus, s.networkStatus);
    w.byte(DanteIpMode, s.danteIpMode);
    w.flag(UltimoBusOnline, s.ultimoBusOnline);
    w.flag(UltimoBusRequired, s.ultimoBusRequired);
    w.array(ControlMac, s.controlMac);
    w.address(ControlIpCurrent, s.controlIpCurrent);
    w.address(ControlIpStored, s.controlIpStored);
    w.address(ControlSubnetMask, s.controlSubnetMask);
    w.address(ControlGateway, s.controlGateway);
    w.number16(LocalPort, s.localPort);
    w.address(QsysCoreIp, s.qsysCoreIp);
    w.number16(QsysCorePort, s.qsysCorePort);
    w.byte(UnitErrorCode, s.unitErrorCode);
    w.number16(StationId, s.stationId);
    w.byte(DefaultGroup, s.defaultGroup);
    w.number16(GroupRevertSeconds, s.groupRevertSeconds);
    w.number16(QsysPingIntervalSeconds, s.qsysPingIntervalSeconds);
    w.number16(KiroLinkTimeoutSeconds, s.kiroLinkTimeoutSeconds);
    w.number16(QsysPingTimeoutSeconds, s.qsysPingTimeoutSeconds);
    w.byte(LedIntensity, s.ledIntensity);
    w.number32(PowerCycleCount, s.powerCycleCount);
    w.text(LocalName, s.localName);
    w.flag(PttState, s.pttState);
    w.flag(RingerState, s.ringerOn);
    w.flag(HandsetMuted, s.handsetMuted);
    w.array(InputBits, s.inputBits);
    for (int i = 0; i < DipSwitches.size; ++i)
        reply[DipSwitches.offset + i] = s.dipSwitchOff[std::size_t(i)] ? 1 : 0;
    w.array(LedBits, s.ledBits);
    for (int i = 0; i < LedColours.size; ++i)
        reply[LedColours.offset + i] = s.ledColours[std::size_t(i)];
    w.byte(FeatureBits, s.featureBits);
}

} // namespace

QByteArray versionText(const QString &model, const QString &firmware)
{
    const QString version = firmware.startsWith(QLatin1Char('v'), Qt::CaseInsensitive)
                                ? firmware
                                : QLatin1Char('v') + firmware;
    return (model + QLatin1Char(' ') + version).toUtf8() + '\r';
}

QByteArray header(const QByteArray &headerText)
{
    QByteArray field = headerText.left(StatusLayout::HeaderSize);
    field.append(StatusLayout::HeaderSize - field.size(), '\0');
    return field;
}

QByteArray encode(const QByteArray &headerText, const UnitStatus &state, int length)
{
    QByteArray reply = header(headerText);
    reply.append(StatusLayout::FeatureReplySize - reply.size(), '\0');
    writeBlock(reply, state);
    length = std::max(length, 0);
    if (length > reply.size())
        reply.append(length - reply.size(), '\0');
    else
        reply.truncate(length);
    return reply;
}

} // namespace StatusEncoder
