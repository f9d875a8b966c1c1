// How fast a status reply is taken in: the widget-free decoding alone, and
// one reply's whole handling in the window (datagram read, decoded, details
// report and I/O panel updated, optionally painted).
//
//   scripts/private-lan -- build/bench/bench_decoder [iterations]
//
// Run it inside the private LAN: the window binds its sockets and the
// simulated unit sends from 192.168.0.254.
#include "channel/commandtext.h"
#include "channel/replyframing.h"
#include "monitor/statusdecoder.h"
#include "sim/statusencoder.h"
#include "sim/unitdefaults.h"
#include "sim/unitmodel.h"
#include "support/windowprobe.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <QUdpSocket>

namespace {

const QHostAddress Workstation("192.168.0.17");
const QHostAddress Unit("192.168.0.254");
constexpr quint16 UnicastPort = 1234;

// Two replies that differ in their live state, so every handling repaints.
QList<QByteArray> liveReplies()
{
    UnitStatus state = UnitDefaults::factoryState(*UnitModels::find(QStringLiteral("HV32K")),
                                                  QStringLiteral("2.12"), Unit);
    QList<QByteArray> replies;
    for (quint8 bits : {quint8(0x55), quint8(0xAA)}) {
        state.inputBits.fill(bits);
        state.ledBits.fill(quint8(~bits));
        replies << StatusEncoder::encode("HV32K v2.12\r", state, StatusLayout::FeatureReplySize);
    }
    return replies;
}

void report(QTextStream &out, const char *what, int count, qint64 nanoseconds)
{
    const double perReplyUs = double(nanoseconds) / count / 1000.0;
    out << what << ": " << count << " replies, " << QString::number(perReplyUs, 'f', 2) << " us each, "
        << QString::number(1e6 / perReplyUs, 'f', 0) << " replies/s\n";
    out.flush();
}

void benchDecoder(QTextStream &out, const QList<QByteArray> &replies, int iterations)
{
    const StatusDecoder::AssemblyContext assembly{6, false, true};
    UnitStatus status;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < iterations; ++i) {
        const ReplyFraming::Reply reply = ReplyFraming::split(replies[i % 2]);
        StatusDecoder::decode(status, ReplyFraming::withoutLineBreaks(reply.header), reply.block, assembly);
    }
    report(out, "decoder (split + decode)", iterations, clock.nsecsElapsed());
    if (status.modelToken != QLatin1String("HV32K"))
        out << "unexpected decode result\n";
}

// Every call handles one pending datagram, as the socket's readyRead would.
void benchWindow(QTextStream &out, const QList<QByteArray> &replies, int iterations, bool paint)
{
    HVTKUtilities window;
    WindowProbe probe(window);
    window.show();
    probe.pollTimer()->stop();
    probe.scanTimer()->stop();
    probe.checklistTimer()->stop();
    QObject::disconnect(probe.unicastSocket(), nullptr, &window, nullptr);
    QUdpSocket unit;
    if (!unit.bind(Unit, CommandText::UnitPort)) {
        out << "cannot bind " << Unit.toString() << ": run inside scripts/private-lan\n";
        return;
    }

    qint64 handling = 0;
    QElapsedTimer clock;
    for (int i = 0; i < iterations; ++i) {
        unit.writeDatagram(replies[i % 2], Workstation, UnicastPort);
        while (!probe.unicastSocket()->hasPendingDatagrams())
            probe.unicastSocket()->waitForReadyRead(100);
        clock.start();
        QMetaObject::invokeMethod(&window, "readPendingUnicastResponse", Qt::DirectConnection);
        if (paint)
            window.repaint();
        handling += clock.nsecsElapsed();
    }
    report(out, paint ? "window (read, decode, report, panel, paint)" : "window (read, decode, report, panel)",
           iterations, handling);
    if (!probe.online() || probe.status().modelToken != QLatin1String("HV32K"))
        out << "the window did not take the replies\n";
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int iterations = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 2000;
    QTextStream out(stdout);
    const QList<QByteArray> replies = liveReplies();
    benchDecoder(out, replies, iterations * 50);
    benchWindow(out, replies, iterations, false);
    benchWindow(out, replies, iterations / 10, true);
    return 0;
}
