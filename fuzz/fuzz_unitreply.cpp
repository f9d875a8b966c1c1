// Feeds one datagram through everything the program does with a datagram on
// the unit channel that needs no widget, through the poll core that the
// window and hvtk-check share: taking the datagram apart, the raw-reply log
// row, the status reply with assembly adoption and condition bits, the
// details report, the version label text, the readiness checklist, the I/O
// panel colours, and the result codes of an acknowledgement.
//
// Input: one context byte (assembly index, private mode, online), then the
// datagram exactly as it would arrive.

#include "channel/logrow.h"
#include "channel/replyframing.h"
#include "channel/resultcodes.h"
#include "channel/statuslayout.h"
#include "monitor/assemblyprofiles.h"
#include "monitor/checklist.h"
#include "monitor/detailsreport.h"
#include "monitor/iopanel.h"
#include "monitor/statusdecoder.h"
#include "monitor/unitpoll.h"

#include <QStringList>
#include <QTime>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const QStringList &assemblyNames()
{
    static const QStringList names = Assembly::names();
    return names;
}

// Text a unit sent is shown in the HTML, escaped.
void requireEscaped(const QString &html, const QString &unitText)
{
    if (!html.contains(unitText.toHtmlEscaped())) {
        fprintf(stderr, "MISSING [%s] IN\n%s\n", qPrintable(unitText), qPrintable(html));
        std::abort();
    }
}

void handleStatusReply(const QString &header, const QByteArray &block, quint8 context)
{
    UnitStatus status;
    StatusDecoder::AssemblyContext assembly =
        UnitPoll::acceptAssembly(status, int(context % Assembly::Count)).context;
    const StatusDecoder::Outcome outcome =
        UnitPoll::takeStatusReply(status, header, block, [&](UnitStatus &record) {
            const int adopted =
                UnitPoll::assemblyToAdopt(assembly.assemblyIndex, record.modelToken, assemblyNames());
            if (adopted >= 0)
                assembly = UnitPoll::acceptAssembly(record, adopted).context;
            return assembly;
        });
    const bool decoded = outcome.blockDecoded;
    if (decoded != (block.size() >= StatusLayout::MinimumBlockSize))
        std::abort();
    if (outcome.supported == status.hasCondition(FirmwareUnsupported))
        std::abort();
    const Assembly::Profile profile = Assembly::profile(assembly.assemblyIndex);

    const bool privateMode = context & 0x40;
    const bool online = context & 0x80;
    const QString rowPrefix = privateMode ? QStringLiteral("<tr style=\"color: red;\"><td>")
                                          : QStringLiteral("<tr><td>");
    if (decoded) {
        DetailsReport::Options options;
        options.ultimoXModel = profile.ultimoXClass;
        options.privateMode = privateMode;
        options.rowPrefix = rowPrefix;
        const QString report = DetailsReport::fullReport(status, options);
        requireEscaped(report, status.danteName);
        requireEscaped(report, status.localName);
        DetailsReport::versionText(header, status.bootloaderVersion);
        StatusDecoder::macTypeBoxWanted(profile.ultimoXClass, status.ultimoBusOnline, online,
                                        privateMode);
        for (int n = 1; n <= 32; ++n) {
            IoPanel::inputColour(status.inputBits, n);
            IoPanel::ledColour(status.ledBits, n);
        }
        for (char letter : status.ledColours)
            IoPanel::ledLetterColour(letter);
    } else {
        DetailsReport::shortBlockReport(block.size(), rowPrefix);
        DetailsReport::versionText(header);
    }

    const QString checklist = Checklist::text(status, {assembly.assemblyIndex, profile.ultimoXClass});
    Checklist::display(checklist, status, profile.ultimoXClass, online, privateMode, decoded);
    if (UnitPoll::checklistLines(status, assembly).join(QLatin1Char('\n')) + (checklist.isEmpty() ? "" : "\n")
        != checklist)
        std::abort();
    UnitPoll::request(status);
    UnitPoll::conditionNames(status.conditionFlags);
}

void handleAcknowledgement(const QString &header)
{
    const QString reply = UnitPoll::acknowledgementCode(header);
    if (ResultCodes::isSuccess(reply)) {
        ResultCodes::successStatus(reply);
        return;
    }
    UnitStatus status;
    UnitPoll::takeFailure(status, reply);
    if (status.hasCondition(FirmwareUnsupported) != ResultCodes::marksFirmwareUnsupported(reply))
        std::abort();
    ResultCodes::failureStatus(reply, QString(), false);
    ResultCodes::failureStatus(reply, ResultCodes::failureText(reply));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const quint8 context = data[0];
    const QByteArray datagram(reinterpret_cast<const char *>(data + 1), int(size - 1));

    const UnitPoll::Reply reply = UnitPoll::take(datagram);
    if (reply.kind == UnitPoll::ReplyKind::Ignored)
        return 0;

    const QString logRow = LogRow::rawReply(QTime(12, 0, 0), reply.header);
    requireEscaped(logRow, reply.header);

    if (reply.kind == UnitPoll::ReplyKind::Status)
        handleStatusReply(reply.header, reply.block, context);
    else
        handleAcknowledgement(reply.header);
    return 0;
}
