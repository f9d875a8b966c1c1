// How fast a simulated unit answers: sequential status requests from one
// workstation socket to one unit, and broadcast version queries answered by
// many units of one simulator.
//
//   scripts/private-lan -- build/bench/bench_simulator [--requests 5000] [--units 200]
//
// Prints the round-trip time of "GSHV\r" (mean, median, 99th percentile,
// maximum) and the time from a broadcast "?V\r" until every unit's answer is in.

#include "sim/unitsimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

bool waitForDatagrams(QUdpSocket &socket, int count, int timeoutMs, std::vector<qint64> *arrivalsNs,
                      const QElapsedTimer &clock)
{
    int received = 0;
    QElapsedTimer limit;
    limit.start();
    while (received < count && limit.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        while (socket.hasPendingDatagrams()) {
            socket.receiveDatagram();
            ++received;
            if (arrivalsNs)
                arrivalsNs->push_back(clock.nsecsElapsed());
        }
    }
    return received == count;
}

void printTimes(const char *what, std::vector<double> micros)
{
    std::sort(micros.begin(), micros.end());
    double sum = 0;
    for (double m : micros)
        sum += m;
    std::printf("%-28s n=%zu  mean %.1f us  median %.1f us  p99 %.1f us  max %.1f us\n", what,
                micros.size(), sum / double(micros.size()), micros[micros.size() / 2],
                micros[micros.size() * 99 / 100], micros.back());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption requestsOption("requests", "Status requests to time.", "N", "5000");
    const QCommandLineOption unitsOption("units", "Units answering the broadcast.", "N", "200");
    parser.addOptions({requestsOption, unitsOption});
    parser.process(app);
    const int requests = std::max(1, parser.value(requestsOption).toInt());
    const int unitCount = std::clamp(parser.value(unitsOption).toInt(), 1, 250);

    UnitSimulator simulator;
    simulator.setLogLimit(0);
    for (int i = 1; i <= unitCount + 1; ++i) {
        if (i == 17)
            continue; // the workstation
        if (!simulator.addUnit(UnitConfig{QHostAddress(QStringLiteral("192.168.0.%1").arg(i)), "HV4K", "2.09"})) {
            std::fprintf(stderr, "%s\n", qPrintable(simulator.errorString()));
            return 1;
        }
    }
    QUdpSocket station;
    if (!station.bind(QHostAddress("192.168.0.17"), 0)) {
        std::fprintf(stderr, "cannot bind 192.168.0.17 (run inside scripts/private-lan)\n");
        return 1;
    }

    QElapsedTimer clock;
    clock.start();
    std::vector<double> roundTrips;
    const QHostAddress unit("192.168.0.1");
    for (int i = 0; i < requests; ++i) {
        const qint64 sent = clock.nsecsElapsed();
        station.writeDatagram("GSHV\r", unit, UnitSimulator::UnitPort);
        if (!waitForDatagrams(station, 1, 1000, nullptr, clock)) {
            std::fprintf(stderr, "no answer to request %d\n", i);
            return 1;
        }
        roundTrips.push_back(double(clock.nsecsElapsed() - sent) / 1000.0);
    }
    printTimes("GSHV round trip", roundTrips);

    const int units = simulator.units().size();
    std::vector<double> lastAnswers;
    for (int round = 0; round < 20; ++round) {
        std::vector<qint64> arrivals;
        const qint64 sent = clock.nsecsElapsed();
        station.writeDatagram("?V\r", QHostAddress("192.168.0.255"), UnitSimulator::UnitPort);
        if (!waitForDatagrams(station, units, 3000, &arrivals, clock)) {
            std::fprintf(stderr, "broadcast %d: %zu of %d units answered\n", round, arrivals.size(), units);
            return 1;
        }
        lastAnswers.push_back(double(arrivals.back() - sent) / 1000.0);
    }
    printTimes(qPrintable(QStringLiteral("?V broadcast, %1 units").arg(units)), lastAnswers);
    return 0;
}
