#include "app/hvtkutilities.h"
#include "app/setbyprogram.h"

#include "channel/commandtext.h"
#include "discovery/scanmask.h"
#include "discovery/unitanswers.h"
#include "link/linkfields.h"

#include <QListWidgetItem>

void HVTKUtilities::on_m_lstDetectedUnits_itemClicked(QListWidgetItem *item)
{
    if (!item)
        return;
    {
        const SetByProgram setByProgram(m_bIPSetByProgram);
        ui.m_txtIP->setText(UnitAnswers::lineAddress(item->text()));
    }

    if (!ui.m_chkIdentifyOnClick->isChecked())
        return;
    const QHostAddress unit = validatedUnitAddress(tr("Status: Unable to identify.  Invalid IP."));
    if (unit.isNull())
        return;
    sendCommand(unit, CommandText::identify(), tr("Status: Identify sent..."));
}

void HVTKUtilities::on_m_txtIP_textChanged()
{
    const QString text = ui.m_txtIP->text();
    const bool valid = !QHostAddress(text).isNull();
    if (!m_bIPSetByProgram)
        m_nScanStep = ScanMask::RestartStep;
    if (valid)
        connectToUnit();
    ui.m_txtIP->setStyleSheet(QStringLiteral("QLineEdit { background : %1 }")
                                  .arg(valid ? QString() : QStringLiteral("red")));
    ui.m_lblUALDestinationIP->setText(text);
    ui.m_cmdUALGo->setText(QStringLiteral("SEND TO ") + text);
    ui.m_cmdWebSrv->setEnabled(valid);
    ui.m_cmdUALGo->setEnabled(LinkFields::canSend(valid, m_nUALValid));
}
