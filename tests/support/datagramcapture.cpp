#include "support/datagramcapture.h"

#include <QNetworkDatagram>

DatagramCapture::DatagramCapture(QObject *parent)
    : QObject(parent)
{
    m_clock.start();
    connect(&m_socket, &QUdpSocket::readyRead, this, &DatagramCapture::readAll);
}

bool DatagramCapture::bind(const QHostAddress &address, quint16 port)
{
    return m_socket.bind(address, port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
}

QList<QByteArray> DatagramCapture::payloads() const
{
    QList<QByteArray> result;
    for (const Datagram &datagram : m_datagrams)
        result << datagram.data;
    return result;
}

void DatagramCapture::reply(const QByteArray &data)
{
    if (m_datagrams.isEmpty())
        return;
    const Datagram &last = m_datagrams.constLast();
    m_socket.writeDatagram(data, last.sender, last.senderPort);
}

void DatagramCapture::readAll()
{
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram();
        m_datagrams.append({datagram.data(), datagram.senderAddress(),
                            quint16(datagram.senderPort()), m_clock.elapsed(), datagram.destinationAddress()});
    }
    emit received();
}
