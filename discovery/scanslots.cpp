#include "app/hvtkutilities.h"

#include "channel/addresstext.h"
#include "channel/commandtext.h"
#include "discovery/scanmask.h"
#include "discovery/unitanswers.h"

#include <QHash>
#include <QListWidgetItem>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

namespace {

constexpr int ScanInterval = 2000;
// Room for the answers of thousands of units arriving at once; a small
// answer takes about 1 KB of the buffer. The kernel may grant less.
constexpr int BroadcastReceiveBufferBytes = 4 * 1024 * 1024;
constexpr int MaxAnswersPerNotification = 512;

// Lines sort by plain string order of their text, whatever the locale.
class DetectedUnitLine : public QListWidgetItem
{
public:
    using QListWidgetItem::QListWidgetItem;
    bool operator<(const QListWidgetItem &other) const override
    {
        return text() < other.text();
    }
};

// The row at which a line with `text` keeps the sorted list sorted.
int sortedRow(const QListWidget &list, const QString &text)
{
    int low = 0;
    int high = list.count();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (list.item(middle)->text() < text)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

} // namespace

void HVTKUtilities::scanNetwork()
{
    m_tmrScan->setInterval(ScanInterval);
    const QByteArray query = CommandText::versionQuery();

    if (!(m_nScanStep & ScanMask::FrozenBit)) {
        m_nScanStep = ScanMask::nextStep(m_nScanStep);
        if (!m_bScanMaskEdited && !ui.m_txtScanSM->hasFocus()) {
            ui.m_txtScanSM->setText(ScanMask::maskText(m_nScanStep));
            m_bScanMaskEdited = false;
        }
    }

    const quint32 base = ScanMask::baseAddress(ScanMask::ipv4Value(ui.m_txtIP->text()));
    const quint32 mask = ScanMask::ipv4Value(ui.m_txtScanSM->text());
    const quint32 broadcast = ScanMask::broadcastAddress(base, mask);
    qDebug("IP: %s", qPrintable(AddressText::ipv4(base)));
    qDebug("SM: %s", qPrintable(AddressText::ipv4(mask)));
    qDebug("BC: %s", qPrintable(AddressText::ipv4(broadcast)));

    ageDetectedUnits();

    sizeBroadcastReceiveBuffer();
    m_sockBroadcast->writeDatagram(query, QHostAddress(broadcast), CommandText::UnitPort);
}

// A broadcast may be answered by a thousand units at once. Each notification
// takes every answer already waiting (up to a bound, so the window stays
// responsive under a flood), finds existing lines through one index instead
// of a search per answer, and puts a new line straight into its sorted place
// instead of sorting the whole list: a refreshed line keeps its text, hence
// its place. The list ends as if each datagram had been handled and sorted on
// its own.
void HVTKUtilities::readPendingBroadcastResponse()
{
    QListWidget *list = ui.m_lstDetectedUnits;
    QHash<QString, QListWidgetItem *> lines;
    for (int read = 0; read < MaxAnswersPerNotification && m_sockBroadcast->hasPendingDatagrams(); ++read) {
        const QNetworkDatagram answer = m_sockBroadcast->receiveDatagram();
        if (!UnitAnswers::isUnitAnswer(answer.data()))
            continue;
        if (lines.isEmpty() && list->count() > 0) {
            lines.reserve(list->count());
            for (int row = 0; row < list->count(); ++row)
                lines.insert(list->item(row)->text(), list->item(row));
        }
        m_nScanStep |= ScanMask::FrozenBit;
        const QString text = UnitAnswers::lineText(answer.senderAddress(), answer.data());
        QListWidgetItem *line = lines.value(text);
        if (line) {
            line->setData(Qt::UserRole, UnitAnswers::FreshAge);
            line->setForeground(Qt::black);
            continue;
        }
        line = new DetectedUnitLine(text);
        list->insertItem(sortedRow(*list, text), line);
        line->setData(Qt::UserRole, UnitAnswers::FreshAge);
        lines.insert(text, line);
    }
    showDetectedUnitCount();
}

void HVTKUtilities::on_m_txtScanSM_textChanged()
{
    m_bScanMaskEdited = true;
    if (QHostAddress(ui.m_txtScanSM->text()).isNull())
        return;
    ui.m_lstDetectedUnits->clear();
    showDetectedUnitCount();
    scanNetwork();
}

void HVTKUtilities::on_m_cmdBdcstSMSelect_clicked()
{
    ui.m_txtScanSM->setText(QStringLiteral("0.0.0.0"));
}

void HVTKUtilities::ageDetectedUnits()
{
    QListWidget *list = ui.m_lstDetectedUnits;
    bool removed = false;
    for (int row = list->count() - 1; row >= 0; --row) {
        QListWidgetItem *line = list->item(row);
        const UnitAnswers::TickAgeing ageing = UnitAnswers::ageOnTick(line->data(Qt::UserRole).toInt());
        if (ageing.remove) {
            delete list->takeItem(row);
            removed = true;
            continue;
        }
        if (ageing.turnRed)
            line->setForeground(Qt::red);
        line->setData(Qt::UserRole, ageing.age);
    }
    // The count also follows lines that go, so a silent network shows none.
    if (removed)
        showDetectedUnitCount();
}

void HVTKUtilities::showDetectedUnitCount()
{
    ui.m_lblDiscoveredUnitCount->setText(tr("Found: %1").arg(ui.m_lstDetectedUnits->count()));
}

void HVTKUtilities::sizeBroadcastReceiveBuffer()
{
    if (m_bBroadcastBufferSized || m_sockBroadcast->state() != QAbstractSocket::BoundState)
        return;
    m_sockBroadcast->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                                     BroadcastReceiveBufferBytes);
    m_bBroadcastBufferSized = true;
}
