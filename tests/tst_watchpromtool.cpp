// What hvtk-watch gives Prometheus, read by Prometheus' own promtool
// (Debian's prometheus): the scrape configuration with a targets file made
// from a plan, the alert rules and their rule tests, and the /probe and
// /metrics texts of crafted probes, which `promtool check metrics` must find
// nothing in.
#include "commission/planfile.h"
#include "commission/planvalidator.h"
#include "watch/probemetrics.h"
#include "watch/scrapetargets.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString Promtool = QStringLiteral(HVTK_PROMTOOL);
const QString Configuration = QStringLiteral(HVTK_SOURCE_DIR "/packaging/prometheus");
const QString InstalledTargets = QStringLiteral("/etc/prometheus/hvtk-watch-targets.json");

struct Run
{
    int exitCode = -1;
    QByteArray output; // standard output and error
};

Run promtool(const QStringList &arguments, const QByteArray &input = QByteArray(), const QString &directory = {})
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(directory);
    process.start(Promtool, arguments);
    if (!process.waitForStarted(10000))
        return {};
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAll()};
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ProbeResult answered()
{
    ProbeResult probe;
    probe.target = QStringLiteral("10.0.0.11");
    probe.answered = probe.statusRead = true;
    UnitStatus &s = probe.status;
    s.modelToken = QStringLiteral("HV32K");
    s.firmwareVersionCode = 209;
    s.controlMacText = QStringLiteral("02:4B:7D:00:01:00");
    s.danteMacText = QStringLiteral("02:4B:7D:80:01:00");
    s.localName = QStringLiteral("Lobby");
    s.danteName = QStringLiteral("Lobby-DND");
    s.qsysCoreIp = 0x0A000005;
    s.networkStatus = QsysCoreLinked;
    s.powerCycleCount = 4000000000u;
    probe.durationSeconds = 0.3;
    return probe;
}

} // namespace

Q_DECLARE_METATYPE(ProbeResult)

class TestWatchPromtool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void scrapeConfigurationTakesThePlansTargets();
    void alertRulesPassTheirTests();
    void probeTextPassesTheLinter_data();
    void probeTextPassesTheLinter();
    void exporterTextPassesTheLinter();
};

void TestWatchPromtool::initTestCase()
{
    QVERIFY2(QFileInfo(Promtool).isExecutable(), "promtool was not found when the build was configured");
}

void TestWatchPromtool::scrapeConfigurationTakesThePlansTargets()
{
    // The example as shipped, its targets file in a folder of the test's.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QByteArray scrape = readFile(Configuration + QStringLiteral("/hvtk-watch-scrape.yml"));
    QVERIFY(scrape.contains(InstalledTargets.toUtf8()));
    const QString targets = dir.filePath(QStringLiteral("targets.json"));
    scrape.replace(InstalledTargets.toUtf8(), targets.toUtf8());
    const QString config = dir.filePath(QStringLiteral("prometheus.yml"));
    QVERIFY(writeFile(config, scrape));

    const QByteArray plan = PlanFile::write(
        PlanColumns::names(),
        {{"02:4B:7D:00:01:00", "10.0.0.11", "255.255.255.0", "10.0.0.1", "Lobby \"east\" \\ 1", "10.0.1.11",
          "255.255.255.0", "10.0.1.1", "Lobby-DND", "10.0.0.5", "11"},
         {"02:4B:7D:00:01:01", "10.0.0.12", "255.255.255.0", "10.0.0.1", "Stairs, level 2", "10.0.1.12",
          "255.255.255.0", "10.0.1.1", "Stairs-DND", "10.0.0.5", "12"}});
    const PlanValidator::Checked checked = PlanValidator::check(PlanFile::parse(plan).rows, {});
    QVERIFY(checked.errors.isEmpty());
    QCOMPARE(checked.units.size(), 2);
    QVERIFY(writeFile(targets, ScrapeTargets::fileSdDocument(checked.units)));

    const Run run = promtool({QStringLiteral("check"), QStringLiteral("config"), config});
    QVERIFY2(run.exitCode == 0, run.output.constData());
    QVERIFY2(!run.output.contains("WARNING"), run.output.constData());

    // The check reads the targets file: one it would refuse fails it.
    QVERIFY(writeFile(targets, R"([{"targets": ["10.0.0.11"], "labels": {"local name": "Lobby"}}])"));
    QCOMPARE(promtool({QStringLiteral("check"), QStringLiteral("config"), config}).exitCode, 1);
}

void TestWatchPromtool::alertRulesPassTheirTests()
{
    const Run check = promtool({QStringLiteral("check"), QStringLiteral("rules"), QStringLiteral("hvtk-watch-alerts.yml")},
                               {}, Configuration);
    QVERIFY2(check.exitCode == 0, check.output.constData());
    QVERIFY2(check.output.contains("SUCCESS: 6 rules found"), check.output.constData());
    const Run test = promtool({QStringLiteral("test"), QStringLiteral("rules"), QStringLiteral("hvtk-watch-alerts-test.yml")},
                              {}, Configuration);
    QVERIFY2(test.exitCode == 0, test.output.constData());
}

void TestWatchPromtool::probeTextPassesTheLinter_data()
{
    QTest::addColumn<ProbeResult>("probe");

    ProbeResult silent;
    silent.target = QStringLiteral("10.0.0.11");
    silent.durationSeconds = 9.5;
    QTest::newRow("no answer") << silent;
    ProbeResult silentPlanned = silent;
    silentPlanned.planGiven = true;
    QTest::newRow("no answer, planned") << silentPlanned;
    QTest::newRow("answered") << answered();

    ProbeResult everything = answered();
    everything.status.conditionFlags = 0xFFFF;
    everything.status.networkStatus = 0;
    everything.status.localName = QStringLiteral("Hall \"A\"\\east\nwing, Zürich");
    everything.status.danteName = QStringLiteral("\\\"\n");
    everything.addressConflict = true;
    everything.planGiven = everything.planned = true;
    everything.driftedFields = PlanColumns::names();
    everything.durationSeconds = 1e-7;
    QTest::newRow("every condition, escaped names, drifted") << everything;

    ProbeResult versionOnly = answered();
    versionOnly.statusRead = false;
    versionOnly.status.conditionFlags = FirmwareUnsupported;
    versionOnly.planGiven = versionOnly.planned = true;
    QTest::newRow("version answer only") << versionOnly;
}

void TestWatchPromtool::probeTextPassesTheLinter()
{
    QFETCH(ProbeResult, probe);
    const QByteArray text = ProbeMetrics::probeText(probe);
    const Run run = promtool({QStringLiteral("check"), QStringLiteral("metrics")}, text);
    QVERIFY2(run.exitCode == 0 && run.output.isEmpty(), (run.output + "\n" + text).constData());
}

void TestWatchPromtool::exporterTextPassesTheLinter()
{
    ProbeMetrics::ExporterCounters counters;
    counters.countProbe(answered());
    counters.refused = 2;
    counters.failed = 1;
    const QByteArray text = ProbeMetrics::exporterText(counters, QStringLiteral("1.01"));
    const Run run = promtool({QStringLiteral("check"), QStringLiteral("metrics")}, text);
    QVERIFY2(run.exitCode == 0 && run.output.isEmpty(), (run.output + "\n" + text).constData());

    // The linter is not blind: a counter without its suffix is found.
    QByteArray wrong = text;
    wrong.replace("hvtk_watch_requests_refused_total", "hvtk_watch_requests_refused");
    QCOMPARE(promtool({QStringLiteral("check"), QStringLiteral("metrics")}, wrong).exitCode, 3);
}

QTEST_GUILESS_MAIN(TestWatchPromtool)
#include "tst_watchpromtool.moc"
