#include "app/hvtkutilities.h"

#include "monitor/assemblyprofiles.h"
#include "monitor/pollinterval.h"
#include "monitor/statusdecoder.h"
#include "monitor/unitpoll.h"

#include <QTimer>

void HVTKUtilities::decodeStatusReply(const QString &header, const QByteArray &block)
{
    const StatusDecoder::Outcome outcome =
        UnitPoll::takeStatusReply(m_unitStatus, header, block, [this](UnitStatus &) {
            adoptReportedAssembly();
            return StatusDecoder::AssemblyContext{m_nAssembly, m_bIntercomModel, m_bUltimoXModel};
        });
    if (outcome.supported)
        m_tmrPoll->setInterval(PollInterval::AfterReply);
    // The window came online before this reply's version was known.
    showFeatureIndicatorsForFirmware();

    m_bStatusBlockRead = m_bStatusBlockRead || outcome.blockDecoded;
    if (!outcome.blockDecoded) {
        renderDetailsReport(header, block.size());
        return;
    }

    if (ui.m_txtMAC->text().isEmpty())
        ui.m_txtMAC->setText(m_unitStatus.controlMacText);
    displayMacType(StatusDecoder::macTypeBoxWanted(m_bUltimoXModel, m_unitStatus.ultimoBusOnline,
                                                   m_bOnline, m_bPrivateMode),
                   false);
    renderDetailsReport(header, block.size());
    refreshIoPanel();
}

// While the assembly box shows "UNKNOWN", the unit's own model is taken; the
// box's change handler then sets up the assembly profile.
void HVTKUtilities::adoptReportedAssembly()
{
    QStringList assemblyNames;
    for (int i = 0; i < ui.m_cmbAssembly->count(); ++i)
        assemblyNames << ui.m_cmbAssembly->itemText(i);
    const int reported =
        UnitPoll::assemblyToAdopt(ui.m_cmbAssembly->currentIndex(), m_unitStatus.modelToken, assemblyNames);
    if (reported >= 0)
        ui.m_cmbAssembly->setCurrentIndex(reported);
}
