#include "app/hvtkutilities.h"
#include "app/setbyprogram.h"
#include "app/windowports.h"

#include "app/defaultaddress.h"
#include "channel/receivebuffer.h"
#include "monitor/assemblyprofiles.h"
#include "monitor/privatemodechord.h"

#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QUdpSocket>

QLabel *HVTKUtilities::m_lblVersion = nullptr;
bool HVTKUtilities::m_bPrivateModeRequested = false;
quint8 HVTKUtilities::m_nChordKeys = 0;

namespace {

constexpr int ChecklistInterval = 200;
constexpr int FirstScanDelay = 100;

// The two small buttons draw their arrows with a Windows symbol font; where
// that font is missing, a standard arrow icon stands in for the glyph.
void useArrowWhereSymbolFontIsMissing(QPushButton *button, QStyle::StandardPixmap arrow)
{
    if (QFontInfo(QFont(QStringLiteral("Marlett"))).family() == QLatin1String("Marlett"))
        return;
    button->setText(QString());
    button->setIcon(button->style()->standardIcon(arrow));
}

} // namespace

HVTKUtilities::HVTKUtilities(QWidget *parent)
    : QMainWindow(parent)
{
    // A static: a window made after another must not inherit its request.
    m_bPrivateModeRequested = false;

    m_tmrPoll = new QTimer(this);
    m_tmrScan = new QTimer(this);
    m_tmrChecklist = new QTimer(this);
    m_tmrLEDIntensity = new QTimer(this);
    // The poll timer carries the units' waits (a restart, loading defaults):
    // a coarse timer may end them up to 5 % early, so it is precise. The scan,
    // checklist and slider-rest timers wait for nothing a unit does.
    m_tmrPoll->setTimerType(Qt::PreciseTimer);
    connect(m_tmrPoll, SIGNAL(timeout()), this, SLOT(readSettingsAndData()));
    connect(m_tmrScan, SIGNAL(timeout()), this, SLOT(scanNetwork()));
    connect(m_tmrChecklist, SIGNAL(timeout()), this, SLOT(displayErrors()));
    connect(m_tmrLEDIntensity, SIGNAL(timeout()), this, SLOT(setLEDIntensity()));

    ui.setupUi(this);
    assignMenuActions();
    useArrowWhereSymbolFontIsMissing(ui.m_cmdWebSrv, QStyle::SP_ArrowDown);
    useArrowWhereSymbolFontIsMissing(ui.m_cmdBdcstSMSelect, QStyle::SP_ArrowLeft);

    ui.m_fraManualLink->setVisible(false);

    m_lblVersion = new QLabel(this);
    ui.statusbar->addPermanentWidget(m_lblVersion, 0);

    ui.m_lblInfo->setWordWrap(true);

    for (int i = 0; i < 32; ++i) {
        m_lblInputs[i] = findChild<QLabel *>(QStringLiteral("input_%1").arg(i + 1));
        m_lblLEDs[i] = findChild<QLabel *>(QStringLiteral("led_%1").arg(i + 1));
    }
    m_imgUALReady = {ui.imgUALReady_0, ui.imgUALReady_1, ui.imgUALReady_2, ui.imgUALReady_3,
                     ui.imgUALReady_4, ui.imgUALReady_5, ui.imgUALReady_6, ui.imgUALReady_7};

    m_sockUnicast = new QUdpSocket(this);
    m_sockUnicast->bind(WindowPorts::UnicastPort);
    m_sockUnicast->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, ReceiveBuffer::Bytes);
    connect(m_sockUnicast, SIGNAL(readyRead()), this, SLOT(readPendingUnicastResponse()));
    m_sockBroadcast = new QUdpSocket(this);
    m_sockBroadcast->bind(WindowPorts::BroadcastPort);
    connect(m_sockBroadcast, SIGNAL(readyRead()), this, SLOT(readPendingBroadcastResponse()));

    m_tmrChecklist->start(ChecklistInterval);
    m_tmrScan->setInterval(FirstScanDelay);
    m_tmrScan->start();

    {
        const SetByProgram setByProgram(m_bAssemblySetByProgram);
        for (const QString &model : Assembly::names())
            ui.m_cmbAssembly->addItem(model);
    }

    ui.m_cmbMacType->addItem(QStringLiteral("Local"));
    ui.m_cmbMacType->addItem(QStringLiteral("DanteRef"));

    const QString unitAddress = defaultUnitAddress(interfaceAddresses());
    if (!unitAddress.isEmpty()) {
        const SetByProgram setByProgram(m_bIPSetByProgram);
        ui.m_txtIP->setText(unitAddress);
    }

    // Online until here, so that going offline applies the whole offline
    // presentation once.
    setOnlineUI(false);
}

HVTKUtilities::~HVTKUtilities() = default;

void HVTKUtilities::assignMenuActions()
{
    connect(ui.actionLED_State_Toggle_ALL, &QAction::triggered, this, &HVTKUtilities::ledStateToggle);
    connect(ui.actionRinger_Test, &QAction::triggered, this, &HVTKUtilities::sonalertTest);
    connect(ui.actionMute_Handset, &QAction::triggered, this, &HVTKUtilities::muteHandsetToggle);
    connect(ui.actionReboot, &QAction::triggered, this, &HVTKUtilities::reboot);
    connect(ui.actionDefaults, &QAction::triggered, this, &HVTKUtilities::loadDefaults);
    connect(ui.actionEnter_Firmware_Update, &QAction::triggered, this, &HVTKUtilities::firmwareUpdateMode);
    connect(ui.actionManual_Link_unicast, &QAction::triggered, this, &HVTKUtilities::showManualLink);
    connect(ui.actionAbout, &QAction::triggered, this, &HVTKUtilities::showAboutMessage);
}

void HVTKUtilities::keyPressEvent(QKeyEvent *event)
{
    m_nChordKeys = PrivateModeChord::pressed(m_nChordKeys, event->key());
    if (PrivateModeChord::complete(m_nChordKeys))
        m_bPrivateModeRequested = true;
    QMainWindow::keyPressEvent(event);
}

void HVTKUtilities::keyReleaseEvent(QKeyEvent *event)
{
    m_nChordKeys = PrivateModeChord::released(m_nChordKeys, event->key());
    QMainWindow::keyReleaseEvent(event);
}
