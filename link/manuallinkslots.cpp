#include "app/hvtkutilities.h"

#include "channel/logrow.h"
#include "link/linkfields.h"
#include "monitor/iopanel.h"

#include <QApplication>
#include <QThread>
#include <QTime>
#include <QTimer>

// The manual link panel: a frame over the right part of the window that
// rewrites the selected unit's control, Dante and Q-SYS identity in one push.

namespace {

// The unit takes its names before the address list; these pauses give it
// time to store each one.
constexpr unsigned long PauseAfterStationNameMs = 50;
constexpr unsigned long PauseAfterDanteNameMs = 300;
// The panel opens just left of and above the free-form command line.
constexpr int PanelLeftOfCommandLine = 3;
constexpr int PanelTopMargin = 3;

QString lampStyle(bool valid)
{
    return IoPanel::indicatorStyleSheet(valid ? QStringLiteral("lime") : QStringLiteral("red"));
}

QString nameLampStyle(bool fits)
{
    return QStringLiteral("QLabel { background : %1 }")
        .arg(fits ? QStringLiteral("lime") : QStringLiteral("olive"));
}

void fillFields(Ui::HVTKUtilitiesClass &ui, const LinkFields::Texts &texts)
{
    ui.m_txtUALControlIP->setText(texts.controlIp);
    ui.m_txtUALDanteIP->setText(texts.danteIp);
    ui.m_txtUALControlSM->setText(texts.controlMask);
    ui.m_txtUALDanteSM->setText(texts.danteMask);
    ui.m_txtUALControlGW->setText(texts.controlGateway);
    ui.m_txtUALDanteGW->setText(texts.danteGateway);
    ui.m_txtUALQsysIP->setText(texts.qsysCoreIp);
    ui.m_txtUALStationID->setText(texts.stationId);
    ui.m_txtUALStationLocalName->setText(texts.stationName);
    ui.m_txtUALStationDanteName->setText(texts.danteName);
}

LinkFields::Texts fieldTexts(const Ui::HVTKUtilitiesClass &ui)
{
    LinkFields::Texts texts;
    texts.controlIp = ui.m_txtUALControlIP->text();
    texts.controlMask = ui.m_txtUALControlSM->text();
    texts.controlGateway = ui.m_txtUALControlGW->text();
    texts.stationName = ui.m_txtUALStationLocalName->text();
    texts.danteIp = ui.m_txtUALDanteIP->text();
    texts.danteMask = ui.m_txtUALDanteSM->text();
    texts.danteGateway = ui.m_txtUALDanteGW->text();
    texts.danteName = ui.m_txtUALStationDanteName->text();
    texts.qsysCoreIp = ui.m_txtUALQsysIP->text();
    texts.stationId = ui.m_txtUALStationID->text();
    return texts;
}

} // namespace

void HVTKUtilities::setUALFieldValid(int bit, bool valid)
{
    m_nUALValid = LinkFields::withBit(m_nUALValid, bit, valid);
    updateUALStates();
}

void HVTKUtilities::checkUALAddressField(int bit, const QLineEdit *field)
{
    setUALFieldValid(bit, LinkFields::isValidAddress(field->text()));
}

void HVTKUtilities::setUALNameLamp(QLabel *lamp, bool fits)
{
    lamp->setStyleSheet(nameLampStyle(fits));
}

void HVTKUtilities::on_m_txtUALControlIP_textChanged()
{
    checkUALAddressField(LinkFields::ControlIpBit, ui.m_txtUALControlIP);
}

void HVTKUtilities::on_m_txtUALControlSM_textChanged()
{
    checkUALAddressField(LinkFields::ControlMaskBit, ui.m_txtUALControlSM);
}

void HVTKUtilities::on_m_txtUALControlGW_textChanged()
{
    checkUALAddressField(LinkFields::ControlGatewayBit, ui.m_txtUALControlGW);
}

void HVTKUtilities::on_m_txtUALStationLocalName_textChanged()
{
    setUALNameLamp(ui.imgUALReady_NM,
                   LinkFields::stationNameFits(ui.m_txtUALStationLocalName->text()));
}

void HVTKUtilities::on_m_txtUALDanteIP_textChanged()
{
    checkUALAddressField(LinkFields::DanteIpBit, ui.m_txtUALDanteIP);
}

void HVTKUtilities::on_m_txtUALDanteSM_textChanged()
{
    checkUALAddressField(LinkFields::DanteMaskBit, ui.m_txtUALDanteSM);
}

void HVTKUtilities::on_m_txtUALDanteGW_textChanged()
{
    checkUALAddressField(LinkFields::DanteGatewayBit, ui.m_txtUALDanteGW);
}

void HVTKUtilities::on_m_txtUALStationDanteName_textChanged()
{
    setUALNameLamp(ui.imgUALReady_ND,
                   LinkFields::danteNameFits(ui.m_txtUALStationDanteName->text()));
}

void HVTKUtilities::on_m_txtUALQsysIP_textChanged()
{
    checkUALAddressField(LinkFields::QsysCoreIpBit, ui.m_txtUALQsysIP);
}

void HVTKUtilities::on_m_txtUALStationID_textChanged()
{
    setUALFieldValid(LinkFields::StationIdBit,
                     LinkFields::isValidStationId(ui.m_txtUALStationID->text()));
}

void HVTKUtilities::showManualLink()
{
    if (!LinkFields::isValidAddress(ui.m_txtIP->text())) {
        ui.statusbar->showMessage(tr("Status: Invalid IP."), 0);
        return;
    }

    m_nUALValid = 0;
    fillFields(ui, LinkFields::prefilled(m_unitStatus));

    // Filling a field with the text it already holds raises no change, so
    // every check runs here: the mask and the lamps describe what the
    // fields hold now.
    on_m_txtUALControlIP_textChanged();
    on_m_txtUALDanteIP_textChanged();
    on_m_txtUALControlSM_textChanged();
    on_m_txtUALDanteSM_textChanged();
    on_m_txtUALControlGW_textChanged();
    on_m_txtUALDanteGW_textChanged();
    on_m_txtUALQsysIP_textChanged();
    on_m_txtUALStationID_textChanged();
    on_m_txtUALStationLocalName_textChanged();
    on_m_txtUALStationDanteName_textChanged();
    updateUALStates();

    QFrame *panel = ui.m_fraManualLink;
    panel->move(ui.m_txtPionCmd->x() - PanelLeftOfCommandLine, PanelTopMargin);
    panel->show();
    ui.m_txtPionCmd->hide();
    ui.m_cmdSendPionCmd->hide();
}

void HVTKUtilities::on_m_cmdUALGo_clicked()
{
    const QHostAddress destination =
        validatedUnitAddress(tr("Status: Unable to send.  Invalid destination IP."));
    if (destination.isNull())
        return;

    const int answer = askUser({tr("Are you sure?"),
                                tr("Station will reboot and load new connectivity information!!!"),
                                QMessageBox::Yes | QMessageBox::No});

    if (!m_bOnline) {
        ui.statusbar->showMessage(tr("Status: Unable to send.  Destination unit appears offline."), 0);
        return;
    }
    if (answer != QMessageBox::Yes || m_nUALValid != LinkFields::AllFieldsValid)
        return;

    const QList<QByteArray> datagrams = LinkFields::datagrams(fieldTexts(ui), m_bIntercomModel);

    ui.m_cmdUALGo->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    sendCommand(destination, datagrams[0], tr("Status: Sending info..."), RawReplyExpected);
    sendDatagram(destination, datagrams[1]);
    QThread::msleep(PauseAfterStationNameMs);
    sendDatagram(destination, datagrams[2]);
    QThread::msleep(PauseAfterDanteNameMs);
    sendDatagram(destination, datagrams[3]);
    QApplication::restoreOverrideCursor();

    updateUALStates();
    on_m_cmdUALClose_clicked();
    appendLogRow(LogRow::timestamped(QTime::currentTime(),
                                     tr(" Manual Link: Info sent, station rebooted.<h0D>")));
}

void HVTKUtilities::on_m_cmdUALClose_clicked()
{
    ui.m_fraManualLink->hide();
    ui.m_txtPionCmd->show();
    ui.m_cmdSendPionCmd->show();
}

void HVTKUtilities::updateUALStates()
{
    for (int bit = 0; bit < int(m_imgUALReady.size()); ++bit)
        m_imgUALReady[bit]->setStyleSheet(lampStyle(m_nUALValid & (1u << bit)));
    ui.m_cmdUALGo->setEnabled(
        LinkFields::canSend(LinkFields::isValidAddress(ui.m_txtIP->text()), m_nUALValid));
}
