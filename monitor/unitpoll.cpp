#include "monitor/unitpoll.h"

#include "channel/commandtext.h"
#include "channel/replyframing.h"
#include "channel/resultcodes.h"
#include "monitor/assemblyprofiles.h"
#include "monitor/checklist.h"
#include "monitor/conditions.h"

namespace UnitPoll {

QByteArray request(const UnitStatus &status)
{
    return status.hasCondition(FirmwareUnsupported) ? CommandText::versionQuery()
                                                    : CommandText::statusRequest();
}

Reply take(const QByteArray &datagram)
{
    const ReplyFraming::Reply parts = ReplyFraming::split(datagram);
    // Emptiness is tested before the line breaks go: "\r" alone is an answer.
    if (parts.header.isEmpty())
        return {};
    const QString header = ReplyFraming::withoutLineBreaks(parts.header);
    return {kindOf(header), header, parts.block};
}

ReplyKind kindOf(const QString &header)
{
    return ReplyFraming::isStatusHeader(header) ? ReplyKind::Status : ReplyKind::Acknowledgement;
}

QString acknowledgementCode(const QString &header)
{
    return ReplyFraming::withoutControlWhitespace(header);
}

void takeFailure(UnitStatus &status, const QString &code)
{
    if (ResultCodes::marksFirmwareUnsupported(code))
        status.setCondition(FirmwareUnsupported, true);
}

AcceptedAssembly acceptAssembly(UnitStatus &status, int index)
{
    status.setCondition(ModelInvalid, index == Assembly::Unknown);
    const Assembly::Profile profile = Assembly::profile(index);
    return {{index, profile.intercom, profile.ultimoXClass}, profile.indicatorCount};
}

int assemblyToAdopt(int assumedIndex, const QString &modelToken, const QStringList &assemblyNames)
{
    if (assumedIndex != Assembly::Unknown)
        return -1;
    return StatusDecoder::assemblyIndexForModel(modelToken, assemblyNames);
}

StatusDecoder::Outcome takeStatusReply(UnitStatus &status, const QString &header, const QByteArray &block,
                                       const AdoptAssembly &adopt)
{
    StatusDecoder::Outcome outcome;
    StatusDecoder::readHeader(status, header);
    const StatusDecoder::AssemblyContext assembly = adopt(status);
    outcome.supported = StatusDecoder::applyVersionGate(status);
    outcome.blockDecoded = StatusDecoder::readBlock(status, block, assembly);
    return outcome;
}

QStringList checklistLines(const UnitStatus &status, const StatusDecoder::AssemblyContext &assembly)
{
    QStringList lines = Checklist::text(status, {assembly.assemblyIndex, assembly.ultimoXModel})
                            .split(QLatin1Char('\n'));
    lines.removeLast(); // every line ends with a newline
    return lines;
}

QStringList conditionNames(quint16 conditionFlags)
{
    QStringList names;
    for (const Conditions::Condition &condition : Conditions::All) {
        if (conditionFlags & condition.flag)
            names << QLatin1String(condition.name);
    }
    return names;
}

QString firmwareText(const UnitStatus &status)
{
    if (status.modelToken.isEmpty())
        return QString();
    return QString::asprintf("%u.%02u", status.firmwareVersionCode / 100, status.firmwareVersionCode % 100);
}

QString bootloaderText(const UnitStatus &status)
{
    const auto &v = status.bootloaderVersion;
    return QString::asprintf("%d.%d.%d", v[0], v[1], v[2]);
}

QString danteFirmwareText(const UnitStatus &status)
{
    const auto &v = status.danteFirmwareVersion;
    return QString::asprintf("%d.%d.%d.%d", v[0], v[1], v[2], v[3]);
}

} // namespace UnitPoll
