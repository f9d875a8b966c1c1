#pragma once

#include "app/userquestion.h"
#include "discovery/scanmask.h"
#include "monitor/unitstatus.h"
#include "ui_hvtkutilities.h"

#include <QHostAddress>
#include <QMainWindow>
#include <QString>

#include <array>
#include <functional>

class QKeyEvent;
class QLabel;
class QListWidgetItem;
class QTimer;
class QUdpSocket;

// The tool's one window. Every behaviour is one of its private slots; the
// slot bodies live in the source files of the subsystem they belong to
// (channel/, discovery/, monitor/, commands/, link/).
class HVTKUtilities : public QMainWindow
{
    Q_OBJECT

public:
    explicit HVTKUtilities(QWidget *parent = nullptr);
    ~HVTKUtilities() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private slots:
    void on_m_cmbAssembly_currentIndexChanged(int index);
    void on_m_cmbMacType_currentIndexChanged(int index);
    void on_m_txtIP_textChanged();
    void on_m_txtScanSM_textChanged();
    void on_m_txtUALControlIP_textChanged();
    void on_m_txtUALControlSM_textChanged();
    void on_m_txtUALControlGW_textChanged();
    void on_m_txtUALStationLocalName_textChanged();
    void on_m_txtUALDanteIP_textChanged();
    void on_m_txtUALDanteSM_textChanged();
    void on_m_txtUALDanteGW_textChanged();
    void on_m_txtUALStationDanteName_textChanged();
    void on_m_txtUALQsysIP_textChanged();
    void on_m_txtUALStationID_textChanged();
    void on_m_LEDIntensity_valueChanged();
    void on_m_lstDetectedUnits_itemClicked(QListWidgetItem *item);
    void on_m_cmdSetProdAssembly_clicked();
    void on_m_cmdSetMAC_clicked();
    void on_m_cmdLEDCycleToggle_clicked();
    void on_m_cmdRedetectUltimo_clicked();
    void on_m_cmdClearReboots_clicked();
    void on_m_cmdSendPionCmd_clicked();
    void on_m_cmdBdcstSMSelect_clicked();
    void on_m_cmdWebSrv_clicked();
    void on_m_cmdUALGo_clicked();
    void on_m_cmdUALClose_clicked();
    void on_m_cmdNotes_clicked();
    void assignMenuActions();
    void displayMacType(bool show, bool force);
    void setOnlineUI(bool online);
    void readSettingsAndData();
    void scanNetwork();
    void setLEDIntensity();
    void readPendingBroadcastResponse();
    void readPendingUnicastResponse();
    void ledStateToggle();
    void sonalertTest();
    void muteHandsetToggle();
    void reboot();
    void loadDefaults();
    void firmwareUpdateMode();
    void showManualLink();
    void showAboutMessage();
    QString displayErrors();
    void connectToUnit();
    void updateUALStates();

private:
    // --- unit channel (channel/) ---
    enum CommandFlag {
        NoCommandFlags = 0x0,
        RawReplyExpected = 0x1,
        RestartPending = 0x2,
        DefaultsPending = 0x4,
        FirmwareUpdatePending = 0x8,
    };
    // The address in m_txtIP, or a null address after showing invalidText.
    QHostAddress validatedUnitAddress(const QString &invalidText);
    // Stops polling, marks a reply as awaited, raises the command's flags,
    // shows the status text (when not empty) and sends one datagram.
    void sendCommand(const QHostAddress &unit, const QByteArray &command,
                     const QString &statusText, int flags = NoCommandFlags);
    // Sends one datagram to port 2638 of the unit through m_sockUnicast.
    void sendDatagram(const QHostAddress &unit, const QByteArray &datagram);
    void appendLogRow(const QString &html);
    // The reply handler's steps for a datagram from the selected unit.
    void handleUnitReply(const QString &header, const QByteArray &block);
    void showRawReply(const QString &reply);
    void handleAcknowledgement(const QString &reply);

    // --- monitoring (monitor/) ---
    void decodeStatusReply(const QString &header, const QByteArray &block);
    void renderDetailsReport(const QString &header, int blockLength);
    void refreshIoPanel();
    void adoptReportedAssembly();
    void applyOnlineState(bool online);
    void applyOfflinePresentation();
    QString offlineStatusText() const;
    void showFeatureIndicatorsForFirmware();
    QString m_strLastChecklist;
    // A complete status reply was decoded since the window last went offline;
    // until then the checklist gives no verdict.
    bool m_bStatusBlockRead = false;
    QString m_strLastChecklistStyle;

    // --- discovery (discovery/) ---
    // One scan tick's ageing of the detected-unit list.
    void ageDetectedUnits();
    // "Found: N" with the number of lines in the list.
    void showDetectedUnitCount();
    // Lets the discovery socket hold the answers of a large site at once.
    void sizeBroadcastReceiveBuffer();
    bool m_bBroadcastBufferSized = false;

    // --- commands (commands/) ---
    // The address in m_txtIP, or a null address after showing the invalid-address text.
    QHostAddress commandAddress();
    // The opening every unit command shares: an invalid address in m_txtIP
    // only shows the refusal; otherwise `confirmed` (when given) is asked and
    // the command sent as sendCommand sends it. True when it went out.
    bool sendUnitCommand(const QByteArray &command, const QString &statusText,
                         int flags = NoCommandFlags,
                         const std::function<bool()> &confirmed = {});
    // Every message box of the window: shows the question application-modal
    // over the window and returns the standard button chosen.
    int askUser(const UserQuestion &question);
    // The LED intensity the user last moved the slider to; sent when the
    // slider has rested, even if the program moved the slider meanwhile.
    int m_nIntensityToSend = 0;

    // --- manual link (link/) ---
    // Sets or clears the field's bit in m_nUALValid and redraws the lamps.
    void setUALFieldValid(int bit, bool valid);
    void checkUALAddressField(int bit, const QLineEdit *field);
    void setUALNameLamp(QLabel *lamp, bool fits);

    Ui::HVTKUtilitiesClass ui;

    QUdpSocket *m_sockUnicast = nullptr;
    QUdpSocket *m_sockBroadcast = nullptr;
    std::array<QLabel *, 32> m_lblInputs{};
    std::array<QLabel *, 32> m_lblLEDs{};
    std::array<QLabel *, 8> m_imgUALReady{};
    QTimer *m_tmrPoll = nullptr;
    QTimer *m_tmrScan = nullptr;
    QTimer *m_tmrChecklist = nullptr;
    QTimer *m_tmrLEDIntensity = nullptr;

    bool m_bIPSetByProgram = false;
    QString m_strPolledIP;
    bool m_bConfirmAssembly = true;
    bool m_bAssemblySetByProgram = false;
    bool m_bIntensitySetByProgram = false;
    // Online until the constructor applies the offline presentation.
    bool m_bOnline = true;
    bool m_bAwaitingReply = false;
    bool m_bRawReplyExpected = false;
    bool m_bFirmwareUpdatePending = false;
    bool m_bRestartPending = false;
    bool m_bDefaultsPending = false;
    bool m_bPrivateMode = false;
    quint8 m_nScanStep = ScanMask::RestartStep;
    bool m_bScanMaskEdited = false;
    QString m_strRowPrefix = QStringLiteral("<tr><td>");
    quint8 m_nLEDToggleStep = 0;
    quint8 m_nUALValid = 0;
    quint8 m_nAssembly = 0;
    bool m_bIntercomModel = false;
    bool m_bUltimoXModel = false;
    quint8 m_nInputCount = 0;
    quint8 m_nLedCount = 0;
    UnitStatus m_unitStatus;

    // Process-wide: one per program run, not per window.
    static QLabel *m_lblVersion;
    static bool m_bPrivateModeRequested;
    static quint8 m_nChordKeys;

    friend class WindowProbe; // lets the test suites read the window's state
};
