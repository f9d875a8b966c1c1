#pragma once

#include "channel/commandtext.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QUdpSocket>

// A socket that stands where a unit would and records every datagram it
// receives, with the time it arrived. For suites that watch what the window
// sends without a simulated unit answering.
class DatagramCapture : public QObject
{
    Q_OBJECT

public:
    struct Datagram
    {
        QByteArray data;
        QHostAddress sender;
        quint16 senderPort = 0;
        qint64 receivedMs = 0; // since the capture started
        QHostAddress destination; // a broadcast address, or the bound one
    };

    explicit DatagramCapture(QObject *parent = nullptr);

    // Binds address:port (ShareAddress | ReuseAddressHint); false when it cannot.
    bool bind(const QHostAddress &address, quint16 port = CommandText::UnitPort);
    const QList<Datagram> &datagrams() const { return m_datagrams; }
    QList<QByteArray> payloads() const;
    void clear() { m_datagrams.clear(); }
    qint64 elapsedMs() const { return m_clock.elapsed(); }
    // Answers the last sender from the bound socket.
    void reply(const QByteArray &data);
    QUdpSocket &socket() { return m_socket; }

signals:
    void received();

private:
    void readAll();

    QUdpSocket m_socket;
    QElapsedTimer m_clock;
    QList<Datagram> m_datagrams;
};
