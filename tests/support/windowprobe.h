#pragma once

#include "app/hvtkutilities.h"

#include <QTimer>

// Read and write access to the window's private state for the test suites.
// The window names this class its friend; nothing in the program uses it.
class WindowProbe
{
public:
    explicit WindowProbe(HVTKUtilities &window) : w(window) {}

    Ui::HVTKUtilitiesClass &ui() { return w.ui; }
    UnitStatus &status() { return w.m_unitStatus; }
    QTimer *pollTimer() { return w.m_tmrPoll; }
    QTimer *scanTimer() { return w.m_tmrScan; }
    QTimer *checklistTimer() { return w.m_tmrChecklist; }
    QTimer *intensityTimer() { return w.m_tmrLEDIntensity; }
    QUdpSocket *unicastSocket() { return w.m_sockUnicast; }
    QUdpSocket *broadcastSocket() { return w.m_sockBroadcast; }
    QLabel *input(int n) { return w.m_lblInputs[n - 1]; }
    QLabel *led(int n) { return w.m_lblLEDs[n - 1]; }
    QLabel *ualLamp(int bit) { return w.m_imgUALReady[bit]; }
    static QLabel *versionLabel() { return HVTKUtilities::m_lblVersion; }
    static bool &privateModeRequested() { return HVTKUtilities::m_bPrivateModeRequested; }
    static quint8 &chordKeys() { return HVTKUtilities::m_nChordKeys; }

    bool &online() { return w.m_bOnline; }
    bool &awaitingReply() { return w.m_bAwaitingReply; }
    bool &rawReplyExpected() { return w.m_bRawReplyExpected; }
    bool &firmwareUpdatePending() { return w.m_bFirmwareUpdatePending; }
    bool &restartPending() { return w.m_bRestartPending; }
    bool &defaultsPending() { return w.m_bDefaultsPending; }
    bool &privateMode() { return w.m_bPrivateMode; }
    bool &statusBlockRead() { return w.m_bStatusBlockRead; }
    bool &confirmAssembly() { return w.m_bConfirmAssembly; }
    bool &ipSetByProgram() { return w.m_bIPSetByProgram; }
    bool &assemblySetByProgram() { return w.m_bAssemblySetByProgram; }
    bool &intensitySetByProgram() { return w.m_bIntensitySetByProgram; }
    bool &scanMaskEdited() { return w.m_bScanMaskEdited; }
    bool &intercomModel() { return w.m_bIntercomModel; }
    bool &ultimoXModel() { return w.m_bUltimoXModel; }
    quint8 &scanStep() { return w.m_nScanStep; }
    quint8 &ledToggleStep() { return w.m_nLEDToggleStep; }
    quint8 &ualValid() { return w.m_nUALValid; }
    quint8 &assembly() { return w.m_nAssembly; }
    quint8 &inputCount() { return w.m_nInputCount; }
    quint8 &ledCount() { return w.m_nLedCount; }
    QString &polledIP() { return w.m_strPolledIP; }
    QString &rowPrefix() { return w.m_strRowPrefix; }

    // Runs a private slot or method by name, as the event loop would.
    void decodeStatusReply(const QString &header, const QByteArray &block)
    {
        w.decodeStatusReply(header, block);
    }
    void setOnlineUI(bool online) { w.setOnlineUI(online); }
    QString displayErrors() { return w.displayErrors(); }
    void displayMacType(bool show, bool force) { w.displayMacType(show, force); }
    QHostAddress validatedUnitAddress(const QString &invalidText)
    {
        return w.validatedUnitAddress(invalidText);
    }
    void sendCommand(const QHostAddress &unit, const QByteArray &command, const QString &statusText,
                     int flags = 0)
    {
        w.sendCommand(unit, command, statusText, flags);
    }
    enum CommandFlag {
        RawReplyExpected = HVTKUtilities::RawReplyExpected,
        RestartPending = HVTKUtilities::RestartPending,
        DefaultsPending = HVTKUtilities::DefaultsPending,
        FirmwareUpdatePending = HVTKUtilities::FirmwareUpdatePending,
    };
    void renderDetailsReport(const QString &header, int blockLength)
    {
        w.renderDetailsReport(header, blockLength);
    }
    void refreshIoPanel() { w.refreshIoPanel(); }

private:
    HVTKUtilities &w;
};
