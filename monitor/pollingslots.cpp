#include "app/hvtkutilities.h"
#include "app/indicatorpaint.h"
#include "app/setbyprogram.h"

#include "monitor/assemblyprofiles.h"
#include "monitor/iopanel.h"
#include "monitor/pollinterval.h"
#include "monitor/statusdecoder.h"
#include "monitor/unitpoll.h"
#include "monitor/windowstyles.h"

#include <QTimer>

#include <utility>

namespace {

using IoPanel::Indicator;

const char *const OnlineTextColour = "black";
const char *const OfflineTextColour = "lightgrey";
constexpr int PrivateDetailsWidth = 566;
constexpr int PublicDetailsWidth = 871;

void setVisibleAll(std::initializer_list<QWidget *> widgets, bool visible)
{
    for (QWidget *widget : widgets)
        widget->setVisible(visible);
}

void setEnabledAll(std::initializer_list<QWidget *> widgets, bool enabled)
{
    for (QWidget *widget : widgets)
        widget->setEnabled(enabled);
}

} // namespace

void HVTKUtilities::readSettingsAndData()
{
    const QHostAddress unit(ui.m_txtIP->text());

    if (m_bPrivateModeRequested) {
        m_bPrivateModeRequested = false;
        m_bPrivateMode = true;
        m_strRowPrefix = QStringLiteral("<tr style=\"color: red;\"><td>");
        setOnlineUI(m_bOnline);
    }

    m_tmrPoll->setInterval(PollInterval::nextTick(m_bRestartPending, m_bDefaultsPending));

    if (!m_bAwaitingReply && !m_bFirmwareUpdatePending && !m_bRestartPending && !m_bDefaultsPending) {
        m_bAwaitingReply = true;
    } else {
        const bool unitRestarting = m_bRestartPending || m_bDefaultsPending;
        m_bFirmwareUpdatePending = false;
        m_bRestartPending = false;
        m_bDefaultsPending = false;
        if (m_bOnline)
            setOnlineUI(false);
        if (unitRestarting)
            return;
    }

    const QByteArray request = UnitPoll::request(m_unitStatus);

    if (ui.m_txtIP->text() != m_strPolledIP) {
        m_strPolledIP = ui.m_txtIP->text();
        setOnlineUI(false);
    }

    if (!unit.isNull())
        sendDatagram(unit, request);
}

void HVTKUtilities::connectToUnit()
{
    m_tmrPoll->stop();
    m_tmrPoll->setInterval(PollInterval::Immediate);
    m_tmrPoll->start();
}

void HVTKUtilities::setOnlineUI(bool online)
{
    if (online != m_bOnline) {
        m_bOnline = online;
        applyOnlineState(online);
    }

    displayMacType(StatusDecoder::macTypeBoxWanted(m_bUltimoXModel, m_unitStatus.ultimoBusOnline,
                                                   m_bOnline, m_bPrivateMode),
                   true);
    setVisibleAll({ui.m_lblAssembly, ui.m_cmbAssembly, ui.m_cmdSetProdAssembly, ui.m_lblMAC, ui.m_txtMAC,
                   ui.m_cmdSetMAC, ui.m_cmdLEDCycleToggle, ui.m_cmdRedetectUltimo, ui.m_cmdClearReboots,
                   ui.m_cmdNotes},
                  m_bPrivateMode);

    showFeatureIndicatorsForFirmware();

    ui.m_txtDetails->resize(m_bPrivateMode ? PrivateDetailsWidth : PublicDetailsWidth,
                            ui.m_txtDetails->height());
    if (m_bPrivateMode) {
        ui.m_fraPrivateSettings->setStyleSheet(QStringLiteral("#m_fraPrivateSettings { border: 2px solid red; }"));
        ui.m_fraPrivateSettings->setFrameShape(QFrame::Box);
    }
}

// Button taps and PTT zone mode are reported by firmware 1.15 to 1.99 and
// 2.12 on; the last reply's version decides, also while the unit is offline.
void HVTKUtilities::showFeatureIndicatorsForFirmware()
{
    const bool featureIndicators = StatusDecoder::reportsFeatureIndicators(m_unitStatus.firmwareVersionCode);
    setVisibleAll({ui.m_lblButtonTapsEnabled, ui.m_ButtonTapsEnabled, ui.m_lblPTTZoneModeEnabled,
                   ui.m_PTTZoneModeEnabled},
                  featureIndicators);
}

void HVTKUtilities::applyOnlineState(bool online)
{
    ui.m_lblInfo->setStyleSheet(QStringLiteral("QLabel { color : ")
                                + QLatin1String(online ? OnlineTextColour : OfflineTextColour)
                                + QStringLiteral(" }"));
    setEnabledAll({ui.m_cmbAssembly, ui.m_cmbMacType, ui.m_cmdSetMAC, ui.m_cmdRedetectUltimo,
                   ui.m_cmdClearReboots, ui.m_cmdLEDCycleToggle, ui.m_txtMAC, ui.m_LEDIntensity,
                   ui.m_txtPionCmd, ui.m_cmdSendPionCmd, ui.menuTest_Functions},
                  online);
    ui.actionManual_Link_unicast->setEnabled(online);
    ui.m_cmdSetProdAssembly->setEnabled(online && ui.m_cmbAssembly->currentIndex() < Assembly::Unknown);

    if (online)
        ui.statusbar->showMessage(tr("Status: Online."), 0);
    else
        applyOfflinePresentation();
}

void HVTKUtilities::applyOfflinePresentation()
{
    ui.m_txtDetails->setStyleSheet(QLatin1String(WindowStyle::OfflineDetails));
    ui.statusbar->showMessage(offlineStatusText(), 0);

    m_unitStatus.conditionFlags = 0;
    m_bStatusBlockRead = false;
    m_nInputCount = 0;
    m_nLedCount = 0;
    m_nLEDToggleStep = 1;
    ui.m_cmbAssembly->setCurrentIndex(Assembly::Unknown);
    ui.m_cmbMacType->setCurrentIndex(0);
    ui.m_txtMAC->clear();

    ui.frameDIPSWs->setStyleSheet(QStringLiteral(".QFrame { background-color : black }"));
    const IoPanel::DipSwitchColours allOff = IoPanel::dipSwitchColours(true);
    QLabel *const dipOn[] = {ui.m_DIPSWOn_1, ui.m_DIPSWOn_2, ui.m_DIPSWOn_3, ui.m_DIPSWOn_4};
    QLabel *const dipOff[] = {ui.m_DIPSWOff_1, ui.m_DIPSWOff_2, ui.m_DIPSWOff_3, ui.m_DIPSWOff_4};
    for (int k = 0; k < 4; ++k) {
        paintIndicator(dipOn[k], allOff.onCell, Indicator::DipSwitchOnCell, k + 1);
        paintIndicator(dipOff[k], allOff.offCell, Indicator::DipSwitchOffCell, k + 1);
    }
    for (QLabel *caption : {ui.m_lblDIPSW_1, ui.m_lblDIPSW_2})
        caption->setStyleSheet(QStringLiteral("QLabel { color : white }"));
    // No colour: nothing is known of these until the next reply.
    const std::pair<QLabel *, Indicator> states[] = {
        {ui.m_PTTState, Indicator::PushToTalk},           {ui.m_SonalertState, Indicator::Ringer},
        {ui.m_HandsetMutedState, Indicator::HandsetMuted}, {ui.m_SnoozingAllowed, Indicator::SnoozingAllowed},
        {ui.m_ButtonTapsEnabled, Indicator::ButtonTaps},   {ui.m_PTTZoneModeEnabled, Indicator::PttZoneMode}};
    for (const auto &state : states)
        paintIndicator(state.first, QString(), state.second);

    {
        const SetByProgram setByProgram(m_bIntensitySetByProgram);
        ui.m_LEDIntensity->setValue(0);
    }

    const QString notInUse = QString::fromLatin1(IoPanel::NotInUse);
    for (int n = 1; n <= 32; ++n) {
        paintIndicator(m_lblInputs[n - 1], notInUse, Indicator::Input, n);
        paintIndicator(m_lblLEDs[n - 1], notInUse, Indicator::Led, n);
        m_lblInputs[n - 1]->setFrameShape(QFrame::NoFrame);
        m_lblLEDs[n - 1]->setFrameShape(QFrame::NoFrame);
    }
}

// The waiting states explain why the unit went quiet; the first that applies wins.
QString HVTKUtilities::offlineStatusText() const
{
    if (m_bDefaultsPending)
        return tr("Status: Loading defaults and restarting. Please wait...");
    if (m_bRestartPending)
        return tr("Status: Unit Restarted. Please wait...");
    if (m_bFirmwareUpdatePending)
        return tr("Status: Firmware update mode started.  Web portal will open in 2 seconds or use "
                  "'down' arrow button next to IP to access it manually.");
    return tr("Status: Offline.");
}
