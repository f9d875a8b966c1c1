#include "app/hvtkutilities.h"

#include "monitor/detailsreport.h"
#include "channel/statuslayout.h"

#include <QLabel>

void HVTKUtilities::renderDetailsReport(const QString &header, int blockLength)
{
    // The header comes from the unit: shown as plain text, never as markup.
    m_lblVersion->setTextFormat(Qt::PlainText);
    if (blockLength < StatusLayout::MinimumBlockSize) {
        m_lblVersion->setText(DetailsReport::versionText(header));
        ui.m_lblInfo->setText(DetailsReport::shortBlockReport(blockLength, m_strRowPrefix));
        return;
    }
    m_lblVersion->setText(DetailsReport::versionText(header, m_unitStatus.bootloaderVersion));

    DetailsReport::Options options;
    options.ultimoXModel = m_bUltimoXModel;
    options.privateMode = m_bPrivateMode;
    options.rowPrefix = m_strRowPrefix;
    ui.m_lblInfo->setText(DetailsReport::fullReport(m_unitStatus, options));
}
