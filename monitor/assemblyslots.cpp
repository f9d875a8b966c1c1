#include "app/hvtkutilities.h"
#include "app/indicatorpaint.h"
#include "app/setbyprogram.h"

#include "monitor/assemblyprofiles.h"
#include "monitor/iopanel.h"
#include "monitor/statusdecoder.h"
#include "monitor/unitfactory.h"
#include "monitor/unitpoll.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int MacWithTypeBox = 107;
constexpr int MacWithoutTypeBox = 148;
constexpr int SetButtonWithTypeBox = 41;
constexpr int SetButtonWithoutTypeBox = 61;
constexpr int SetButtonGap = 2;

// A Dante reference still to be programmed: the factory's first four bytes,
// the unit's own two left to the technician ("00:1D:C1:07::").
QString danteMacTemplate()
{
    const auto &prefix = UnitFactory::DanteMacPrefix;
    return QString::asprintf("%02X:%02X:%02X:%02X::", prefix[0], prefix[1], prefix[2], UnitFactory::DanteMacRange);
}

// The first `inUse` indicators are framed in black until the next status
// reply paints them; the rest are greyed out without a frame.
void frameIndicators(const std::array<QLabel *, 32> &indicators, IoPanel::Indicator kind, int inUse)
{
    for (int i = 0; i < int(indicators.size()); ++i) {
        const bool used = i < inUse;
        paintIndicator(indicators[i], QString::fromLatin1(used ? IoPanel::Dark : IoPanel::NotInUse), kind, i + 1);
        indicators[i]->setFrameShape(used ? QFrame::Box : QFrame::NoFrame);
    }
}

} // namespace

void HVTKUtilities::on_m_cmbAssembly_currentIndexChanged(int index)
{
    ui.m_cmdSetProdAssembly->setEnabled(index < Assembly::Unknown);
    if (m_bAssemblySetByProgram)
        return;

    if (index != m_nAssembly && m_nAssembly != Assembly::Unknown && Assembly::isCompatibilityModel(index)) {
        const bool ultimoXChip = m_unitStatus.danteChipModel == QLatin1String("UltimoX2");
        const QString text = tr("Attempting to select compatibility model.");
        const int answer = ultimoXChip
            ? askUser({text, tr("UltimoX chip detected.  Action disallowed."), QMessageBox::Ok,
                       QMessageBox::NoButton, QMessageBox::Warning})
            : askUser({text, tr("Are you sure this is an Ultimo (NOT UltimoX) assembly?"),
                       QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton,
                       QMessageBox::Question});
        if (ultimoXChip || answer != QMessageBox::Yes) {
            const SetByProgram setByProgram(m_bAssemblySetByProgram);
            ui.m_cmbAssembly->setCurrentIndex(Assembly::Unknown);
            return;
        }
    }

    const UnitPoll::AcceptedAssembly accepted = UnitPoll::acceptAssembly(m_unitStatus, index);
    m_nAssembly = quint8(index);
    m_nInputCount = accepted.indicatorCount;
    m_nLedCount = accepted.indicatorCount;
    m_bIntercomModel = accepted.context.intercomModel;
    m_bUltimoXModel = accepted.context.ultimoXModel;

    displayMacType(StatusDecoder::macTypeBoxWanted(m_bUltimoXModel, m_unitStatus.ultimoBusOnline, m_bOnline,
                                                   m_bPrivateMode),
                   false);

    frameIndicators(m_lblInputs, IoPanel::Indicator::Input, m_nInputCount);
    frameIndicators(m_lblLEDs, IoPanel::Indicator::Led, m_nLedCount);

    ui.actionRinger_Test->setVisible(m_bIntercomModel);
    ui.actionMute_Handset->setVisible(m_bIntercomModel);
    const std::initializer_list<QWidget *> intercomOnly = {
        ui.m_lblSonalert,     ui.m_SonalertState, ui.m_lblHandsetMuted,
        ui.m_HandsetMutedState, ui.m_lblSnoozing,   ui.m_SnoozingAllowed};
    for (QWidget *widget : intercomOnly)
        widget->setVisible(m_bIntercomModel);

    ui.m_lblPTT->setText(m_bIntercomModel ? tr("Handset:") : tr("Push-To-Talk"));
}

void HVTKUtilities::on_m_cmbMacType_currentIndexChanged(int index)
{
    if (index == 0)
        ui.m_txtMAC->setText(m_unitStatus.controlMacText);
    else if (index == 1)
        ui.m_txtMAC->setText(m_unitStatus.hasCondition(DanteMacInvalid) ? danteMacTemplate()
                                                                        : m_unitStatus.danteMacText);
}

void HVTKUtilities::displayMacType(bool show, bool force)
{
    QComboBox *typeBox = ui.m_cmbMacType;
    // The box's own hidden state: the window need not be on screen.
    if (show == !typeBox->isHidden() && !force)
        return;
    typeBox->setVisible(show);

    QLineEdit *mac = ui.m_txtMAC;
    mac->resize(show ? MacWithTypeBox : MacWithoutTypeBox, mac->height());

    const QWidget *anchor = show ? static_cast<QWidget *>(typeBox) : static_cast<QWidget *>(mac);
    QPushButton *setButton = ui.m_cmdSetMAC;
    setButton->setGeometry(anchor->x() + anchor->width() + SetButtonGap, setButton->y(),
                           show ? SetButtonWithTypeBox : SetButtonWithoutTypeBox, setButton->height());
}
