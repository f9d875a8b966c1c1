// hvtk-watch's judgement of a unit in service, without a socket: the service
// state of every condition, drift from the plan per column, the /probe and
// /metrics texts, the Icinga/Nagios check line and the fault log over a run
// of probes. The texts' acceptance by Prometheus' own promtool is
// tst_watchpromtool's.
#include "commission/planfile.h"
#include "commission/planvalidator.h"
#include "monitor/conditions.h"
#include "watch/checkline.h"
#include "watch/faultlog.h"
#include "watch/plandrift.h"
#include "watch/probemetrics.h"
#include "watch/scrapetargets.h"
#include "watch/servicehealth.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using ServiceHealth::State;

quint32 ipv4(const char *text)
{
    return QHostAddress(QLatin1String(text)).toIPv4Address();
}

const QByteArray PlanHeader = "controlMac,controlIp,controlMask,controlGateway,localName,danteIp,danteMask,"
                              "danteGateway,danteName,qsysCoreIp,stationId\r\n";
const QByteArray LobbyRow = "02:4B:7D:00:01:00,10.0.0.11,255.255.255.0,10.0.0.1,Lobby,10.0.1.11,255.255.255.0,"
                            "10.0.1.1,Lobby-DND,10.0.0.5,11\r\n";
const QByteArray StairsRow = "02:4B:7D:00:01:01,10.0.0.12,255.255.255.0,10.0.0.1,\"Stairs \"\"B\"\"\",10.0.1.12,"
                             "255.255.255.0,10.0.1.1,Stairs-DND,10.0.0.5,12\r\n";

// A plan read and checked as hvtk-commission reads it; empty on an error.
QList<PlannedUnit> checkedPlan(const QByteArray &csv)
{
    const PlanFile::Read read = PlanFile::parse(csv);
    const PlanValidator::Checked checked = PlanValidator::check(read.rows, {});
    if (!read.errors.isEmpty() || !checked.errors.isEmpty()) {
        for (const PlanError &error : read.errors + checked.errors)
            qWarning("plan line %d: %s", error.line, qPrintable(error.text));
        return {};
    }
    return checked.units;
}

// The status of a unit that reports `identity`, its control link up.
UnitStatus statusReporting(const Identity &identity)
{
    UnitStatus s;
    const QStringList bytes = identity.controlMac.split(QLatin1Char(':'));
    for (int i = 0; i < 6; ++i)
        s.controlMac[std::size_t(i)] = quint8(bytes.value(i).toUInt(nullptr, 16));
    s.controlMacText = identity.controlMac;
    s.controlIpCurrent = identity.controlIp;
    s.controlIpStored = identity.controlIp;
    s.controlSubnetMask = identity.controlMask;
    s.controlGateway = identity.controlGateway;
    s.localName = identity.localName;
    s.danteIp = identity.danteIp;
    s.danteSubnetMask = identity.danteMask;
    s.danteGateway = identity.danteGateway;
    s.danteName = identity.danteName;
    s.qsysCoreIp = identity.qsysCoreIp;
    s.networkStatus = QsysCoreLinked;
    s.stationId = quint16(identity.stationId);
    s.modelToken = QStringLiteral("HV32K");
    s.firmwareVersionCode = 209;
    s.bootloaderVersion = {1, 0, 4};
    s.danteFirmwareVersion = {3, 10, 4, 2};
    s.danteMacText = QStringLiteral("02:4B:7D:80:01:00");
    s.powerCycleCount = 42;
    s.groupRevertSeconds = 30;
    s.qsysPingIntervalSeconds = 5;
    s.qsysPingTimeoutSeconds = 15;
    s.kiroLinkTimeoutSeconds = 60;
    return s;
}

// A probe of the lobby unit, answered, as planned and linked to its core.
ProbeResult lobbyProbe()
{
    const QList<PlannedUnit> plan = checkedPlan(PlanHeader + LobbyRow);
    ProbeResult probe;
    probe.target = QStringLiteral("10.0.0.11");
    probe.answered = true;
    probe.statusRead = true;
    if (!plan.isEmpty())
        probe.status = statusReporting(plan.first().identity);
    probe.durationSeconds = 0.29;
    return probe;
}

ProbeResult silentProbe()
{
    ProbeResult probe;
    probe.target = QStringLiteral("10.0.0.11");
    probe.durationSeconds = 5;
    return probe;
}

// The samples of an exposition text: "name{labels}" -> value. Fails the test
// on a line that is neither HELP, TYPE nor a sample of the family last typed,
// on a family typed twice, and on a sample with a timestamp.
QMap<QString, QString> samples(const QByteArray &text)
{
    static const QRegularExpression sampleLine(
        QStringLiteral(R"(^([a-zA-Z_:][a-zA-Z0-9_:]*)(\{(?:[a-zA-Z_][a-zA-Z0-9_]*="(?:[^"\\\n]|\\[\\"n])*",?)*\})? (\S+)$)"));
    static const QRegularExpression typeLine(QStringLiteral(R"(^# TYPE ([a-zA-Z_:][a-zA-Z0-9_:]*) (gauge|counter|histogram)$)"));
    QMap<QString, QString> values;
    QSet<QString> families;
    QString family;
    QString help;
    const QList<QByteArray> lines = text.split('\n');
    if (!text.endsWith('\n') || lines.size() < 2) {
        qWarning("the text does not end in a line feed");
        return {};
    }
    for (int i = 0; i < lines.size() - 1; ++i) {
        const QString line = QString::fromUtf8(lines[i]);
        if (line.startsWith(QLatin1String("# HELP "))) {
            help = line.section(QLatin1Char(' '), 2, 2);
            continue;
        }
        const QRegularExpressionMatch type = typeLine.match(line);
        if (type.hasMatch()) {
            family = type.captured(1);
            if (help != family || families.contains(family)) {
                qWarning("family %s without its HELP line or typed twice", qPrintable(family));
                return {};
            }
            families.insert(family);
            continue;
        }
        const QRegularExpressionMatch sample = sampleLine.match(line);
        const QString name = sample.captured(1);
        if (!sample.hasMatch()
            || (name != family && name != family + QLatin1String("_bucket") && name != family + QLatin1String("_sum")
                && name != family + QLatin1String("_count"))) {
            qWarning("line %d is not a sample of %s: %s", i + 1, qPrintable(family), qPrintable(line));
            return {};
        }
        values.insert(name + sample.captured(2), sample.captured(3));
    }
    return values;
}

QStringList linesOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

using Series = QMap<QString, QString>;

Q_DECLARE_METATYPE(ProbeResult)

class TestWatchHealth : public QObject
{
    Q_OBJECT

private slots:
    void serviceStateOfEachCondition_data();
    void serviceStateOfEachCondition();
    void conditionsComeWorstFirst();
    void driftPerPlanColumn_data();
    void driftPerPlanColumn();
    void planRowsAndScrapeTargets();
    void probeTextCarriesTheUnit_data();
    void probeTextCarriesTheUnit();
    void labelValuesAreEscaped();
    void exporterTextCountsProbes();
    void checkLineFollowsThePluginGrammar_data();
    void checkLineFollowsThePluginGrammar();
    void faultLogWritesOneLinePerChange();
    void faultLogReportsAFailedWrite();
};

void TestWatchHealth::serviceStateOfEachCondition_data()
{
    QTest::addColumn<ProbeResult>("probe");
    QTest::addColumn<int>("state");
    QTest::addColumn<QStringList>("conditions");

    // The sixteen bits, each alone: only the unit's error, the required
    // Ultimo bus offline, truncated data and unsupported firmware alarm.
    const QHash<QString, int> alarmed{{QStringLiteral("UnitErrorReported"), 2},
                                      {QStringLiteral("UltimoBusRequiredOffline"), 2},
                                      {QStringLiteral("DataTruncated"), 1},
                                      {QStringLiteral("FirmwareUnsupported"), 1}};
    for (const Conditions::Condition &condition : Conditions::All) {
        ProbeResult probe = lobbyProbe();
        probe.status.setCondition(condition.flag, true);
        QTest::newRow(condition.name) << probe << alarmed.value(QLatin1String(condition.name), 0)
                                      << QStringList{QLatin1String(condition.name)};
    }

    QTest::newRow("in service") << lobbyProbe() << 0 << QStringList();
    QTest::newRow("no answer") << silentProbe() << 2 << QStringList{QStringLiteral("NoAnswer")};

    ProbeResult unlinked = lobbyProbe();
    unlinked.status.networkStatus = 0;
    QTest::newRow("core set, not linked") << unlinked << 2 << QStringList{QStringLiteral("QsysCoreNotLinked")};
    ProbeResult noCore = unlinked;
    noCore.status.qsysCoreIp = 0;
    QTest::newRow("no core set, not linked") << noCore << 0 << QStringList();
    ProbeResult versionOnly = unlinked;
    versionOnly.statusRead = false;
    QTest::newRow("no status block: link unknown") << versionOnly << 0 << QStringList();

    ProbeResult conflict = lobbyProbe();
    conflict.addressConflict = true;
    QTest::newRow("address conflict") << conflict << 2 << QStringList{QStringLiteral("AddressConflict")};
    ProbeResult drift = lobbyProbe();
    drift.planGiven = drift.planned = true;
    drift.driftedFields = QStringList{QStringLiteral("localName")};
    QTest::newRow("plan drift") << drift << 1 << QStringList{QStringLiteral("PlanDrift")};
    ProbeResult unplanned = lobbyProbe();
    unplanned.planGiven = true;
    QTest::newRow("not in the plan") << unplanned << 0 << QStringList();
}

void TestWatchHealth::serviceStateOfEachCondition()
{
    QFETCH(ProbeResult, probe);
    QFETCH(int, state);
    QFETCH(QStringList, conditions);
    const ServiceHealth::Judgement judgement = ServiceHealth::judge(probe);
    QCOMPARE(int(judgement.state), state);
    QCOMPARE(judgement.conditions, conditions);
    for (const QString &condition : conditions)
        QCOMPARE(int(ServiceHealth::stateOf(condition)), state);
}

void TestWatchHealth::conditionsComeWorstFirst()
{
    ProbeResult probe = lobbyProbe();
    // Set lowest bit first, alarmed or not.
    for (const ConditionFlag flag : {FirmwareUnsupported, DataTruncated, UnitErrorReported, DipSwitchesNotOff,
                                     LedIntensityLow, UltimoBusRequiredOffline})
        probe.status.setCondition(flag, true);
    probe.status.networkStatus = 0;
    probe.addressConflict = true;
    probe.driftedFields = QStringList{QStringLiteral("danteName"), QStringLiteral("stationId")};
    const ServiceHealth::Judgement judgement = ServiceHealth::judge(probe);
    QCOMPARE(judgement.state, State::Critical);
    QCOMPARE(judgement.conditions,
             (QStringList{"UnitErrorReported", "UltimoBusRequiredOffline", "QsysCoreNotLinked", "AddressConflict",
                          "PlanDrift", "DataTruncated", "FirmwareUnsupported", "DipSwitchesNotOff",
                          "LedIntensityLow"}));
    QCOMPARE(judgement.driftedFields, probe.driftedFields);

    // The same with every critical condition gone is a warning, led by the drift.
    for (const ConditionFlag flag : {UnitErrorReported, UltimoBusRequiredOffline})
        probe.status.setCondition(flag, false);
    probe.status.networkStatus = QsysCoreLinked;
    probe.addressConflict = false;
    const ServiceHealth::Judgement warning = ServiceHealth::judge(probe);
    QCOMPARE(warning.state, State::Warning);
    QCOMPARE(warning.conditions.first(), QStringLiteral("PlanDrift"));
}

void TestWatchHealth::driftPerPlanColumn_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("reported"); // what the unit holds in that column
    QTest::addColumn<QStringList>("drifted");

    const QStringList names = PlanColumns::names();
    const QList<QPair<PlanColumns::Column, QString>> changes = {
        {PlanColumns::ControlMac, QStringLiteral("02:4B:7D:00:01:99")},
        {PlanColumns::ControlIp, QStringLiteral("10.0.0.111")},
        {PlanColumns::ControlMask, QStringLiteral("255.255.0.0")},
        {PlanColumns::ControlGateway, QStringLiteral("10.0.0.254")},
        {PlanColumns::LocalName, QStringLiteral("lobby")},
        {PlanColumns::DanteIp, QStringLiteral("10.0.1.111")},
        {PlanColumns::DanteMask, QStringLiteral("255.255.0.0")},
        {PlanColumns::DanteGateway, QStringLiteral("0.0.0.0")},
        {PlanColumns::DanteName, QStringLiteral("Lobby-DND2")},
        {PlanColumns::QsysCoreIp, QStringLiteral("0.0.0.0")},
        {PlanColumns::StationId, QStringLiteral("12")},
    };
    for (const auto &change : changes) {
        QTest::newRow(qPrintable(names[change.first])) << int(change.first) << change.second
                                                       << QStringList{names[change.first]};
    }
    QTest::newRow("as planned") << int(PlanColumns::LocalName) << QStringLiteral("Lobby") << QStringList();
    // The plan may write the MAC in lower case with dashes; the unit is the same.
    QTest::newRow("MAC written otherwise") << int(PlanColumns::ControlMac) << QStringLiteral("02-4b-7d-00-01-00")
                                           << QStringList();
}

void TestWatchHealth::driftPerPlanColumn()
{
    QFETCH(int, column);
    QFETCH(QString, reported);
    QFETCH(QStringList, drifted);

    // What the unit reports is the planned row with the one cell changed, read
    // by the same reader.
    QStringList cells = QString::fromLatin1(LobbyRow).trimmed().split(QLatin1Char(','));
    cells[column] = reported;
    const QList<PlannedUnit> plan = checkedPlan(PlanHeader + LobbyRow);
    const QList<PlannedUnit> now = checkedPlan(PlanHeader + cells.join(QLatin1Char(',')).toLatin1());
    QCOMPARE(plan.size(), 1);
    QCOMPARE(now.size(), 1);
    UnitStatus status = statusReporting(now.first().identity);
    QCOMPARE(PlanDrift::driftedFields(plan.first().identity, status), drifted);
}

void TestWatchHealth::planRowsAndScrapeTargets()
{
    const QList<PlannedUnit> plan = checkedPlan(PlanHeader + LobbyRow + StairsRow);
    QCOMPARE(plan.size(), 2);
    QCOMPARE(PlanDrift::rowAt(plan, ipv4("10.0.0.12")), &plan[1]);
    QCOMPARE(PlanDrift::rowAt(plan, ipv4("10.0.0.11")), &plan[0]);
    QVERIFY(!PlanDrift::rowAt(plan, ipv4("10.0.1.11"))); // a Dante address is no target

    QJsonParseError error;
    const QJsonDocument targets = QJsonDocument::fromJson(ScrapeTargets::fileSdDocument(plan), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonArray expected{
        QJsonObject{{"targets", QJsonArray{"10.0.0.11"}}, {"labels", QJsonObject{{"local_name", "Lobby"}}}},
        QJsonObject{{"targets", QJsonArray{"10.0.0.12"}}, {"labels", QJsonObject{{"local_name", "Stairs \"B\""}}}}};
    QCOMPARE(targets.array(), expected);
    QCOMPARE(QJsonDocument::fromJson(ScrapeTargets::fileSdDocument({})).array(), QJsonArray());
}

void TestWatchHealth::probeTextCarriesTheUnit_data()
{
    QTest::addColumn<ProbeResult>("probe");
    QTest::addColumn<Series>("expected"); // these series with these values
    QTest::addColumn<QStringList>("absent");               // no series of these families
    QTest::addColumn<int>("seriesCount");

    const QString info = QStringLiteral(
        "hvtk_info{model=\"HV32K\",firmware=\"2.09\",bootloader=\"1.0.4\",dante_firmware=\"3.10.4.2\","
        "control_mac=\"02:4B:7D:00:01:00\",dante_mac=\"02:4B:7D:80:01:00\",local_name=\"Lobby\","
        "dante_name=\"Lobby-DND\"}");

    ProbeResult broken = lobbyProbe();
    broken.status.setCondition(UnitErrorReported, true);
    broken.status.setCondition(CompatibilityAssemblyOnUltimoX, true);
    broken.status.networkStatus = 0;
    broken.status.unitErrorCode = 7;
    QTest::newRow("answered, error, core lost")
        << broken
        << QMap<QString, QString>{{"hvtk_up", "1"},
                                  {"hvtk_service_state", "2"},
                                  {"hvtk_condition{condition=\"UnitErrorReported\"}", "1"},
                                  {"hvtk_condition{condition=\"CompatibilityAssemblyOnUltimoX\"}", "1"},
                                  {"hvtk_condition{condition=\"FirmwareUnsupported\"}", "0"},
                                  {info, "1"},
                                  {"hvtk_power_cycles_total", "42"},
                                  {"hvtk_unit_error_code", "7"},
                                  {"hvtk_group_revert_seconds", "30"},
                                  {"hvtk_qsys_ping_interval_seconds", "5"},
                                  {"hvtk_qsys_ping_timeout_seconds", "15"},
                                  {"hvtk_kiro_link_timeout_seconds", "60"},
                                  {"hvtk_qsys_core_set", "1"},
                                  {"hvtk_qsys_core_linked", "0"},
                                  {"hvtk_address_conflict", "0"},
                                  {"hvtk_probe_duration_seconds", "0.29"}}
        << QStringList{"hvtk_planned", "hvtk_plan_drift"} << 16 + 13;

    QTest::newRow("no answer") << silentProbe()
                               << QMap<QString, QString>{{"hvtk_up", "0"},
                                                         {"hvtk_service_state", "2"},
                                                         {"hvtk_probe_duration_seconds", "5"}}
                               << QStringList{"hvtk_condition", "hvtk_info", "hvtk_address_conflict",
                                              "hvtk_qsys_core_linked", "hvtk_power_cycles_total"}
                               << 3;

    ProbeResult drifted = lobbyProbe();
    drifted.planGiven = drifted.planned = true;
    drifted.driftedFields = QStringList{QStringLiteral("localName"), QStringLiteral("qsysCoreIp")};
    drifted.addressConflict = true;
    QTest::newRow("planned, drifted, conflicting")
        << drifted
        << QMap<QString, QString>{{"hvtk_service_state", "2"},
                                  {"hvtk_address_conflict", "1"},
                                  {"hvtk_planned", "1"},
                                  {"hvtk_plan_drift{field=\"localName\"}", "1"},
                                  {"hvtk_plan_drift{field=\"qsysCoreIp\"}", "1"},
                                  {"hvtk_plan_drift{field=\"controlMac\"}", "0"},
                                  {"hvtk_plan_drift{field=\"stationId\"}", "0"}}
        << QStringList() << 16 + 13 + 1 + PlanColumns::Count;

    ProbeResult unplanned = silentProbe();
    unplanned.planGiven = true;
    QTest::newRow("not in the plan, silent")
        << unplanned << QMap<QString, QString>{{"hvtk_up", "0"}, {"hvtk_planned", "0"}}
        << QStringList{"hvtk_plan_drift"} << 4;
}

void TestWatchHealth::probeTextCarriesTheUnit()
{
    QFETCH(ProbeResult, probe);
    QFETCH(Series, expected);
    QFETCH(QStringList, absent);
    QFETCH(int, seriesCount);

    const QByteArray text = ProbeMetrics::probeText(probe);
    const QMap<QString, QString> series = samples(text);
    QCOMPARE(series.size(), seriesCount);
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QCOMPARE(series.value(it.key(), QStringLiteral("(absent)")), it.value());
    for (const QString &family : absent)
        QVERIFY2(!text.contains("\n" + family.toUtf8() + ' ') && !text.contains("\n" + family.toUtf8() + '{'),
                 qPrintable(family));
}

void TestWatchHealth::labelValuesAreEscaped()
{
    ProbeResult probe = lobbyProbe();
    probe.status.localName = QStringLiteral("Hall \"A\"\\east\nwing");
    probe.status.danteName = QStringLiteral("Zürich-1");
    const QMap<QString, QString> series = samples(ProbeMetrics::probeText(probe));
    const QStringList info = QStringList(series.keys()).filter(QStringLiteral("hvtk_info{"));
    QCOMPARE(info.size(), 1);
    QVERIFY2(info.first().contains(QStringLiteral(R"(,local_name="Hall \"A\"\\east\nwing",)")), qPrintable(info.first()));
    QVERIFY2(info.first().contains(QStringLiteral("dante_name=\"Zürich-1\"}")), qPrintable(info.first()));
}

void TestWatchHealth::exporterTextCountsProbes()
{
    ProbeMetrics::ExporterCounters counters;
    ProbeResult probe = lobbyProbe();
    for (const double seconds : {0.05, 0.0501, 0.3, 4.0}) {
        probe.durationSeconds = seconds;
        counters.countProbe(probe);
    }
    ProbeResult silent = silentProbe();
    silent.durationSeconds = 10.2; // beyond the last bound
    counters.countProbe(silent);
    counters.refused = 3;

    const QMap<QString, QString> series = samples(ProbeMetrics::exporterText(counters, QStringLiteral("1.01")));
    const QMap<QString, QString> expected{
        {QStringLiteral("hvtk_watch_build_info{version=\"1.01\",qt_version=\"%1\"}").arg(QLatin1String(qVersion())), "1"},
        {"hvtk_watch_probes_total{outcome=\"answered\"}", "4"},
        {"hvtk_watch_probes_total{outcome=\"no_answer\"}", "1"},
        {"hvtk_watch_probes_total{outcome=\"failed\"}", "0"},
        {"hvtk_watch_requests_refused_total", "3"},
        {"hvtk_watch_probe_duration_seconds_bucket{le=\"0.05\"}", "1"},
        {"hvtk_watch_probe_duration_seconds_bucket{le=\"0.1\"}", "2"},
        {"hvtk_watch_probe_duration_seconds_bucket{le=\"0.25\"}", "2"},
        {"hvtk_watch_probe_duration_seconds_bucket{le=\"0.5\"}", "3"},
        {"hvtk_watch_probe_duration_seconds_bucket{le=\"1\"}", "3"},
        {"hvtk_watch_probe_duration_seconds_bucket{le=\"2.5\"}", "3"},
        {"hvtk_watch_probe_duration_seconds_bucket{le=\"5\"}", "4"},
        {"hvtk_watch_probe_duration_seconds_bucket{le=\"10\"}", "4"},
        {"hvtk_watch_probe_duration_seconds_bucket{le=\"+Inf\"}", "5"},
        {"hvtk_watch_probe_duration_seconds_sum", "14.6001"},
        {"hvtk_watch_probe_duration_seconds_count", "5"}};
    QCOMPARE(series, expected);
}

void TestWatchHealth::checkLineFollowsThePluginGrammar_data()
{
    QTest::addColumn<ProbeResult>("probe");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("ok") << lobbyProbe()
                        << "HVTK OK - in service: 10.0.0.11 HV32K \"Lobby\"|'elapsed'=0.29s;;;0 'power_cycles'=42c;;;0"
                        << 0;
    ProbeResult reported = lobbyProbe();
    reported.status.setCondition(DipSwitchesNotOff, true);
    QTest::newRow("ok, reported only")
        << reported
        << "HVTK OK - DipSwitchesNotOff: 10.0.0.11 HV32K \"Lobby\"|'elapsed'=0.29s;;;0 'power_cycles'=42c;;;0" << 0;
    ProbeResult drift = lobbyProbe();
    drift.driftedFields = QStringList{QStringLiteral("localName"), QStringLiteral("stationId")};
    drift.status.setCondition(SettingsNotDefault, true);
    drift.durationSeconds = 1.23456;
    QTest::newRow("warning")
        << drift
        << "HVTK WARNING - PlanDrift (localName, stationId), SettingsNotDefault: 10.0.0.11 HV32K \"Lobby\""
           "|'elapsed'=1.235s;;;0 'power_cycles'=42c;;;0"
        << 1;
    ProbeResult critical = drift;
    critical.status.setCondition(UltimoBusRequiredOffline, true);
    critical.status.localName = QStringLiteral("Hall|east\nwing"); // a "|" would start the performance data
    critical.durationSeconds = 0.2;
    QTest::newRow("critical, worst first")
        << critical
        << "HVTK CRITICAL - UltimoBusRequiredOffline, PlanDrift (localName, stationId), SettingsNotDefault: "
           "10.0.0.11 HV32K \"Hall/east wing\"|'elapsed'=0.2s;;;0 'power_cycles'=42c;;;0"
        << 2;
    QTest::newRow("no answer") << silentProbe()
                               << "HVTK CRITICAL - NoAnswer: 10.0.0.11 did not answer within 5 s|'elapsed'=5s;;;0"
                               << 2;
    ProbeResult versionOnly = lobbyProbe();
    versionOnly.statusRead = false;
    versionOnly.status.setCondition(FirmwareUnsupported, true);
    QTest::newRow("version answer only")
        << versionOnly << "HVTK WARNING - FirmwareUnsupported: 10.0.0.11 HV32K|'elapsed'=0.29s;;;0" << 1;
}

void TestWatchHealth::checkLineFollowsThePluginGrammar()
{
    QFETCH(ProbeResult, probe);
    QFETCH(QString, line);
    QFETCH(int, exitCode);

    // The guidelines' output: "SERVICE STATUS: text|'label'=value[UOM];[warn];[crit];[min];[max] ...".
    static const QRegularExpression grammar(QStringLiteral(
        R"(^HVTK (OK|WARNING|CRITICAL|UNKNOWN) - [^|\n]+(\|'[^'=]+'=-?[0-9.]+(s|c)?(;[0-9.]*){0,4}( '[^'=]+'=-?[0-9.]+(s|c)?(;[0-9.]*){0,4})*)?$)"));
    const CheckLine::Answer answer = CheckLine::forProbe(probe, 5);
    QCOMPARE(answer.line, line);
    QCOMPARE(answer.exitCode, exitCode);
    const QRegularExpressionMatch match = grammar.match(answer.line);
    QVERIFY2(match.hasMatch(), qPrintable(answer.line));
    QCOMPARE(QStringList({"OK", "WARNING", "CRITICAL"}).indexOf(match.captured(1)), exitCode);

    const CheckLine::Answer unknown = CheckLine::unknown(QStringLiteral("-H: \"10.0.0.255\" is a broadcast address"));
    QCOMPARE(unknown.line, QStringLiteral("HVTK UNKNOWN - -H: \"10.0.0.255\" is a broadcast address"));
    QCOMPARE(unknown.exitCode, 3);
    QVERIFY(grammar.match(unknown.line).hasMatch());
}

void TestWatchHealth::faultLogWritesOneLinePerChange()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("faults.jsonl"));
    FaultLog log;
    QString error;
    QVERIFY2(log.open(path, &error), qPrintable(error));

    // Two units probed in turn over a run with faults set and cleared; the
    // hall unit starts broken and is never ok.
    ProbeResult lobby = lobbyProbe();
    ProbeResult hall = lobbyProbe();
    hall.target = QStringLiteral("10.0.0.12");
    hall.status.networkStatus = 0;
    ProbeResult hallDrifted = hall;
    hallDrifted.driftedFields = QStringList{QStringLiteral("localName")};
    ProbeResult lobbyBroken = lobby;
    lobbyBroken.status.setCondition(UnitErrorReported, true);
    ProbeResult lobbyBrokenDip = lobbyBroken;
    lobbyBrokenDip.status.setCondition(DipSwitchesNotOff, true);
    ProbeResult lobbyDrifted = lobby;
    lobbyDrifted.driftedFields = QStringList{QStringLiteral("danteName")};
    ProbeResult lobbyDriftedMore = lobbyDrifted;
    lobbyDriftedMore.driftedFields << QStringLiteral("stationId");

    struct Step
    {
        ProbeResult probe;
        const char *expected; // "before>now", or nullptr for no line
    };
    const QList<Step> run = {
        {lobby, nullptr},                      // first probe, ok: nothing
        {hall, "null>critical"},              // first probe, not ok
        {lobby, nullptr},
        {hall, nullptr},
        {lobbyBroken, "ok>critical"},          // a fault begins
        {lobbyBroken, nullptr},
        {lobbyBrokenDip, "critical>critical"}, // a condition more at the same state
        {hallDrifted, "critical>critical"},
        {silentProbe(), "critical>critical"},  // the lobby stops answering
        {silentProbe(), nullptr},
        {lobbyDrifted, "critical>warning"},
        {lobbyDriftedMore, "warning>warning"}, // one more field drifted
        {lobby, "warning>ok"},                 // cleared
        {lobby, nullptr},
        {hallDrifted, nullptr},
    };
    QStringList expected;
    for (int i = 0; i < run.size(); ++i) {
        const ProbeResult &probe = run[i].probe;
        QVERIFY2(log.record(probe.target, ServiceHealth::judge(probe), QDateTime::fromSecsSinceEpoch(1000 + i, Qt::UTC),
                            &error),
                 qPrintable(error));
        if (run[i].expected)
            expected << QStringLiteral("%1 %2 %3").arg(i).arg(probe.target, QLatin1String(run[i].expected));
    }

    QStringList written;
    const QStringList lines = linesOf(path);
    for (const QString &line : lines) {
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
        const QJsonValue before = object.value(QStringLiteral("before"));
        const int step = int(QDateTime::fromString(object.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs)
                                 .toSecsSinceEpoch()
                             - 1000);
        written << QStringLiteral("%1 %2 %3>%4")
                       .arg(step)
                       .arg(object.value(QStringLiteral("target")).toString(),
                            before.isNull() ? QStringLiteral("null") : before[QStringLiteral("state")].toString(),
                            object[QStringLiteral("now")][QStringLiteral("state")].toString());
    }
    QCOMPARE(written, expected);

    // The line of the fault that began holds both judgements whole.
    const QJsonObject began = QJsonDocument::fromJson(lines.value(1).toUtf8()).object();
    QCOMPARE(began.value(QStringLiteral("now")).toObject(),
             (QJsonObject{{"state", "critical"}, {"conditions", QJsonArray{"UnitErrorReported"}}}));
    QCOMPARE(began.value(QStringLiteral("before")).toObject(), (QJsonObject{{"state", "ok"}, {"conditions", QJsonArray()}}));
    const QJsonObject more = QJsonDocument::fromJson(lines.value(6).toUtf8()).object();
    QCOMPARE(more.value(QStringLiteral("now")).toObject(),
             (QJsonObject{{"state", "warning"},
                          {"conditions", QJsonArray{"PlanDrift"}},
                          {"driftedFields", QJsonArray{"danteName", "stationId"}}}));
    QCOMPARE(more.value(QStringLiteral("time")).toString(), QStringLiteral("1970-01-01T00:16:51.000Z"));
}

void TestWatchHealth::faultLogReportsAFailedWrite()
{
    // A device that takes no byte: the change is reported as not written.
    FaultLog log;
    QString error;
    QVERIFY2(log.open(QStringLiteral("/dev/full"), &error), qPrintable(error));
    QVERIFY(log.record(QStringLiteral("10.0.0.11"), ServiceHealth::judge(lobbyProbe()), QDateTime::currentDateTimeUtc(),
                       &error)); // nothing to write
    QVERIFY(!log.record(QStringLiteral("10.0.0.11"), ServiceHealth::judge(silentProbe()),
                        QDateTime::currentDateTimeUtc(), &error));
    QVERIFY(!error.isEmpty());
    // Still a change at the next probe: it is tried again, not forgotten.
    error.clear();
    QVERIFY(!log.record(QStringLiteral("10.0.0.11"), ServiceHealth::judge(silentProbe()),
                        QDateTime::currentDateTimeUtc(), &error));
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(TestWatchHealth)
#include "tst_watchhealth.moc"
