#include "fleet/fleetrun.h"

#include "channel/commandtext.h"
#include "channel/receivebuffer.h"
#include "discovery/scanmask.h"
#include "discovery/unitanswers.h"
#include "fleet/localsubnets.h"

#include <QNetworkDatagram>
#include <QVariant>

#include <algorithm>

namespace {

// Where the discovery query goes: the broadcast address of each of this
// workstation's subnets under `mask`, or the global broadcast.
QList<QHostAddress> discoveryTargets(quint32 mask)
{
    QList<QHostAddress> targets;
    const QList<Subnet> subnets = LocalSubnets::all();
    if (mask == 0 || subnets.isEmpty())
        return {QHostAddress(QHostAddress::Broadcast)};
    for (const Subnet &subnet : subnets) {
        const QHostAddress target(ScanMask::broadcastAddress(ScanMask::baseAddress(subnet.address), mask));
        if (!targets.contains(target))
            targets << target;
    }
    return targets;
}

} // namespace

FleetRun::FleetRun(const FleetOptions &options, UnitFactory makeUnit, QObject *parent)
    : QObject(parent), m_options(options), m_makeUnit(std::move(makeUnit))
{
    // Polls and every unit's due time (a defaults pause, a push's spacing)
    // are the units' waits: never early. Units also check their due times
    // against the run's clock. The discovery windows wait for no unit and
    // stay coarse.
    m_pollTimer.setTimerType(Qt::PreciseTimer);
    m_pollTimer.setInterval(PollIntervalMs);
    m_dueTimer.setTimerType(Qt::PreciseTimer);
    m_dueTimer.setSingleShot(true);
    m_discoveryQuiet.setSingleShot(true);
    m_discoveryQuiet.setInterval(DiscoveryQuietMs);
    m_discoveryLongest.setSingleShot(true);
    m_discoveryLongest.setInterval(DiscoveryLongestMs);
    connect(&m_socket, &QUdpSocket::readyRead, this, &FleetRun::readDatagrams);
    connect(&m_pollTimer, &QTimer::timeout, this, &FleetRun::pollTick);
    connect(&m_dueTimer, &QTimer::timeout, this, &FleetRun::callDueUnits);
    connect(&m_discoveryQuiet, &QTimer::timeout, this, &FleetRun::endDiscovery);
    connect(&m_discoveryLongest, &QTimer::timeout, this, &FleetRun::endDiscovery);
}

bool FleetRun::start(QString *error)
{
    if (!m_socket.bind(QHostAddress(QHostAddress::AnyIPv4), 0)) {
        *error = m_socket.errorString();
        return false;
    }
    m_socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, ReceiveBuffer::Bytes);
    m_clock.start();
    m_units.reserve(std::size_t(m_options.units.size()));
    for (const QHostAddress &address : m_options.units)
        addUnit(address);
    if (m_options.discover) {
        m_discovering = true;
        m_discoveryAddresses = discoveryTargets(m_options.mask);
        for (const QHostAddress &target : qAsConst(m_discoveryAddresses))
            m_socket.writeDatagram(CommandText::versionQuery(), target, CommandText::UnitPort);
        m_discoveryQuiet.start();
        m_discoveryLongest.start();
    }
    m_pollTimer.start();
    armDueTimer();
    return true;
}

void FleetRun::resume()
{
    m_done = false;
    remap();
    for (const auto &unit : m_units)
        flush(*unit);
    if (!m_pollTimer.isActive())
        m_pollTimer.start();
    armDueTimer();
    finishIfDone();
}

void FleetRun::stop()
{
    m_done = true;
    m_discovering = false;
    m_pollTimer.stop();
    m_dueTimer.stop();
    m_discoveryQuiet.stop();
    m_discoveryLongest.stop();
    m_socket.close();
}

void FleetRun::addUnit(const QHostAddress &address)
{
    m_byAddress.insert(address.toIPv4Address(), m_units.size());
    m_units.push_back(m_makeUnit(address, m_clock.elapsed()));
    FleetUnit &unit = *m_units.back();
    const QByteArray request = unit.pollRequest();
    if (!request.isEmpty())
        m_socket.writeDatagram(request, unit.address(), CommandText::UnitPort);
    flush(unit);
}

// Sends what the unit holds to where it is now.
void FleetRun::flush(FleetUnit &unit)
{
    for (const QByteArray &datagram : unit.takeOutbox())
        m_socket.writeDatagram(datagram, unit.address(), CommandText::UnitPort);
}

void FleetRun::readDatagrams()
{
    bool moved = false;
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram();
        bool isIPv4 = false;
        const quint32 sender = datagram.senderAddress().toIPv4Address(&isIPv4);
        if (!isIPv4)
            continue;
        // A named unit's answer to the discovery broadcast cannot be told
        // from a version answer and is taken as one.
        const auto known = m_byAddress.constFind(sender);
        if (known != m_byAddress.constEnd()) {
            FleetUnit &unit = *m_units[known.value()];
            if (unit.finished())
                continue;
            unit.take(datagram.data(), m_clock.elapsed());
            moved = moved || unit.address().toIPv4Address() != sender;
            flush(unit);
        } else if (m_discovering && UnitAnswers::isUnitAnswer(datagram.data())) {
            addUnit(QHostAddress(sender));
            m_discoveryQuiet.start();
        }
    }
    if (moved)
        remap();
    armDueTimer();
    emit progressed();
    finishIfDone();
}

void FleetRun::pollTick()
{
    callDueUnits();
    for (const auto &unit : m_units) {
        if (unit->finished())
            continue;
        const QByteArray request = unit->pollRequest();
        if (!request.isEmpty())
            m_socket.writeDatagram(request, unit->address(), CommandText::UnitPort);
    }
}

// Calls every unit whose time has come.
void FleetRun::callDueUnits()
{
    const qint64 now = m_clock.elapsed();
    bool moved = false;
    for (const auto &unit : m_units) {
        const qint64 due = unit->dueMs();
        if (!unit->finished() && due >= 0 && due <= now) {
            const QHostAddress before = unit->address();
            unit->due(now);
            moved = moved || unit->address() != before;
            flush(*unit);
        }
    }
    if (moved)
        remap();
    armDueTimer();
    emit progressed();
    finishIfDone();
}

void FleetRun::armDueTimer()
{
    qint64 earliest = -1;
    for (const auto &unit : m_units) {
        const qint64 due = unit->dueMs();
        if (unit->finished() || due < 0)
            continue;
        if (earliest < 0 || due < earliest)
            earliest = due;
    }
    if (earliest >= 0)
        m_dueTimer.start(int(qMax<qint64>(0, earliest - m_clock.elapsed())));
    else
        m_dueTimer.stop();
}

// Datagrams go to each unit by the address it has now.
void FleetRun::remap()
{
    m_byAddress.clear();
    for (std::size_t i = 0; i < m_units.size(); ++i)
        m_byAddress.insert(m_units[i]->address().toIPv4Address(), i);
}

void FleetRun::endDiscovery()
{
    if (!m_discovering)
        return;
    m_discovering = false;
    m_discoveryQuiet.stop();
    m_discoveryLongest.stop();
    // Discovered units follow the named ones, sorted by address.
    std::stable_sort(m_units.begin() + m_options.units.size(), m_units.end(),
                     [](const std::unique_ptr<FleetUnit> &a, const std::unique_ptr<FleetUnit> &b) {
                         return a->address().toIPv4Address() < b->address().toIPv4Address();
                     });
    remap();
    finishIfDone();
}

void FleetRun::finishIfDone()
{
    if (m_done || m_discovering)
        return;
    const bool allFinished = std::all_of(m_units.begin(), m_units.end(),
                                         [](const std::unique_ptr<FleetUnit> &unit) { return unit->finished(); });
    if (!allFinished)
        return;
    m_done = true;
    m_pollTimer.stop();
    m_dueTimer.stop();
    emit finished();
}
