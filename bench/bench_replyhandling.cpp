// Time the window takes to handle one full status reply on its unit channel:
// reading the datagram, the sender check, the header/block split, decoding,
// the condition bits, the details report and the I/O panel. Each reply
// toggles LEDs and inputs, so every reply changes what is shown. Also the
// widget-free part alone (decode and report HTML). Run inside the private LAN:
//
//   scripts/private-lan -- env QT_QPA_PLATFORM=offscreen build/bench/bench_replyhandling [REPLIES]

#include "monitor/detailsreport.h"
#include "monitor/statusdecoder.h"
#include "sim/statusencoder.h"
#include "sim/unitdefaults.h"
#include "sim/unitmodel.h"
#include "support/windowprobe.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <QUdpSocket>

#include <algorithm>

namespace {

const QHostAddress UnitAddress(QStringLiteral("192.168.0.254"));
const QHostAddress Workstation(QStringLiteral("192.168.0.17"));

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QString summary(QList<qint64> ns)
{
    std::sort(ns.begin(), ns.end());
    qint64 sum = 0;
    for (qint64 value : ns)
        sum += value;
    auto us = [](qint64 value) { return QString::number(value / 1000.0, 'f', 1); };
    return QStringLiteral("median %1 us, mean %2 us, 99th percentile %3 us, max %4 us")
        .arg(us(ns.at(ns.size() / 2)), us(sum / ns.size()), us(ns.at(ns.size() * 99 / 100)),
             us(ns.last()));
}

QList<QByteArray> replies(int count)
{
    UnitStatus state = UnitDefaults::factoryState(*UnitModels::find(QStringLiteral("HV4K")),
                                                  QStringLiteral("2.12"), UnitAddress);
    QList<QByteArray> list;
    for (int i = 0; i < count; ++i) {
        state.ledBits = {quint8(i), quint8(~i), quint8(i * 7), 0};
        state.inputBits = {quint8(~i), quint8(i), 0, quint8(i * 3)};
        state.pttState = i % 2;
        list << StatusEncoder::encode(StatusEncoder::versionText("HV4K", "2.12"), state, 256);
    }
    return list;
}

QList<qint64> windowHandling(HVTKUtilities &window, WindowProbe &probe, const QList<QByteArray> &list)
{
    QUdpSocket unitSide;
    unitSide.bind(UnitAddress);
    QUdpSocket *socket = probe.unicastSocket();
    QList<qint64> ns;
    QElapsedTimer clock;
    for (const QByteArray &reply : list) {
        unitSide.writeDatagram(reply, Workstation, 1234);
        while (!socket->hasPendingDatagrams()) {
        }
        clock.start();
        QMetaObject::invokeMethod(&window, "readPendingUnicastResponse", Qt::DirectConnection);
        ns << clock.nsecsElapsed();
        QCoreApplication::processEvents(); // the socket's own notification finds nothing left
    }
    return ns;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int count = argc > 1 ? atoi(argv[1]) : 1000;
    const QList<QByteArray> list = replies(count);

    HVTKUtilities window;
    window.show();
    WindowProbe probe(window);
    probe.pollTimer()->stop();
    probe.scanTimer()->stop();
    if (probe.ui().m_txtIP->text() != UnitAddress.toString()) {
        out() << "run me in scripts/private-lan\n";
        return 1;
    }
    windowHandling(window, probe, list.mid(0, 20)); // online, assembly adopted
    probe.pollTimer()->stop();
    out() << "full reply (256 bytes) handled by the window, " << count
          << " replies: " << summary(windowHandling(window, probe, list)) << "\n";
    probe.pollTimer()->stop();
    WindowProbe::privateModeRequested() = true;
    QMetaObject::invokeMethod(&window, "readSettingsAndData", Qt::DirectConnection);
    probe.pollTimer()->stop();
    out() << "the same in private mode: " << summary(windowHandling(window, probe, list)) << "\n";
    if (!probe.online() || !probe.privateMode())
        return 1;

    QList<qint64> ns;
    QElapsedTimer clock;
    for (const QByteArray &reply : list) {
        clock.start();
        UnitStatus status;
        StatusDecoder::decode(status, QString::fromLatin1(reply.left(10)), reply.mid(32),
                              StatusDecoder::AssemblyContext{2, false, false});
        DetailsReport::Options options;
        options.rowPrefix = QStringLiteral("<tr><td>");
        const QString html = DetailsReport::fullReport(status, options);
        ns << clock.nsecsElapsed();
        if (html.isEmpty())
            return 1;
    }
    out() << "widget-free part alone (decode and report HTML): " << summary(ns) << "\n";
    return 0;
}
