#include "gate/checkrun.h"

#include "channel/commandtext.h"
#include "discovery/scanmask.h"
#include "discovery/unitanswers.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>

#include <algorithm>

namespace {

// Room for the replies of a thousand units arriving at once (about 1 KB of
// buffer each); the kernel may grant less, and a lost reply is asked again.
constexpr int ReceiveBufferBytes = 4 * 1024 * 1024;

// This workstation's first IPv4 address other than 127.0.0.1, or 0.
quint32 workstationAddress()
{
    const QHostAddress loopback(QHostAddress::LocalHost);
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && address != loopback)
            return address.toIPv4Address();
    }
    return 0;
}

} // namespace

CheckRun::CheckRun(const CheckOptions &options, QObject *parent)
    : QObject(parent), m_options(options)
{
    m_pollTimer.setInterval(PollIntervalMs);
    m_deadlineTimer.setSingleShot(true);
    m_discoveryQuiet.setSingleShot(true);
    m_discoveryQuiet.setInterval(DiscoveryQuietMs);
    m_discoveryLongest.setSingleShot(true);
    m_discoveryLongest.setInterval(DiscoveryLongestMs);
    connect(&m_socket, &QUdpSocket::readyRead, this, &CheckRun::readDatagrams);
    connect(&m_pollTimer, &QTimer::timeout, this, &CheckRun::pollTick);
    connect(&m_deadlineTimer, &QTimer::timeout, this, &CheckRun::finishOverdue);
    connect(&m_discoveryQuiet, &QTimer::timeout, this, &CheckRun::endDiscovery);
    connect(&m_discoveryLongest, &QTimer::timeout, this, &CheckRun::endDiscovery);
}

bool CheckRun::start(QString *error)
{
    if (!m_socket.bind(QHostAddress(QHostAddress::AnyIPv4), 0)) {
        *error = m_socket.errorString();
        return false;
    }
    m_socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, ReceiveBufferBytes);
    m_clock.start();
    m_units.reserve(std::size_t(m_options.units.size()));
    for (const QHostAddress &address : m_options.units)
        addUnit(address);
    if (m_options.discover) {
        m_discovering = true;
        const quint32 base = ScanMask::baseAddress(workstationAddress());
        m_discoveryAddress = QHostAddress(ScanMask::broadcastAddress(base, m_options.mask));
        m_socket.writeDatagram(CommandText::versionQuery(), m_discoveryAddress, CommandText::UnitPort);
        m_discoveryQuiet.start();
        m_discoveryLongest.start();
    }
    m_pollTimer.start();
    armDeadline();
    return true;
}

void CheckRun::addUnit(const QHostAddress &address)
{
    m_byAddress.insert(address.toIPv4Address(), m_units.size());
    m_units.emplace_back(address, m_options.assembly, m_clock.elapsed());
    ask(m_units.back());
}

void CheckRun::ask(UnitCheck &unit)
{
    m_socket.writeDatagram(unit.request(), unit.address(), CommandText::UnitPort);
}

void CheckRun::readDatagrams()
{
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram();
        bool isIPv4 = false;
        const quint32 sender = datagram.senderAddress().toIPv4Address(&isIPv4);
        if (!isIPv4)
            continue;
        // A named unit's answer to the discovery broadcast cannot be told
        // from a version answer and is taken as one; it comes once, so the
        // two equal replies in a row that settle the unit come after it.
        const auto known = m_byAddress.constFind(sender);
        if (known != m_byAddress.constEnd()) {
            UnitCheck &unit = m_units[known.value()];
            if (unit.finished())
                continue;
            unit.take(datagram.data());
            if (unit.settled())
                unit.finish(m_clock.elapsed(), QDateTime::currentDateTimeUtc());
        } else if (m_discovering && UnitAnswers::isUnitAnswer(datagram.data())) {
            addUnit(QHostAddress(sender));
            m_discoveryQuiet.start();
        }
    }
    finishIfDone();
}

void CheckRun::pollTick()
{
    finishOverdue();
    for (UnitCheck &unit : m_units) {
        if (!unit.finished())
            ask(unit);
    }
}

// Units whose timeout ran out are judged on what they sent so far.
void CheckRun::finishOverdue()
{
    const qint64 now = m_clock.elapsed();
    for (UnitCheck &unit : m_units) {
        if (!unit.finished() && now - unit.startedMs() >= m_options.timeoutMs)
            unit.finish(now, QDateTime::currentDateTimeUtc());
    }
    armDeadline();
    finishIfDone();
}

void CheckRun::armDeadline()
{
    qint64 earliest = -1;
    for (const UnitCheck &unit : m_units) {
        if (unit.finished())
            continue;
        const qint64 deadline = unit.startedMs() + m_options.timeoutMs;
        if (earliest < 0 || deadline < earliest)
            earliest = deadline;
    }
    if (earliest >= 0)
        m_deadlineTimer.start(int(qMax<qint64>(0, earliest - m_clock.elapsed())));
}

void CheckRun::endDiscovery()
{
    if (!m_discovering)
        return;
    m_discovering = false;
    m_discoveryQuiet.stop();
    m_discoveryLongest.stop();
    // Discovered units follow the named ones, sorted by address.
    std::stable_sort(m_units.begin() + m_options.units.size(), m_units.end(),
                     [](const UnitCheck &a, const UnitCheck &b) {
                         return a.address().toIPv4Address() < b.address().toIPv4Address();
                     });
    m_byAddress.clear();
    for (std::size_t i = 0; i < m_units.size(); ++i)
        m_byAddress.insert(m_units[i].address().toIPv4Address(), i);
    finishIfDone();
}

void CheckRun::finishIfDone()
{
    if (m_done || m_discovering)
        return;
    const bool allFinished = std::all_of(m_units.begin(), m_units.end(),
                                         [](const UnitCheck &unit) { return unit.finished(); });
    if (!allFinished)
        return;
    m_done = true;
    m_pollTimer.stop();
    m_deadlineTimer.stop();
    emit finished();
}
