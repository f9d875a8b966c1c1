#include "app/hvtkutilities.h"

#include "channel/addresstext.h"
#include "channel/commandtext.h"
#include "channel/receivebuffer.h"
#include "discovery/scanmask.h"
#include "discovery/unitanswers.h"

#include <QListWidgetItem>
#include <QLoggingCategory>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

namespace {

// The address, mask and broadcast address of every scan tick.
Q_LOGGING_CATEGORY(scanLog, "hvtk.discovery.scan")

constexpr int ScanInterval = 2000;
constexpr int MaxAnswersPerNotification = 512;

// A line of the detected-unit list; lines sort by plain string order of
// their text, whatever the locale. A line keeps its age (the user-role data)
// and its text colour itself and changes them without telling the list's
// model: the model would look up the line's row for every change, and after
// lines were put in above the line that is a search through the whole list,
// so a scan tick over thousands of lines took a search for each. Whoever
// changes a line's colour repaints the list.
class DetectedUnitLine : public QListWidgetItem
{
public:
    using QListWidgetItem::QListWidgetItem;
    bool operator<(const QListWidgetItem &other) const override
    {
        return text() < other.text();
    }
    QVariant data(int role) const override
    {
        if (role == Qt::UserRole)
            return m_age;
        if (role == Qt::ForegroundRole)
            return m_foreground;
        return QListWidgetItem::data(role);
    }
    void setData(int role, const QVariant &value) override
    {
        if (role == Qt::UserRole)
            m_age = value;
        else if (role == Qt::ForegroundRole)
            m_foreground = value;
        else
            QListWidgetItem::setData(role, value);
    }

private:
    QVariant m_age;
    QVariant m_foreground;
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

// Marks a line answered again; returns whether its colour changed.
bool refreshLine(QListWidgetItem &line)
{
    const QVariant black = QBrush(Qt::black);
    const bool recoloured = line.data(Qt::ForegroundRole) != black;
    line.setData(Qt::UserRole, UnitAnswers::FreshAge);
    line.setData(Qt::ForegroundRole, black);
    return recoloured;
}

// After every change to the list the view lays out all its lines again and
// asks each for its size. A line's text never changes, so its size is taken
// once, as the view would take it, and kept with the line: the view then
// reads it instead of laying out the text of thousands of lines each time.
void listNewLine(QListWidget &list, int row, const QString &text)
{
    QListWidgetItem *line = new DetectedUnitLine(text);
    list.insertItem(row, line);
    line->setData(Qt::SizeHintRole, list.sizeHintForIndex(list.model()->index(row, 0)));
    line->setData(Qt::UserRole, UnitAnswers::FreshAge);
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
    qCDebug(scanLog, "IP: %s", qPrintable(AddressText::ipv4(base)));
    qCDebug(scanLog, "SM: %s", qPrintable(AddressText::ipv4(mask)));
    qCDebug(scanLog, "BC: %s", qPrintable(AddressText::ipv4(broadcast)));

    ageDetectedUnits();

    sizeBroadcastReceiveBuffer();
    m_sockBroadcast->writeDatagram(query, QHostAddress(broadcast), CommandText::UnitPort);
}

// A broadcast may be answered by a thousand units at once, and strays may
// flood the port. Each notification takes every answer already waiting (up to
// a bound, so the window stays responsive under a flood). The list is always
// sorted, so one binary search finds a refreshed line or else the place of a
// new one, which goes straight there instead of sorting the whole list. The
// list ends as if each datagram had been handled and sorted on its own.
void HVTKUtilities::readPendingBroadcastResponse()
{
    QListWidget *list = ui.m_lstDetectedUnits;
    bool recoloured = false;
    for (int read = 0; read < MaxAnswersPerNotification && m_sockBroadcast->hasPendingDatagrams(); ++read) {
        const QNetworkDatagram answer = m_sockBroadcast->receiveDatagram();
        if (!UnitAnswers::isUnitAnswer(answer.data()))
            continue;
        m_nScanStep |= ScanMask::FrozenBit;
        const QString text = UnitAnswers::lineText(answer.senderAddress(), answer.data());
        const int row = sortedRow(*list, text);
        if (row < list->count() && list->item(row)->text() == text)
            recoloured |= refreshLine(*list->item(row));
        else
            listNewLine(*list, row, text);
    }
    if (recoloured)
        list->viewport()->update();
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
    bool recoloured = false;
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
        recoloured |= ageing.turnRed;
        line->setData(Qt::UserRole, ageing.age);
    }
    if (recoloured)
        list->viewport()->update();
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
                                     ReceiveBuffer::Bytes);
    m_bBroadcastBufferSized = true;
}
