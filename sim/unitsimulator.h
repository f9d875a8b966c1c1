#pragma once

#include "channel/commandtext.h"
#include "sim/simulatedunit.h"
#include "sim/unitconfig.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSet>
#include <QUdpSocket>

class QNetworkDatagram;

// One datagram in or out of the simulator, for the log and for tests.
struct SimDatagram
{
    enum Direction { In, Out };
    Direction direction = In;
    qint64 elapsedMs = 0;       // since the simulator started
    QDateTime time;             // wall clock
    QHostAddress unitAddress;   // the unit that received or sent it; null: for no unit (ignored)
    QHostAddress destination;   // In: where it was sent to (a unit or a broadcast address)
    QHostAddress peer;          // the workstation side
    quint16 peerPort = 0;
    QByteArray data;
};

// Runs simulated units on UDP port 2638. Each unit answers from its own
// address, to the address and port the request came from. Broadcasts reach
// every unit whose subnet they address (255.255.255.255 reaches all). Traffic
// for any other address is ignored. Several units share one process; each
// address needs to be local (inside the private LAN every 192.168.0.x is).
class UnitSimulator : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 UnitPort = CommandText::UnitPort;

    explicit UnitSimulator(QObject *parent = nullptr);
    ~UnitSimulator() override;

    // Starts a unit; nullptr (and errorString()) when the model is unknown,
    // the address is not IPv4, already taken (by a unit of any simulator of
    // this process), or cannot be bound.
    SimulatedUnit *addUnit(const UnitConfig &config);
    // Starts a second unit at `unit`'s address (`config.address` is not
    // used), as when two units were given one address: it hears every
    // datagram `unit` hears and answers after it, from the same address, with
    // a state of its own. Its MACs differ from `unit`'s in their fifth byte
    // (bit 7 flipped), so its control MAC is another one in the vendor range
    // (setControlMac() gives it any other). When `unit` moves to a new
    // address by a manual link, its twins stay behind, silent; a twin linked
    // to a new address falls silent too. Removing `unit` removes its twins.
    // nullptr (and errorString()) when `unit` is not a first unit of this
    // simulator or the model is unknown.
    SimulatedUnit *addTwin(SimulatedUnit *unit, const UnitConfig &config);
    void removeUnit(SimulatedUnit *unit);
    QString errorString() const { return m_error; }

    QList<SimulatedUnit *> units() const { return m_units; }
    SimulatedUnit *unit(const QHostAddress &address) const;

    // The most recent datagrams in and out, oldest first; at most logLimit()
    // of them (default 20000; -1: no limit), so a long demo does not grow.
    const QList<SimDatagram> &log() const { return m_log; }
    void clearLog() { m_log.clear(); }
    int logLimit() const { return m_logLimit; }
    void setLogLimit(int entries) { m_logLimit = entries; }
    // Datagrams of the log that went in to / out of one unit.
    QList<QByteArray> received(const SimulatedUnit *unit) const;
    QList<QByteArray> sent(const SimulatedUnit *unit) const;

signals:
    void datagramReceived(const SimDatagram &datagram);
    void datagramSent(const SimDatagram &datagram);
    // A unit could not take its new address after a manual link.
    void unitError(SimulatedUnit *unit, const QString &message);

private:
    bool ensureBroadcastSocket();
    QUdpSocket *bindUnitSocket(const QHostAddress &address);
    void readUnitSocket(QUdpSocket *socket, quint32 address);
    void readBroadcastSocket();
    void deliver(SimulatedUnit *unit, const QNetworkDatagram &datagram);
    void record(SimDatagram::Direction direction, const SimulatedUnit *unit,
                const QNetworkDatagram &datagram, const QByteArray &data);
    void moveUnit(SimulatedUnit *unit, const QHostAddress &oldAddress, const QHostAddress &newAddress);
    void takeAddress(quint32 address);
    void releaseAddress(quint32 address);
    bool reachesUnit(const QHostAddress &destination, const SimulatedUnit *unit) const;

    QList<SimulatedUnit *> m_units;
    QHash<quint32, QUdpSocket *> m_unitSockets; // by IPv4 address
    QHash<quint32, SimulatedUnit *> m_unitsByAddress; // units that answer there
    QHash<quint32, QList<SimulatedUnit *>> m_twinsByAddress; // answer there after that unit
    QSet<quint32> m_taken; // addresses of this simulator's units, also held process-wide
    QUdpSocket *m_broadcastSocket = nullptr;
    QList<SimDatagram> m_log;
    int m_logLimit = 20000;
    QElapsedTimer m_clock;
    QString m_error;
};
