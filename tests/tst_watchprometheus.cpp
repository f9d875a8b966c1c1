// hvtk-watch under a real Prometheus (Debian's prometheus): simulated units
// held against their plan, the exporter started as a site would run it, and
// a Prometheus of the suite's own scraping it through the shipped
// multi-target scrape configuration. Faults are given to the units between
// two scrapes and read back through Prometheus' query API; every /probe and
// /metrics text the exporter serves goes through `promtool check metrics`.
#include "support/httpget.h"
#include "support/programrun.h"
#include "support/prometheusserver.h"
#include "support/simulatorthread.h"

#include "channel/addresstext.h"
#include "commission/identity.h"
#include "commission/planfile.h"
#include "commission/planvalidator.h"
#include "sim/simulatedunit.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include <functional>

namespace {

const QString Watch = QStringLiteral(HVTK_WATCH_PROGRAM);
const QString Prometheus = QStringLiteral(HVTK_PROMETHEUS);
const QString Promtool = QStringLiteral(HVTK_PROMTOOL);
const QString ScrapeExample = QStringLiteral(HVTK_SOURCE_DIR "/packaging/prometheus/hvtk-watch-scrape.yml");
const QString ServiceUnit = QStringLiteral(HVTK_SOURCE_DIR "/packaging/systemd/hvtk-watch.service");
const QHostAddress Workstation(QStringLiteral("192.168.0.17"));
constexpr int ScrapeSeconds = 2;

// The site: one unit per fault the suite gives, and one that stays well.
const QString Healthy = QStringLiteral("192.168.0.41");
const QString Stopped = QStringLiteral("192.168.0.42");
const QString Faulty = QStringLiteral("192.168.0.43");
const QString CoreLost = QStringLiteral("192.168.0.44");
const QString Renamed = QStringLiteral("192.168.0.45");
const QString Conflict = QStringLiteral("192.168.0.46");
const QStringList Site = {Healthy, Stopped, Faulty, CoreLost, Renamed, Conflict};

double now()
{
    return QDateTime::currentMSecsSinceEpoch() / 1000.0;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Replaces `from` in `text`; false when it is not there (the example changed).
bool substitute(QByteArray &text, const QByteArray &from, const QByteArray &to)
{
    if (!text.contains(from))
        return false;
    text.replace(from, to);
    return true;
}

// The identity a unit was commissioned with: its own control address and MAC,
// a Dante address beside it, a name, a station ID and a linked Q-SYS core.
void commission(UnitStatus &s, int index)
{
    const quint32 control = s.controlIpCurrent;
    s.controlIpStored = control;
    s.danteIp = (control & 0xFFFF00FFu) | 0x100u; // 192.168.1.x
    s.danteSubnetMask = 0xFFFFFF00u;
    s.danteGateway = (s.danteIp & 0xFFFFFF00u) | 1u;
    s.localName = QStringLiteral("Room %1").arg(index + 1);
    s.danteName = QStringLiteral("Room-%1-DND").arg(index + 1);
    s.stationId = index + 1;
    s.qsysCoreIp = 0xC0A80005u; // 192.168.0.5
    s.networkStatus |= QsysCoreLinked;
}

struct Expected
{
    const char *what;
    QString query;
    QString instance;
    double value;
};

} // namespace

class TestWatchPrometheus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void everyUnitUpAndWell();
    void faultsShowAtTheNextScrape();
    void servedTextsPassTheLinter_data();
    void servedTextsPassTheLinter();

private:
    // The value of each instance's series of an instant query.
    QMap<QString, double> valuesByInstance(const QString &query, QString *error);
    // Waits until every listed instance's series holds its value; the last
    // mismatch when it does not within `ms`.
    QString waitForValues(const QString &query, const QMap<QString, double> &expected, int ms);
    QUrl exporterUrl(const QString &pathAndQuery) const;

    SimulatorThread m_sim;
    QTemporaryDir m_folder;
    QProcess m_watch;
    int m_watchPort = 0;
    PrometheusServer m_prometheus;
    double m_faultsGivenAt = 0;
};

void TestWatchPrometheus::initTestCase()
{
    QVERIFY2(QFileInfo(Prometheus).isExecutable(), "prometheus was not found when the build was configured");
    QVERIFY2(QFileInfo(Promtool).isExecutable(), "promtool was not found when the build was configured");
    QVERIFY2(QFileInfo(Watch).isExecutable(), qPrintable(Watch));
    QVERIFY(m_folder.isValid());

    // The units, commissioned, and the plan they were commissioned from.
    QList<QStringList> rows;
    for (int i = 0; i < Site.size(); ++i) {
        QVERIFY(m_sim.addUnit(UnitConfig{QHostAddress(Site[i]), i % 2 ? "TK12X" : "HV4K", "2.09"}));
        UnitStatus status;
        QVERIFY(m_sim.withUnit(QHostAddress(Site[i]), [&](SimulatedUnit &unit) {
            unit.updateStatus([i](UnitStatus &s) { commission(s, i); });
            status = unit.status();
        }));
        const PlanFields fields = Identity::fromStatus(status).texts();
        rows << QStringList(fields.begin(), fields.end());
    }
    const QByteArray plan = PlanFile::write(PlanColumns::names(), rows);
    const PlanValidator::Checked checked =
        PlanValidator::check(PlanFile::parse(plan).rows, {Workstation.toIPv4Address()});
    QVERIFY2(checked.errors.isEmpty(), qPrintable(checked.errors.value(0).text));
    const QString planPath = m_folder.filePath(QStringLiteral("site.csv"));
    QVERIFY(writeFile(planPath, plan));

    // What Prometheus scrapes comes from the plan, as on a site.
    const ProgramRun targets = runProgram(Watch, {QStringLiteral("--targets"), planPath}, 10000);
    QVERIFY2(targets.exitCode == 0, targets.err.constData());
    const QString targetsPath = m_folder.filePath(QStringLiteral("targets.json"));
    QVERIFY(writeFile(targetsPath, targets.out));

    m_watchPort = freeLoopbackPort();
    m_watch.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_watch.start(Watch, {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(m_watchPort),
                          QStringLiteral("--plan"), planPath,
                          QStringLiteral("--log"), m_folder.filePath(QStringLiteral("faults.jsonl"))});
    QVERIFY(m_watch.waitForStarted(10000));
    QTRY_COMPARE_WITH_TIMEOUT(httpGet(exporterUrl(QStringLiteral("/metrics")), {}, 1000).status, 200, 10000);

    // The shipped scrape configuration, scraping every 2 s. It sends the
    // scrapes where the shipped service has the exporter listen.
    QFile service(ServiceUnit);
    QVERIFY(service.open(QIODevice::ReadOnly));
    const QRegularExpressionMatch listen =
        QRegularExpression(QStringLiteral("\\n\\s*ExecStart=\\S+ --listen 127\\.0\\.0\\.1:(\\d+) "))
            .match(QString::fromUtf8(service.readAll()));
    QVERIFY2(listen.hasMatch(), "no ExecStart=... --listen 127.0.0.1:PORT in the service unit");
    QFile example(ScrapeExample);
    QVERIFY(example.open(QIODevice::ReadOnly));
    QByteArray configuration = "global:\n  scrape_interval: 2s\n  scrape_timeout: 2s\n" + example.readAll();
    const QByteArray exporter = QByteArrayLiteral("127.0.0.1:") + QByteArray::number(m_watchPort);
    QVERIFY(substitute(configuration, "/etc/prometheus/hvtk-watch-targets.json", targetsPath.toUtf8()));
    QVERIFY2(substitute(configuration, "localhost:" + listen.captured(1).toUtf8(), exporter),
             "the scrape configuration does not scrape where the service listens");
    QVERIFY(substitute(configuration, "scrape_interval: 15s", "scrape_interval: 2s"));
    QVERIFY(substitute(configuration, "scrape_timeout: 10s", "scrape_timeout: 2s"));
    QString error;
    QVERIFY2(m_prometheus.start(Prometheus, configuration, &error), qPrintable(error));
}

void TestWatchPrometheus::cleanupTestCase()
{
    m_prometheus.stop();
    if (m_watch.state() == QProcess::NotRunning)
        return;
    // SIGTERM ends the exporter as done.
    m_watch.terminate();
    const bool ended = m_watch.waitForFinished(10000);
    if (!ended)
        m_watch.kill();
    QVERIFY(ended);
    QCOMPARE(m_watch.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_watch.exitCode(), 0);
}

void TestWatchPrometheus::everyUnitUpAndWell()
{
    QMap<QString, double> all;
    for (const QString &unit : Site)
        all.insert(unit, 1);
    QMap<QString, double> none;
    for (const QString &unit : Site)
        none.insert(unit, 0);

    const int firstScrapesMs = 25000; // Prometheus starts scraping some 5 s after it is ready
    QString fault = waitForValues(QStringLiteral("hvtk_up"), all, firstScrapesMs);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    for (const QString &query : {QStringLiteral("hvtk_planned"), QStringLiteral("hvtk_qsys_core_linked")}) {
        fault = waitForValues(query, all, 1);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }
    for (const QString &query : {QStringLiteral("hvtk_service_state"), QStringLiteral("hvtk_address_conflict"),
                                 QStringLiteral("sum by (instance) (hvtk_plan_drift)")}) {
        fault = waitForValues(query, none, 1);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }
    // The exporter's own job: scraped, its probes counted.
    QList<PrometheusServer::Series> series;
    QVERIFY2(m_prometheus.query(QStringLiteral("up{job=\"hvtk-watch\"}"), &series, &fault), qPrintable(fault));
    QTRY_VERIFY_WITH_TIMEOUT(m_prometheus.query(QStringLiteral("sum(hvtk_watch_probes_total) >= 6"), &series, &fault)
                                 && series.size() == 1,
                             3 * ScrapeSeconds * 1000);
    QVERIFY2(m_prometheus.query(QStringLiteral("up{job=\"hvtk-watch\"}"), &series, &fault), qPrintable(fault));
    QCOMPARE(series.size(), 1);
    QCOMPARE(series.first().samples.first().second, 1.0);
}

// Faults given between two scrapes: every scrape from the next one on shows
// them, and the unit that stays well stays ok.
void TestWatchPrometheus::faultsShowAtTheNextScrape()
{
    const double before = now();
    const bool given = m_sim.run([](UnitSimulator &sim) {
        sim.unit(QHostAddress(Stopped))->setSilent(true);
        sim.unit(QHostAddress(Faulty))->setUnitErrorCode(3);
        sim.unit(QHostAddress(CoreLost))->updateStatus([](UnitStatus &s) { s.networkStatus &= quint8(~QsysCoreLinked); });
        sim.unit(QHostAddress(Renamed))->updateStatus([](UnitStatus &s) { s.localName = QStringLiteral("Store room"); });
        return sim.addTwin(sim.unit(QHostAddress(Conflict)), UnitConfig{QHostAddress(), "HV4K", "2.09"}) != nullptr;
    });
    QVERIFY(given);
    m_faultsGivenAt = now();
    QVERIFY(m_faultsGivenAt - before < 0.5);

    const QList<Expected> table = {
        {"stopped: not up", QStringLiteral("hvtk_up"), Stopped, 0},
        {"stopped: critical", QStringLiteral("hvtk_service_state"), Stopped, 2},
        {"unit error: the condition", QStringLiteral("hvtk_condition{condition=\"UnitErrorReported\"}"), Faulty, 1},
        {"unit error: critical", QStringLiteral("hvtk_service_state"), Faulty, 2},
        {"core link lost: not linked", QStringLiteral("hvtk_qsys_core_linked"), CoreLost, 0},
        {"core link lost: critical", QStringLiteral("hvtk_service_state"), CoreLost, 2},
        {"renamed: the local name drifted", QStringLiteral("hvtk_plan_drift{field=\"localName\"}"), Renamed, 1},
        {"renamed: the station ID did not", QStringLiteral("hvtk_plan_drift{field=\"stationId\"}"), Renamed, 0},
        {"renamed: warning", QStringLiteral("hvtk_service_state"), Renamed, 1},
        {"two units at one address: conflict", QStringLiteral("hvtk_address_conflict"), Conflict, 1},
        {"two units at one address: critical", QStringLiteral("hvtk_service_state"), Conflict, 2},
        {"the well unit: up", QStringLiteral("hvtk_up"), Healthy, 1},
        {"the well unit: ok", QStringLiteral("hvtk_service_state"), Healthy, 0},
        {"the well unit: no conflict", QStringLiteral("hvtk_address_conflict"), Healthy, 0},
    };
    // The first scrape after the faults starts within one interval.
    const double firstScrapeBy = m_faultsGivenAt + ScrapeSeconds + 0.5;
    QTest::qWait(int((firstScrapeBy - now()) * 1000) + 3 * ScrapeSeconds * 1000);
    for (const Expected &row : table) {
        // Every sample of the series in the last minute, with its scrape's time.
        QString range = row.query;
        const QString instance = QStringLiteral("instance=\"%1\"").arg(row.instance);
        if (range.endsWith(QLatin1Char('}')))
            range.insert(range.size() - 1, QLatin1Char(',') + instance);
        else
            range += QLatin1Char('{') + instance + QLatin1Char('}');
        range += QLatin1String("[60s]");
        QList<PrometheusServer::Series> series;
        QString error;
        QVERIFY2(m_prometheus.query(range, &series, &error), qPrintable(error));
        QVERIFY2(series.size() == 1, row.what);
        QList<QPair<double, double>> after;
        for (const auto &sample : series.first().samples) {
            if (sample.first > m_faultsGivenAt)
                after << sample;
        }
        QVERIFY2(after.size() >= 2, row.what);
        QVERIFY2(after.first().first <= firstScrapeBy,
                 qPrintable(QStringLiteral("%1: first scrape %2 s after the faults")
                                .arg(QLatin1String(row.what))
                                .arg(after.first().first - m_faultsGivenAt)));
        for (const auto &sample : after) {
            QVERIFY2(sample.second == row.value,
                     qPrintable(QStringLiteral("%1: %2 at %3 s after the faults")
                                    .arg(QLatin1String(row.what))
                                    .arg(sample.second)
                                    .arg(sample.first - m_faultsGivenAt)));
        }
    }
    // Nothing else: the lost core link sets no condition bit the well unit
    // does not set too, the new name is the one field that drifted.
    QString error;
    const QMap<QString, double> bits = valuesByInstance(QStringLiteral("sum by (instance) (hvtk_condition)"), &error);
    QVERIFY2(bits.contains(Healthy) && bits.contains(CoreLost), qPrintable(error));
    QCOMPARE(bits.value(CoreLost), bits.value(Healthy));
    const QString fault = waitForValues(QStringLiteral("sum by (instance) (hvtk_plan_drift)"), {{Renamed, 1}, {Healthy, 0}}, 1);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
}

void TestWatchPrometheus::servedTextsPassTheLinter_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("mustHold");
    QTest::newRow("a unit with a fault") << "/probe?target=" + Faulty << QByteArray("hvtk_up 1\n");
    QTest::newRow("a drifted unit") << "/probe?target=" + Renamed << QByteArray("hvtk_plan_drift{field=\"localName\"} 1\n");
    QTest::newRow("two units at one address") << "/probe?target=" + Conflict << QByteArray("hvtk_address_conflict 1\n");
    QTest::newRow("a stopped unit") << "/probe?target=" + Stopped << QByteArray("hvtk_up 0\n");
    QTest::newRow("an address nothing answers at") << QStringLiteral("/probe?target=192.168.0.99")
                                                   << QByteArray("hvtk_planned 0\n");
    QTest::newRow("the exporter's own") << QStringLiteral("/metrics") << QByteArray("hvtk_watch_probes_total");
}

void TestWatchPrometheus::servedTextsPassTheLinter()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, mustHold);
    const HttpReply reply =
        httpGet(exporterUrl(path), {{"X-Prometheus-Scrape-Timeout-Seconds", "1.5"}}, 5000);
    QVERIFY2(reply.status == 200, qPrintable(QString::number(reply.status) + QLatin1Char(' ') + reply.error));
    QVERIFY2(reply.body.contains(mustHold), reply.body.constData());

    QProcess promtool;
    promtool.setProcessChannelMode(QProcess::MergedChannels);
    promtool.start(Promtool, {QStringLiteral("check"), QStringLiteral("metrics")});
    QVERIFY(promtool.waitForStarted(10000));
    promtool.write(reply.body);
    promtool.closeWriteChannel();
    QVERIFY(promtool.waitForFinished(30000));
    const QByteArray found = promtool.readAll();
    QVERIFY2(promtool.exitStatus() == QProcess::NormalExit && promtool.exitCode() == 0, found.constData());
    QVERIFY2(found.isEmpty(), found.constData());
}

QMap<QString, double> TestWatchPrometheus::valuesByInstance(const QString &query, QString *error)
{
    QMap<QString, double> values;
    QList<PrometheusServer::Series> series;
    if (!m_prometheus.query(query, &series, error))
        return values;
    for (const PrometheusServer::Series &one : series) {
        if (!one.samples.isEmpty())
            values.insert(one.labels.value(QStringLiteral("instance")), one.samples.first().second);
    }
    return values;
}

QString TestWatchPrometheus::waitForValues(const QString &query, const QMap<QString, double> &expected, int ms)
{
    const QDeadlineTimer deadline(ms);
    QString fault;
    do {
        QString error;
        const QMap<QString, double> values = valuesByInstance(query, &error);
        fault = error;
        for (auto value = expected.begin(); fault.isEmpty() && value != expected.end(); ++value) {
            if (!values.contains(value.key()))
                fault = QStringLiteral("%1: no series for %2").arg(query, value.key());
            else if (values.value(value.key()) != value.value())
                fault = QStringLiteral("%1: %2 for %3, expected %4")
                            .arg(query)
                            .arg(values.value(value.key()))
                            .arg(value.key())
                            .arg(value.value());
        }
        if (fault.isEmpty())
            return fault;
        QTest::qWait(200);
    } while (!deadline.hasExpired());
    return fault;
}

QUrl TestWatchPrometheus::exporterUrl(const QString &pathAndQuery) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_watchPort).arg(pathAndQuery));
}

QTEST_GUILESS_MAIN(TestWatchPrometheus)
#include "tst_watchprometheus.moc"
