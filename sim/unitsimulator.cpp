#include "sim/unitsimulator.h"

#include "channel/addresstext.h"

#include <QNetworkDatagram>
#include <QSet>

namespace {

constexpr auto BindMode = QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint;

quint32 ipv4(const QHostAddress &address)
{
    return address.toIPv4Address();
}

// Addresses taken by the units of every simulator of this process: the unit
// sockets share their port, so a second unit at one address would steal the
// first one's datagrams instead of failing to bind.
QSet<quint32> &addressesInUse()
{
    static QSet<quint32> addresses;
    return addresses;
}

} // namespace

UnitSimulator::UnitSimulator(QObject *parent)
    : QObject(parent)
{
    m_clock.start();
}

UnitSimulator::~UnitSimulator()
{
    for (const quint32 address : qAsConst(m_taken))
        addressesInUse().remove(address);
    qDeleteAll(m_units);
    m_units.clear();
}

SimulatedUnit *UnitSimulator::addUnit(const UnitConfig &config)
{
    m_error.clear();
    bool isIpv4 = false;
    const quint32 address = config.address.toIPv4Address(&isIpv4);
    if (!isIpv4 || address == 0) {
        m_error = tr("%1: not an IPv4 unit address").arg(config.address.toString());
        return nullptr;
    }
    if (!UnitModels::find(config.model)) {
        m_error = tr("%1: unknown model \"%2\" (known: %3)")
                      .arg(config.address.toString(), config.model,
                           UnitModels::names().join(QStringLiteral(", ")));
        return nullptr;
    }
    if (addressesInUse().contains(address)) {
        m_error = tr("%1: two units at one address").arg(config.address.toString());
        return nullptr;
    }
    if (!ensureBroadcastSocket() || !bindUnitSocket(config.address))
        return nullptr;

    auto *unit = new SimulatedUnit(config);
    connect(unit, &SimulatedUnit::addressChanged, this,
            [this, unit](const QHostAddress &oldAddress, const QHostAddress &newAddress) {
                moveUnit(unit, oldAddress, newAddress);
            });
    m_units.append(unit);
    m_unitsByAddress.insert(address, unit);
    takeAddress(address);
    return unit;
}

SimulatedUnit *UnitSimulator::addTwin(SimulatedUnit *unit, const UnitConfig &config)
{
    m_error.clear();
    if (!unit || !m_units.contains(unit) || m_unitsByAddress.value(ipv4(unit->address())) != unit) {
        m_error = tr("no unit of this simulator to twin at this address");
        return nullptr;
    }
    if (!UnitModels::find(config.model)) {
        m_error = tr("%1: unknown model \"%2\" (known: %3)")
                      .arg(unit->address().toString(), config.model,
                           UnitModels::names().join(QStringLiteral(", ")));
        return nullptr;
    }
    auto *twin = new SimulatedUnit(UnitConfig{unit->address(), config.model, config.firmware});
    std::array<quint8, 6> controlMac = twin->status().controlMac;
    controlMac[4] ^= 0x80;
    twin->setControlMac(controlMac);
    twin->updateStatus([](UnitStatus &s) {
        s.danteMac[4] ^= 0x80;
        s.danteMacText = AddressText::mac(s.danteMac);
    });
    // A twin linked to a new address leaves the old one and answers nowhere.
    connect(twin, &SimulatedUnit::addressChanged, this, [this, twin](const QHostAddress &oldAddress) {
        m_twinsByAddress[ipv4(oldAddress)].removeOne(twin);
    });
    m_units.append(twin);
    m_twinsByAddress[ipv4(unit->address())].append(twin);
    return twin;
}

void UnitSimulator::removeUnit(SimulatedUnit *unit)
{
    if (!m_units.contains(unit))
        return;
    for (auto twins = m_twinsByAddress.begin(); twins != m_twinsByAddress.end(); ++twins) {
        if (twins->removeOne(unit)) {
            m_units.removeOne(unit);
            delete unit;
            return;
        }
    }
    if (m_unitsByAddress.value(ipv4(unit->address())) == unit) {
        const QList<SimulatedUnit *> twins = m_twinsByAddress.take(ipv4(unit->address()));
        for (SimulatedUnit *twin : twins) {
            m_units.removeOne(twin);
            delete twin;
        }
    }
    m_units.removeOne(unit);
    releaseAddress(ipv4(unit->address()));
    m_unitsByAddress.remove(ipv4(unit->address()));
    if (QUdpSocket *socket = m_unitSockets.take(ipv4(unit->address()))) {
        socket->close();
        socket->deleteLater();
    }
    delete unit;
}

SimulatedUnit *UnitSimulator::unit(const QHostAddress &address) const
{
    bool isIpv4 = false;
    const quint32 value = address.toIPv4Address(&isIpv4);
    if (!isIpv4)
        return nullptr;
    for (SimulatedUnit *candidate : m_units) {
        if (ipv4(candidate->address()) == value)
            return candidate;
    }
    return nullptr;
}

QList<QByteArray> UnitSimulator::received(const SimulatedUnit *unit) const
{
    QList<QByteArray> result;
    for (const SimDatagram &datagram : m_log) {
        if (datagram.direction == SimDatagram::In && unit && datagram.unitAddress == unit->address())
            result << datagram.data;
    }
    return result;
}

QList<QByteArray> UnitSimulator::sent(const SimulatedUnit *unit) const
{
    QList<QByteArray> result;
    for (const SimDatagram &datagram : m_log) {
        if (datagram.direction == SimDatagram::Out && unit && datagram.unitAddress == unit->address())
            result << datagram.data;
    }
    return result;
}

// A socket bound to one address never sees broadcasts, so one socket on the
// wildcard address takes them, and dispatches by destination.
bool UnitSimulator::ensureBroadcastSocket()
{
    if (m_broadcastSocket)
        return true;
    auto *socket = new QUdpSocket(this);
    if (!socket->bind(QHostAddress::AnyIPv4, UnitPort, BindMode)) {
        m_error = tr("cannot listen for broadcasts on port %1: %2").arg(UnitPort).arg(socket->errorString());
        delete socket;
        return false;
    }
    connect(socket, &QUdpSocket::readyRead, this, &UnitSimulator::readBroadcastSocket);
    m_broadcastSocket = socket;
    return true;
}

QUdpSocket *UnitSimulator::bindUnitSocket(const QHostAddress &address)
{
    auto *socket = new QUdpSocket(this);
    if (!socket->bind(address, UnitPort, BindMode)) {
        m_error = tr("%1: cannot bind port %2: %3")
                      .arg(address.toString()).arg(UnitPort).arg(socket->errorString());
        delete socket;
        return nullptr;
    }
    const quint32 value = ipv4(address);
    connect(socket, &QUdpSocket::readyRead, this, [this, socket, value] { readUnitSocket(socket, value); });
    m_unitSockets.insert(value, socket);
    return socket;
}

void UnitSimulator::readUnitSocket(QUdpSocket *socket, quint32 address)
{
    while (socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram();
        SimulatedUnit *target = m_unitsByAddress.value(address);
        if (!target) {
            record(SimDatagram::In, nullptr, datagram, datagram.data());
            continue;
        }
        deliver(target, datagram);
        const QList<SimulatedUnit *> twins = m_twinsByAddress.value(address);
        for (SimulatedUnit *twin : twins)
            deliver(twin, datagram);
    }
}

void UnitSimulator::readBroadcastSocket()
{
    while (m_broadcastSocket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_broadcastSocket->receiveDatagram();
        bool anyUnit = false;
        const QList<SimulatedUnit *> units = m_units;
        for (SimulatedUnit *candidate : units) {
            if (reachesUnit(datagram.destinationAddress(), candidate)) {
                anyUnit = true;
                deliver(candidate, datagram);
            }
        }
        if (!anyUnit)
            record(SimDatagram::In, nullptr, datagram, datagram.data());
    }
}

// Only broadcasts come this way for units: the limited broadcast, or the
// directed broadcast of the unit's own subnet. Unicasts to a unit arrive on its
// own socket; unicasts to any other address are not for us.
bool UnitSimulator::reachesUnit(const QHostAddress &destination, const SimulatedUnit *unit) const
{
    bool isIpv4 = false;
    const quint32 to = destination.toIPv4Address(&isIpv4);
    if (!isIpv4)
        return false;
    if (to == 0xFFFFFFFFu)
        return true;
    const quint32 own = ipv4(unit->address());
    const quint32 mask = unit->status().controlSubnetMask;
    return mask != 0 && mask != 0xFFFFFFFFu && to == ((own & mask) | ~mask);
}

void UnitSimulator::deliver(SimulatedUnit *unit, const QNetworkDatagram &datagram)
{
    record(SimDatagram::In, unit, datagram, datagram.data());
    const QHostAddress from = unit->address();
    const QByteArray reply = unit->respond(datagram.data());
    if (reply.isNull())
        return;
    QUdpSocket *socket = m_unitSockets.value(ipv4(from));
    if (!socket)
        return;
    socket->writeDatagram(reply, datagram.senderAddress(), quint16(datagram.senderPort()));
    record(SimDatagram::Out, unit, datagram, reply);
}

void UnitSimulator::record(SimDatagram::Direction direction, const SimulatedUnit *unit,
                           const QNetworkDatagram &datagram, const QByteArray &data)
{
    SimDatagram entry;
    entry.direction = direction;
    entry.elapsedMs = m_clock.elapsed();
    entry.time = QDateTime::currentDateTime();
    if (unit)
        entry.unitAddress = unit->address();
    entry.destination = datagram.destinationAddress();
    entry.peer = datagram.senderAddress();
    entry.peerPort = quint16(datagram.senderPort());
    entry.data = data;
    m_log.append(entry);
    while (m_logLimit >= 0 && m_log.size() > m_logLimit)
        m_log.removeFirst();
    if (direction == SimDatagram::In)
        emit datagramReceived(entry);
    else
        emit datagramSent(entry);
}

void UnitSimulator::moveUnit(SimulatedUnit *unit, const QHostAddress &oldAddress,
                             const QHostAddress &newAddress)
{
    if (QUdpSocket *old = m_unitSockets.take(ipv4(oldAddress))) {
        old->close();
        old->deleteLater();
    }
    releaseAddress(ipv4(oldAddress));
    m_unitsByAddress.remove(ipv4(oldAddress));
    m_twinsByAddress.remove(ipv4(oldAddress)); // left behind, silent
    if (addressesInUse().contains(ipv4(newAddress))) {
        emit unitError(unit, tr("%1: new address %2 is taken by another unit; the unit stays silent")
                                 .arg(oldAddress.toString(), newAddress.toString()));
        return;
    }
    if (!bindUnitSocket(newAddress)) {
        emit unitError(unit, m_error);
        return;
    }
    takeAddress(ipv4(newAddress));
    m_unitsByAddress.insert(ipv4(newAddress), unit);
}

void UnitSimulator::takeAddress(quint32 address)
{
    m_taken.insert(address);
    addressesInUse().insert(address);
}

void UnitSimulator::releaseAddress(quint32 address)
{
    if (m_taken.remove(address))
        addressesInUse().remove(address);
}
