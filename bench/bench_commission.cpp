// hvtk-commission over a site of simulated units: one hvtk-unit-sim process
// runs the units, one hvtk-commission --apply run gives each a new control
// address, Dante address, names and station ID and verifies it there. Run
// inside a private LAN whose subnet holds old and new addresses, for example
//   scripts/private-lan --host 10.0.0.17/22 -- build/bench/bench_commission 250 3
// Units get the addresses after the workstation's, 10.0.0.18 onwards, and
// move 512 addresses up. The floor of a run is the units' restart time plus
// the 350 ms of spacing between the link datagrams plus one 300 ms poll.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>

#include <algorithm>

namespace {

constexpr int RestartMs = 3000;
constexpr int FloorMs = RestartMs + 350 + 300;
constexpr quint32 Move = 512;

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

double childCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

quint32 workstation()
{
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && address != QHostAddress(QHostAddress::LocalHost))
            return address.toIPv4Address();
    }
    return 0;
}

QString mac(quint32 address)
{
    return QString::asprintf("02:4B:7D:00:%02X:%02X", (address >> 8) & 0xFF, address & 0xFF);
}

// The plan that moves every unit `Move` addresses up (or back down).
QByteArray plan(const QList<quint32> &units, bool up)
{
    QByteArray text = "controlMac,controlIp,controlMask,controlGateway,localName,danteIp,danteMask,danteGateway,"
                      "danteName,qsysCoreIp,stationId\n";
    for (int i = 0; i < units.size(); ++i) {
        const quint32 now = up ? units[i] + Move : units[i];
        text += QStringLiteral("%1,%2,255.255.252.0,10.0.0.1,Room %3%4,172.16.%5.%6,255.255.0.0,0.0.0.0,"
                               "Room-%3%4,10.0.0.2,%7\n")
                    .arg(mac(units[i]), QHostAddress(now).toString())
                    .arg(i + 1)
                    .arg(up ? QString() : QStringLiteral("b"))
                    .arg((i + 10) / 250)
                    .arg((i + 10) % 250)
                    .arg(i + 1)
                    .toUtf8();
    }
    return text;
}

struct Outcome
{
    qint64 wallMs = 0;
    double cpuSeconds = 0;
    int exitCode = -1;
    int units = 0;
    int commissioned = 0;
    qint64 medianUnitMs = 0;
    qint64 slowestUnitMs = 0;
};

Outcome commission(const QStringList &arguments)
{
    Outcome outcome;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const double cpuBefore = childCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    process.start(QStringLiteral(HVTK_COMMISSION_PROGRAM), arguments);
    if (!process.waitForFinished(120000))
        return outcome;
    outcome.wallMs = wall.elapsed();
    outcome.cpuSeconds = childCpuSeconds() - cpuBefore;
    outcome.exitCode = process.exitCode();
    const QJsonArray units = QJsonDocument::fromJson(process.readAllStandardOutput()).object().value("units").toArray();
    outcome.units = units.size();
    QList<qint64> elapsed;
    for (const QJsonValue &value : units) {
        outcome.commissioned += value.toObject().value("outcome").toString() == QLatin1String("commissioned");
        elapsed << qint64(value.toObject().value("elapsedMs").toDouble());
    }
    std::sort(elapsed.begin(), elapsed.end());
    if (!elapsed.isEmpty()) {
        outcome.medianUnitMs = elapsed[elapsed.size() / 2];
        outcome.slowestUnitMs = elapsed.last();
    }
    return outcome;
}

void report(const QString &what, const Outcome &o)
{
    out() << what << ": exit " << o.exitCode << ", " << o.commissioned << " of " << o.units
          << " commissioned; wall " << o.wallMs << " ms, floor " << FloorMs << " ms, " << (o.wallMs - FloorMs)
          << " ms above it; per unit median " << o.medianUnitMs << " ms, slowest " << o.slowestUnitMs
          << " ms; CPU " << QString::number(o.cpuSeconds, 'f', 3) << " s\n";
    out().flush();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? atoi(argv[1]) : 250;
    const int runs = argc > 2 ? atoi(argv[2]) : 3;
    if (workstation() == 0 || count < 1 || count > 500) {
        out() << "run inside scripts/private-lan --host 10.0.0.17/22 with at most 500 units\n";
        return 1;
    }
    const quint32 first = workstation() + 1;

    QTemporaryDir dir;
    QFile unitsFile(dir.filePath(QStringLiteral("units.txt")));
    if (!unitsFile.open(QIODevice::WriteOnly))
        return 1;
    QList<quint32> units;
    QStringList oldAddresses;
    QStringList newAddresses;
    for (int i = 0; i < count; ++i) {
        units << first + quint32(i);
        oldAddresses << QHostAddress(units.last()).toString();
        newAddresses << QHostAddress(units.last() + Move).toString();
        unitsFile.write(QStringLiteral("%1:%2 restart=%3\n")
                            .arg(oldAddresses.last(), i % 2 ? QStringLiteral("TK12X:2.12") : QStringLiteral("HV4K:2.09"))
                            .arg(RestartMs)
                            .toUtf8());
    }
    unitsFile.close();
    for (const bool up : {true, false}) {
        QFile planFile(dir.filePath(up ? QStringLiteral("up.csv") : QStringLiteral("down.csv")));
        if (!planFile.open(QIODevice::WriteOnly))
            return 1;
        planFile.write(plan(units, up));
    }

    QProcess simulator;
    simulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    simulator.start(QStringLiteral(HVTK_UNIT_SIM), {QStringLiteral("--units"), unitsFile.fileName()});
    int started = 0;
    QElapsedTimer wait;
    wait.start();
    while (started < count && wait.elapsed() < 30000 && simulator.waitForReadyRead(1000)) {
        while (simulator.canReadLine())
            started += simulator.readLine().startsWith("unit ");
    }
    if (started < count) {
        out() << "the simulator started " << started << " of " << count << " units\n";
        return 1;
    }
    out() << count << " simulated units (HV4K and TK12X, restart " << RestartMs << " ms), " << oldAddresses.first()
          << " to " << oldAddresses.last() << "\n";

    // Up and back down again, so that every run moves every unit.
    bool allGood = true;
    for (int run = 1; run <= runs; ++run) {
        const bool up = run % 2 == 1;
        const Outcome outcome = commission(QStringList{QStringLiteral("--apply"), QStringLiteral("--json"),
                                                       dir.filePath(up ? QStringLiteral("up.csv")
                                                                       : QStringLiteral("down.csv"))}
                                           + (up ? oldAddresses : newAddresses));
        report(QStringLiteral("run %1, %2 units %3").arg(run).arg(count).arg(up ? "moved up" : "moved back"), outcome);
        allGood = allGood && outcome.exitCode == 0 && outcome.commissioned == count;
    }
    simulator.kill();
    simulator.waitForFinished();
    return allGood ? 0 : 1;
}
