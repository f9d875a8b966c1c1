// hvtk-watch against simulated units, through the built program: the check's
// line and exit status for every service state, and that it only asks; the
// exporter's answers to requests it must refuse (4xx, not one datagram) and
// its probe within the scrape's time; the fault log over faults set and
// cleared, and across a restart; the plan read again on SIGHUP.
#include "support/programrun.h"
#include "support/simulatorthread.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

const QString Program = QStringLiteral(HVTK_WATCH_PROGRAM);
const QString Commission = QStringLiteral(HVTK_COMMISSION_PROGRAM);
const QHostAddress Unit(QStringLiteral("192.168.0.21"));
constexpr quint16 Port = 9868;

// One line, the state, " - ", what; performance data after "|" as
// 'label'=value[unit];[warn];[crit];[min];[max], separated by spaces.
const QRegularExpression CheckGrammar(
    QStringLiteral("^HVTK (OK|WARNING|CRITICAL|UNKNOWN) - [^|\\n]+"
                   "(\\|'[^'=]+'=[-0-9.]+(s|c|%|B)?(;[-0-9.]*){0,4}( '[^'=]+'=[-0-9.]+(s|c|%|B)?(;[-0-9.]*){0,4})*)?\\n$"));

struct HttpAnswer
{
    int status = 0;
    QByteArray body;
};

HttpAnswer get(const QString &path, const QList<QPair<QByteArray, QByteArray>> &headers = {})
{
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(Port).arg(path)));
    for (const auto &header : headers)
        request.setRawHeader(header.first, header.second);
    QNetworkReply *reply = manager.get(request);
    QSignalSpy done(reply, &QNetworkReply::finished);
    done.wait(15000);
    HttpAnswer answer{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll()};
    delete reply;
    return answer;
}

// The value of one sample ("hvtk_up", "hvtk_plan_drift{field=\"localName\"}") in an exposition text; NaN without it.
double sample(const QByteArray &text, const QByteArray &series)
{
    for (const QByteArray &line : text.split('\n')) {
        if (line.startsWith(series + ' '))
            return line.mid(series.size() + 1).toDouble();
    }
    return qQNaN();
}

QList<QJsonObject> logLines(const QString &path)
{
    QFile file(path);
    QList<QJsonObject> lines;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (!line.isEmpty())
                lines << QJsonDocument::fromJson(line).object();
        }
    }
    return lines;
}

} // namespace

using UnitChange = std::function<void(SimulatedUnit &)>;
Q_DECLARE_METATYPE(UnitChange)

class TestWatch : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void checkStates_data();
    void checkStates();
    void refusedRequests_data();
    void refusedRequests();
    void probeWithinScrapeTime();
    void faultLogFollowsChanges();
    void planReadAgainOnHangup();

private:
    bool startExporter(const QStringList &arguments);
    void stopExporter();

    std::unique_ptr<SimulatorThread> m_sim;
    QTemporaryDir m_dir;
    QProcess m_exporter;
};

void TestWatch::init()
{
    m_sim = std::make_unique<SimulatorThread>();
    QVERIFY(m_sim->addUnit({Unit, QStringLiteral("TK12X"), QStringLiteral("2.12")}));
    QVERIFY(m_dir.isValid());
}

void TestWatch::cleanup()
{
    stopExporter();
    m_sim.reset();
}

bool TestWatch::startExporter(const QStringList &arguments)
{
    m_exporter.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    m_exporter.start(Program, QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(Port)} + arguments);
    if (!m_exporter.waitForStarted())
        return false;
    // Listening once a connection is taken.
    for (int attempt = 0; attempt < 100; ++attempt) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, Port);
        if (socket.waitForConnected(100))
            return true;
        QTest::qWait(50);
    }
    return false;
}

void TestWatch::stopExporter()
{
    if (m_exporter.state() == QProcess::NotRunning)
        return;
    m_exporter.terminate();
    QVERIFY(m_exporter.waitForFinished(20000));
    QCOMPARE(m_exporter.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_exporter.exitCode(), 0);
}

void TestWatch::checkStates_data()
{
    QTest::addColumn<UnitChange>("change");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("begins");

    const UnitChange none = [](SimulatedUnit &) {};
    const QStringList host{QStringLiteral("--check"), QStringLiteral("-H"), Unit.toString(), QStringLiteral("-t"), QStringLiteral("2")};
    QTest::newRow("ok") << none << host << 0 << "HVTK OK - ";
    QTest::newRow("production conditions are reported, not alarmed on")
        << UnitChange([](SimulatedUnit &u) { u.setDipSwitch(2, true); u.setLedIntensity(40); }) << host << 0 << "HVTK OK - ";
    QTest::newRow("truncated reply") << UnitChange([](SimulatedUnit &u) { u.setStatusReplyLength(240); })
                                     << host << 1 << "HVTK WARNING - DataTruncated";
    QTest::newRow("unit error") << UnitChange([](SimulatedUnit &u) { u.setUnitErrorCode(7); })
                                << host << 2 << "HVTK CRITICAL - UnitErrorReported";
    QTest::newRow("two critical conditions") << UnitChange([](SimulatedUnit &u) {
        u.setUnitErrorCode(7);
        u.setUltimoBusRequiredOffline();
    }) << host << 2 << "HVTK CRITICAL - UnitErrorReported, UltimoBusRequiredOffline";
    QTest::newRow("core set, not linked") << UnitChange([](SimulatedUnit &u) {
        u.updateStatus([](UnitStatus &s) { s.qsysCoreIp = QHostAddress(QStringLiteral("192.168.0.200")).toIPv4Address(); });
    }) << host << 2 << "HVTK CRITICAL - QsysCoreNotLinked";
    QTest::newRow("silent") << UnitChange([](SimulatedUnit &u) { u.setSilent(true); }) << host << 2
                            << "HVTK CRITICAL - NoAnswer";
    QTest::newRow("usage error") << none << QStringList{QStringLiteral("--check"), QStringLiteral("-H"), QStringLiteral("192.168.21")}
                                 << 3 << "HVTK UNKNOWN - ";
    QTest::newRow("timeout out of range")
        << none << QStringList{QStringLiteral("--check"), QStringLiteral("-H"), Unit.toString(), QStringLiteral("-t"), QStringLiteral("0")}
        << 3 << "HVTK UNKNOWN - ";
}

void TestWatch::checkStates()
{
    QFETCH(UnitChange, change);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, begins);

    QVERIFY(m_sim->withUnit(Unit, change));
    m_sim->clearLog();
    const ProgramRun run = runProgram(Program, arguments, 20000);
    const QString out = QString::fromUtf8(run.out);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(out.startsWith(begins), qPrintable(out));
    QVERIFY2(CheckGrammar.match(out).hasMatch(), qPrintable(out));
    // It only asks: the status request, or the version query.
    for (const SimulatorThread::Arrival &arrival : m_sim->arrivals())
        QVERIFY2(arrival.data == "GSHV\r" || arrival.data == "?V\r", arrival.data.constData());
}

void TestWatch::refusedRequests_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");

    QTest::newRow("no target") << "/probe" << 400;
    QTest::newRow("empty target") << "/probe?target=" << 400;
    QTest::newRow("three parts") << "/probe?target=192.168.21" << 400;
    QTest::newRow("a name") << "/probe?target=unit.example" << 400;
    QTest::newRow("with a port") << "/probe?target=192.168.0.21:2638" << 400;
    QTest::newRow("two targets") << "/probe?target=192.168.0.21&target=192.168.0.22" << 400;
    QTest::newRow("multicast") << "/probe?target=224.0.0.1" << 400;
    QTest::newRow("limited broadcast") << "/probe?target=255.255.255.255" << 400;
    QTest::newRow("this subnet's broadcast") << "/probe?target=192.168.0.255" << 400;
    QTest::newRow("zero") << "/probe?target=0.0.0.0" << 400;
    QTest::newRow("unknown path") << "/probes?target=192.168.0.21" << 404;
    // A valid target, but a request line over the limit: refused by the server.
    QTest::newRow("oversized") << "/probe?target=192.168.0.21&pad=" + QString(9000, QLatin1Char('x')) << 400;
}

void TestWatch::refusedRequests()
{
    QFETCH(QString, path);
    QFETCH(int, status);

    QVERIFY(startExporter({}));
    m_sim->clearLog();
    const HttpAnswer answer = get(path);
    QCOMPARE(answer.status, status);
    QVERIFY2(answer.body.count('\n') <= 1, answer.body.constData());
    QVERIFY2(m_sim->arrivals().isEmpty(), "a refused request reached a unit");
}

void TestWatch::probeWithinScrapeTime()
{
    QVERIFY(startExporter({}));
    HttpAnswer answer = get(QStringLiteral("/probe?target=%1").arg(Unit.toString()));
    QCOMPARE(answer.status, 200);
    QCOMPARE(sample(answer.body, "hvtk_up"), 1.0);
    QCOMPARE(sample(answer.body, "hvtk_service_state"), 0.0);

    // A silent unit is given the scrape's time less half a second.
    QVERIFY(m_sim->withUnit(Unit, [](SimulatedUnit &u) { u.setSilent(true); }));
    QElapsedTimer clock;
    clock.start();
    answer = get(QStringLiteral("/probe?target=%1").arg(Unit.toString()),
                 {{"X-Prometheus-Scrape-Timeout-Seconds", "1.5"}});
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(answer.status, 200);
    QCOMPARE(sample(answer.body, "hvtk_up"), 0.0);
    QCOMPARE(sample(answer.body, "hvtk_service_state"), 2.0);
    const double duration = sample(answer.body, "hvtk_probe_duration_seconds");
    QVERIFY2(duration >= 0.99 && duration < 1.3, qPrintable(QString::number(duration)));
    QVERIFY2(elapsed < 1500, qPrintable(QString::number(elapsed)));
}

void TestWatch::faultLogFollowsChanges()
{
    const QString log = m_dir.filePath(QStringLiteral("faults.jsonl"));
    QVERIFY(startExporter({QStringLiteral("--log"), log}));
    const QString probe = QStringLiteral("/probe?target=%1").arg(Unit.toString());
    const QList<UnitChange> steps{
        [](SimulatedUnit &) {},
        [](SimulatedUnit &u) { u.setUnitErrorCode(7); },
        [](SimulatedUnit &) {},
        [](SimulatedUnit &u) { u.setUltimoBusRequiredOffline(); },
        [](SimulatedUnit &u) {
            u.setUnitErrorCode(0);
            u.updateStatus([](UnitStatus &s) { s.ultimoBusOnline = true; });
        },
        [](SimulatedUnit &) {},
    };
    for (const auto &step : steps) {
        QVERIFY(m_sim->withUnit(Unit, step));
        const HttpAnswer answer = get(probe);
        QVERIFY2(answer.status == 200, answer.body.constData());
    }
    QList<QJsonObject> lines = logLines(log);
    // The first probe is ok: no line. Then the error, the second condition, the clearing.
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0].value(QStringLiteral("before"))[QStringLiteral("state")].toString(), QStringLiteral("ok"));
    QCOMPARE(lines[0].value(QStringLiteral("now"))[QStringLiteral("state")].toString(), QStringLiteral("critical"));
    QCOMPARE(lines[1].value(QStringLiteral("now"))[QStringLiteral("conditions")].toArray().size(), 2);
    QCOMPARE(lines[2].value(QStringLiteral("before"))[QStringLiteral("state")].toString(), QStringLiteral("critical"));
    QCOMPARE(lines[2].value(QStringLiteral("now"))[QStringLiteral("state")].toString(), QStringLiteral("ok"));

    // A restarted exporter goes on from the log: an unchanged unit writes nothing.
    stopExporter();
    QVERIFY(startExporter({QStringLiteral("--log"), log}));
    QCOMPARE(get(probe).status, 200);
    QCOMPARE(logLines(log).size(), 3);
    QVERIFY(m_sim->withUnit(Unit, [](SimulatedUnit &u) { u.setSilent(true); }));
    QCOMPARE(get(probe, {{"X-Prometheus-Scrape-Timeout-Seconds", "1"}}).status, 200);
    lines = logLines(log);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[3].value(QStringLiteral("now"))[QStringLiteral("conditions")].toArray().first().toString(),
             QStringLiteral("NoAnswer"));
}

void TestWatch::planReadAgainOnHangup()
{
    // The plan the site was commissioned from: hvtk-commission's template of it.
    const ProgramRun made = runProgram(Commission, {QStringLiteral("--template"), Unit.toString()}, 20000);
    QCOMPARE(made.exitCode, 0);
    const QString plan = m_dir.filePath(QStringLiteral("site.csv"));
    auto writePlan = [&](const QByteArray &text) {
        QFile file(plan);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    };
    writePlan(made.out);
    QVERIFY(startExporter({QStringLiteral("--plan"), plan}));
    const QString probe = QStringLiteral("/probe?target=%1").arg(Unit.toString());
    HttpAnswer answer = get(probe);
    QCOMPARE(sample(answer.body, "hvtk_planned"), 1.0);
    QCOMPARE(sample(answer.body, "hvtk_plan_drift{field=\"localName\"}"), 0.0);
    QCOMPARE(sample(answer.body, "hvtk_service_state"), 0.0);

    // The plan renames the unit: read again on SIGHUP, the unit has drifted.
    const QByteArray localName = made.out.split('\n').value(1).split(',').value(4);
    QVERIFY(!localName.isEmpty());
    writePlan(QByteArray(made.out).replace(localName, "Lobby"));
    ::kill(pid_t(m_exporter.processId()), SIGHUP);
    QTRY_COMPARE_WITH_TIMEOUT(sample(get(probe).body, "hvtk_plan_drift{field=\"localName\"}"), 1.0, 5000);
    answer = get(probe);
    QCOMPARE(sample(answer.body, "hvtk_service_state"), 1.0);

    // A plan with errors keeps the one read before.
    writePlan(made.out.split('\n').front() + "\nnot,a,plan\n");
    ::kill(pid_t(m_exporter.processId()), SIGHUP);
    QTest::qWait(500);
    QCOMPARE(sample(get(probe).body, "hvtk_plan_drift{field=\"localName\"}"), 1.0);
    // Another address is not in the plan.
    QVERIFY(m_sim->addUnit({QHostAddress(QStringLiteral("192.168.0.22")), QStringLiteral("HV4K"), QStringLiteral("2.09")}));
    QCOMPARE(sample(get(QStringLiteral("/probe?target=192.168.0.22")).body, "hvtk_planned"), 0.0);
}

QTEST_GUILESS_MAIN(TestWatch)
#include "tst_watch.moc"
