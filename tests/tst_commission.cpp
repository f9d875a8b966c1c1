// hvtk-commission end to end: the built program against simulated units. A
// template run on itself, a dry run, a push to twenty units verified at their
// new addresses and recorded, the datagrams beside the window's own push of
// the same texts, units that refuse, never come back or are in no row,
// strays on the wire, and a conflict. The record written ahead: kill -9 at
// ten moments of a push, each reverted from its record; SIGINT and SIGTERM
// while units are verified. A move to a subnet this workstation has no
// address on, and to one it has.
#include "support/messageboxdriver.h"
#include "support/programrun.h"
#include "support/simulatorthread.h"
#include "support/windowsuite.h"

#include <QCryptographicHash>
#include <QHostInfo>
#include <QNetworkDatagram>
#include <QProcess>
#include <QScopeGuard>
#include <QUdpSocket>
#include <QtTest>
#include <QtWidgets>

#include <csignal>
#include <sys/types.h>

namespace {

const QString Program = QStringLiteral(HVTK_COMMISSION_PROGRAM);
const QByteArray Header = "controlMac,controlIp,controlMask,controlGateway,localName,danteIp,danteMask,"
                          "danteGateway,danteName,qsysCoreIp,stationId\r\n";

using Run = ProgramRun;

// Runs hvtk-commission while this thread's event loop goes on; `whileRunning`
// is called every 20 ms meanwhile.
Run runCommission(const QStringList &arguments, const std::function<void()> &whileRunning = {})
{
    return runProgram(Program, arguments, 60000, whileRunning, 20);
}

QJsonArray unitsOf(const Run &run)
{
    return QJsonDocument::fromJson(run.out).object().value(QStringLiteral("units")).toArray();
}

QString address(int lastOctet)
{
    return QStringLiteral("192.168.0.%1").arg(lastOctet);
}

// The row that gives the unit with the MAC ending in `unit` its new identity
// at 192.168.0.(100 + unit), on core .200 with station ID `unit`.
QByteArray plannedRow(int unit)
{
    return QStringLiteral("02:4b:7d:00:00:%1,%2,255.255.255.0,192.168.0.1,Room %3,192.168.0.%4,255.255.255.0,"
                          "0.0.0.0,\"Room %3, Dante\",192.168.0.200,%3\r\n")
        .arg(unit, 2, 16, QLatin1Char('0'))
        .arg(address(100 + unit))
        .arg(unit)
        .arg(150 + unit)
        .toUtf8();
}

bool isLinkDatagram(const QByteArray &data)
{
    return data == "1LI\r" || data.endsWith("NM\r") || data.endsWith("ND\r") || data.endsWith("LX\r");
}

bool isStatusPoll(const QByteArray &data)
{
    return data == "GSHV\r" || data == "?V\r";
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &text)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(text);
    return file.fileName();
}

} // namespace

class TestCommission : public WindowSuite
{
    Q_OBJECT

private slots:
    void cleanup() { closeWindow(); }

    void templateRoundTripMatches();
    void dryRunSendsNoLinkDatagram();
    void applyCommissionsTwentyUnits();
    void datagramsEqualTheWindowsPush();
    void failuresAndStrays();
    void swapIsAConflict();
    void killedApplyIsRevertedFromItsRecord();
    void stopSignalWritesWhatIsKnown_data();
    void stopSignalWritesWhatIsKnown();
    void moveToAnotherSubnet_data();
    void moveToAnotherSubnet();

private:
    // Simulated units at 192.168.0.x for each x, restarting in 300 ms.
    bool addUnits(SimulatorThread &sim, const QList<int> &lastOctets, const QStringList &models);
    // Datagrams of the log that reached `unit` (its address then).
    QList<QByteArray> received(SimulatorThread &sim, const QString &unit);

    QTemporaryDir dir;
};

namespace {

QList<QJsonObject> recordLines(const QString &path)
{
    QFile file(path);
    QList<QJsonObject> lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            lines << QJsonDocument::fromJson(line).object();
    }
    return lines;
}

// The eleven fields of an identity object in plan column order, as a
// template row holds them.
QByteArray templateRow(const QJsonObject &identity)
{
    QStringList fields;
    for (const char *column : {"controlMac", "controlIp", "controlMask", "controlGateway", "localName", "danteIp",
                               "danteMask", "danteGateway", "danteName", "qsysCoreIp"})
        fields << identity.value(QLatin1String(column)).toString();
    fields << QString::number(identity.value(QStringLiteral("stationId")).toInt());
    return fields.join(QLatin1Char(',')).toUtf8() + '\r';
}

// Runs `ip` with `arguments` in this suite's private namespace.
bool ip(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("ip"), arguments);
    return process.waitForFinished(5000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

bool TestCommission::addUnits(SimulatorThread &sim, const QList<int> &lastOctets, const QStringList &models)
{
    for (int i = 0; i < lastOctets.size(); ++i) {
        const QHostAddress unit(address(lastOctets[i]));
        if (!sim.addUnit({unit, models[i % models.size()], QStringLiteral("2.09")}))
            return false;
        sim.withUnit(unit, [](SimulatedUnit &u) { u.setRestartTime(300); });
    }
    return true;
}

QList<QByteArray> TestCommission::received(SimulatorThread &sim, const QString &unit)
{
    QList<QByteArray> data;
    for (const SimDatagram &datagram : sim.log()) {
        if (datagram.direction == SimDatagram::In && datagram.unitAddress == QHostAddress(unit))
            data << datagram.data;
    }
    return data;
}

void TestCommission::templateRoundTripMatches()
{
    SimulatorThread sim;
    QVERIFY(addUnits(sim, {40, 21, 30}, {"HV4K", "TK12X", "HV32K"}));

    const Run made = runCommission({"--template", "--discover"});
    QCOMPARE(made.exitCode, 0);
    QVERIFY2(made.err.isEmpty(), made.err.constData());
    const QList<QByteArray> lines = made.out.split('\n');
    QCOMPARE(lines.size(), 5); // header, three units in address order, the empty rest
    QCOMPARE(lines[0], Header.trimmed() + '\r');
    QCOMPARE(lines[1], QByteArray("02:4B:7D:00:00:15,192.168.0.21,255.255.255.0,192.168.0.1,TK12X-000015,"
                                  "169.254.0.21,255.255.0.0,0.0.0.0,TK12X-070015,0.0.0.0,1\r"));
    QVERIFY(lines[2].startsWith("02:4B:7D:00:00:1E,192.168.0.30,"));
    QVERIFY(lines[3].startsWith("02:4B:7D:00:00:28,192.168.0.40,"));

    const QString plan = writeFile(dir, QStringLiteral("template.csv"), made.out);
    const Run checked = runCommission({"--json", plan, "--discover"});
    QCOMPARE(checked.exitCode, 0);
    const QJsonArray units = unitsOf(checked);
    QCOMPARE(units.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(units[i].toObject().value("outcome").toString(), QStringLiteral("matches"));
        QCOMPARE(units[i].toObject().value("row").toInt(), i + 2);
        QCOMPARE(units[i].toObject().value("differences").toArray(), QJsonArray());
    }
    // Combined with a plan or --json, --template is a usage error.
    QCOMPARE(runCommission({"--template", plan, "192.168.0.21"}).exitCode, 64);
    QCOMPARE(runCommission({"--template", "--json", "--discover"}).exitCode, 64);
    QCOMPARE(runCommission({"--output", dir.filePath("x.csv"), plan, "--discover"}).exitCode, 64);

    // --output writes the file; when no unit answers, the old one stays.
    const QString output = dir.filePath(QStringLiteral("site-template.csv"));
    const Run written = runCommission({"--template", "--discover", "--output", output});
    QCOMPARE(written.exitCode, 0);
    QVERIFY(written.out.isEmpty());
    QFile file(output);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), made.out);
    file.close();
    sim.run([](UnitSimulator &s) {
        for (SimulatedUnit *unit : s.units())
            s.removeUnit(unit);
    });
    const Run none = runCommission({"--template", "--discover", "--output", output});
    QCOMPARE(none.exitCode, 2);
    QVERIFY2(none.err.contains("no unit answered"), none.err.constData());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), made.out);
}

void TestCommission::dryRunSendsNoLinkDatagram()
{
    SimulatorThread sim;
    QVERIFY(addUnits(sim, {21, 22}, {"HV4K", "TK4K"}));
    const QString plan = writeFile(dir, QStringLiteral("dry.csv"), Header + plannedRow(0x15) + plannedRow(0x16));

    const Run dry = runCommission({plan, address(21), address(22)});
    QCOMPARE(dry.exitCode, 1);
    const QString text = QString::fromUtf8(dry.out);
    QVERIFY2(text.startsWith(QStringLiteral("line 2  02:4B:7D:00:00:15  HV4K  192.168.0.21 -> 192.168.0.121  differs\n"
                                            "    controlIp: 192.168.0.21 -> 192.168.0.121\n"
                                            "    localName: HV4K-000015 -> Room 21\n")),
             qPrintable(text));
    QVERIFY2(text.endsWith(QStringLiteral("\n2 plan row(s) and unit(s): 2 differs.\n")), qPrintable(text));
    QTest::qWait(300);
    for (const QString &unit : {address(21), address(22)}) {
        const QList<QByteArray> heard = received(sim, unit);
        QVERIFY(!heard.isEmpty());
        QVERIFY2(std::all_of(heard.begin(), heard.end(), isStatusPoll), heard.join(' ').constData());
    }
}

void TestCommission::applyCommissionsTwentyUnits()
{
    SimulatorThread sim;
    QList<int> units;
    QStringList arguments{"--apply", "--json", "--record", dir.filePath("site.jsonl")};
    QByteArray plan = Header;
    for (int unit = 21; unit <= 40; ++unit) {
        units << unit;
        plan += plannedRow(unit);
    }
    QVERIFY(addUnits(sim, units, {"HV4K", "TK12X", "HV32K", "TK4K", "HV16K", "TK32K", "HV12X"}));
    arguments << writeFile(dir, QStringLiteral("site.csv"), plan) << "--discover";

    const Run run = runCommission(arguments);
    QVERIFY2(run.err.isEmpty(), run.err.constData());
    QCOMPARE(run.exitCode, 0);
    const QJsonArray printed = unitsOf(run);
    QCOMPARE(printed.size(), 20);
    for (int i = 0; i < 20; ++i) {
        const QJsonObject unit = printed[i].toObject();
        QCOMPARE(unit.value("outcome").toString(), QStringLiteral("commissioned"));
        QCOMPARE(unit.value("address").toString(), address(21 + i));
        QCOMPARE(unit.value("plannedAddress").toString(), address(121 + i));
        QCOMPARE(unit.value("differences").toArray(), QJsonArray());
        QVERIFY(unit.value("reason").isNull());
        // Each unit lives at its new address with the planned identity.
        const QHostAddress now(address(121 + i));
        const UnitStatus status = sim.run([&](UnitSimulator &s) {
            const SimulatedUnit *u = s.unit(now);
            return u ? u->status() : UnitStatus();
        });
        QCOMPARE(status.controlIpStored, now.toIPv4Address());
        QCOMPARE(status.localName, QStringLiteral("Room %1").arg(21 + i));
        QCOMPARE(status.danteName, QStringLiteral("Room %1, Dante").arg(21 + i));
        QCOMPARE(int(status.stationId), 21 + i);
        QCOMPARE(status.danteIp, QHostAddress(address(171 + i)).toIPv4Address());
    }

    // The run's first line, each unit's "pushing" line written ahead, then
    // one outcome line per unit; each names the run.
    const QList<QJsonObject> lines = recordLines(dir.filePath("site.jsonl"));
    QCOMPARE(lines.size(), 41);
    const QJsonObject start = lines[0];
    QVERIFY(QRegularExpression("^[0-9a-f]{16}$").match(start.value("run").toString()).hasMatch());
    QCOMPARE(start.value("mode").toString(), QStringLiteral("apply"));
    QCOMPARE(start.value("plan").toString(), arguments[4]);
    QCOMPARE(start.value("planSha256").toString(),
             QString::fromLatin1(QCryptographicHash::hash(plan, QCryptographicHash::Sha256).toHex()));
    QVERIFY(!start.value("version").toString().isEmpty());
    QCOMPARE(start.value("station").toString(), QHostInfo::localHostName());
    QCOMPARE(start.value("arguments").toVariant().toStringList(), arguments);
    const QStringList runMembers{"run", "mode", "plan", "planSha256", "version", "station"};
    for (int i = 0; i < 20; ++i) {
        const QJsonObject pushing = lines[1 + i];
        QCOMPARE(pushing.value("outcome").toString(), QStringLiteral("pushing"));
        QCOMPARE(pushing.value("before").toObject().value("controlIp").toString(), address(21 + i));
        QCOMPARE(pushing.value("planned").toObject().value("localName").toString(),
                 QStringLiteral("Room %1").arg(21 + i));
        QJsonObject line = lines[21 + i];
        for (const QString &member : runMembers) {
            QCOMPARE(pushing.value(member), start.value(member));
            QCOMPARE(line.value(member), start.value(member));
        }
        QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$")
                    .match(line.value("time").toString())
                    .hasMatch());
        const QJsonObject before = line.value("before").toObject();
        const QJsonObject after = line.value("after").toObject();
        QCOMPARE(before.value("controlIp").toString(), address(21 + i));
        QCOMPARE(after.value("controlIp").toString(), address(121 + i));
        QCOMPARE(after.value("danteName").toString(), QStringLiteral("Room %1, Dante").arg(21 + i));
        QCOMPARE(after.value("stationId").toInt(), 21 + i);
        QCOMPARE(after.size(), 11);
        for (const QString &member : runMembers + QStringList{"time", "before", "after", "elapsedMs"})
            line.remove(member);
        QJsonObject shown = printed[i].toObject();
        shown.remove("elapsedMs");
        QCOMPARE(line, shown);
    }
}

// The window's panel pushes the texts to one HV4K unit, hvtk-commission the
// same texts to another: byte for byte the same datagrams, spaced at least
// as the window spaces them.
void TestCommission::datagramsEqualTheWindowsPush()
{
    SimulatorThread sim;
    QVERIFY(addUnits(sim, {21, 22}, {"HV4K"}));
    openWindow();
    selectUnit(address(21), QStringLiteral("HV4K"));
    Ui::HVTKUtilitiesClass &ui = probe->ui();
    ui.actionManual_Link_unicast->trigger();
    ui.m_txtUALControlIP->setText(QStringLiteral("192.168.0.31"));
    ui.m_txtUALControlSM->setText(QStringLiteral("255.255.255.0"));
    ui.m_txtUALControlGW->setText(QStringLiteral("192.168.0.1"));
    ui.m_txtUALStationLocalName->setText(QStringLiteral("Lobby, east"));
    ui.m_txtUALDanteIP->setText(QStringLiteral("192.168.0.131"));
    ui.m_txtUALDanteSM->setText(QStringLiteral("255.255.255.0"));
    ui.m_txtUALDanteGW->setText(QStringLiteral("192.168.0.1"));
    ui.m_txtUALStationDanteName->setText(QString::fromUtf8("Lobby-\xC3\x89" "ast"));
    ui.m_txtUALQsysIP->setText(QStringLiteral("192.168.0.100"));
    ui.m_txtUALStationID->setText(QStringLiteral("12"));
    MessageBoxDriver driver;
    driver.click(QMessageBox::Yes);
    QTest::mouseClick(ui.m_cmdUALGo, Qt::LeftButton);
    QTRY_COMPARE(driver.boxCount(), 1);
    closeWindow();
    // The first unit restarts at the address the second one is given next.
    const auto restartedAt = [&](const QString &where) {
        return sim.run([&](UnitSimulator &s) {
            const SimulatedUnit *u = s.unit(QHostAddress(where));
            return u && !u->isRestarting();
        });
    };
    QTRY_VERIFY_WITH_TIMEOUT(restartedAt(QStringLiteral("192.168.0.31")), 5000);
    sim.run([](UnitSimulator &s) { s.removeUnit(s.unit(QHostAddress(QStringLiteral("192.168.0.31")))); });

    const QString plan = writeFile(dir, QStringLiteral("window.csv"),
                                   Header + "02:4B:7D:00:00:16,192.168.0.31,255.255.255.0,192.168.0.1,"
                                            "\"Lobby, east\",192.168.0.131,255.255.255.0,192.168.0.1,"
                                            "Lobby-\xC3\x89" "ast,192.168.0.100,12\r\n");
    const Run run = runCommission({"--apply", "--json", plan, address(22)});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(unitsOf(run)[0].toObject().value("outcome").toString(), QStringLiteral("commissioned"));

    QList<QByteArray> window;
    QList<QByteArray> commission;
    QList<qint64> arrivedUs;
    for (const SimulatorThread::Arrival &arrival : sim.arrivals()) {
        if (!isLinkDatagram(arrival.data))
            continue;
        if (arrival.unit == QHostAddress(address(21))) {
            window << arrival.data;
        } else if (arrival.unit == QHostAddress(address(22))) {
            commission << arrival.data;
            arrivedUs << arrival.arrivedUs;
        }
    }
    QCOMPARE(window.size(), 4);
    QCOMPARE(window[3], QByteArray("192.168.0.31,255.255.255.0,192.168.0.1,192.168.0.131,255.255.255.0,"
                                   "192.168.0.1,192.168.0.100,4012,1,1LX\r"));
    QCOMPARE(commission, window);
    QVERIFY2(arrivedUs[2] - arrivedUs[1] >= 49000, qPrintable(QString::number(arrivedUs[2] - arrivedUs[1])));
    QVERIFY2(arrivedUs[3] - arrivedUs[2] >= 299000, qPrintable(QString::number(arrivedUs[3] - arrivedUs[2])));
    QVERIFY2(arrivedUs[3] - arrivedUs[0] < 1000000, qPrintable(QString::number(arrivedUs[3] - arrivedUs[0])));
}

// A unit that refuses (E15), one that never comes back from its restart, one
// in no row; junk from a stray while the run waits. The planned unit that
// accepts is still commissioned.
void TestCommission::failuresAndStrays()
{
    SimulatorThread sim;
    QVERIFY(addUnits(sim, {21, 22, 23, 24}, {"HV4K", "TK12X"}));
    QVERIFY(sim.withUnit(QHostAddress(address(22)), [](SimulatedUnit &u) { u.setNextCommandError("E15"); }));
    QVERIFY(sim.withUnit(QHostAddress(address(23)), [](SimulatedUnit &u) { u.setRestartTime(600000); }));
    const QString plan = writeFile(dir, QStringLiteral("failures.csv"),
                                   Header + plannedRow(0x15) + plannedRow(0x16) + plannedRow(0x17));
    QUdpSocket stray;
    QVERIFY(stray.bind(QHostAddress(address(99)), 0));
    quint16 port = 0;
    const auto flood = [&] {
        if (port == 0) {
            for (const SimDatagram &d : sim.log()) {
                if (d.direction == SimDatagram::In && d.peerPort != UnicastPort)
                    port = d.peerPort;
            }
            return;
        }
        for (const QByteArray &junk : {QByteArray("R\r"), QByteArray("E15\r"), QByteArray(), QByteArray(2000, '\xFF'),
                                       QByteArray("HV4K v2.09\r")})
            stray.writeDatagram(junk, Workstation, port);
    };

    const Run run = runCommission({"--apply", "--json", "--timeout", "3", plan, address(21), address(22), address(23),
                                   address(24)},
                                  flood);
    QVERIFY(port != 0);
    QCOMPARE(run.exitCode, 1);
    const QJsonArray units = unitsOf(run);
    QCOMPARE(units.size(), 4);
    QCOMPARE(units[0].toObject().value("outcome").toString(), QStringLiteral("commissioned"));
    const QJsonObject refused = units[1].toObject();
    QCOMPARE(refused.value("outcome").toString(), QStringLiteral("failed"));
    QCOMPARE(refused.value("reason").toString(), QStringLiteral("E15: Invalid Port (mismatch)"));
    // It still differs from its row in every field the push would have changed.
    const QJsonArray stillDiffer = refused.value("differences").toArray();
    QCOMPARE(stillDiffer.size(), 7);
    QCOMPARE(stillDiffer[0].toObject(), QJsonObject({{"field", "controlIp"}, {"now", "192.168.0.22"},
                                                     {"plan", "192.168.0.122"}}));
    const QJsonObject gone = units[2].toObject();
    QCOMPARE(gone.value("outcome").toString(), QStringLiteral("failed"));
    QCOMPARE(gone.value("reason").toString(), QStringLiteral("no answer at the planned address"));
    QVERIFY(gone.value("elapsedMs").toDouble() >= 3000);
    const QJsonObject unplanned = units[3].toObject();
    QCOMPARE(unplanned.value("outcome").toString(), QStringLiteral("unplanned"));
    QVERIFY(unplanned.value("row").isNull());
    QCOMPARE(unplanned.value("controlMac").toString(), QStringLiteral("02:4B:7D:00:00:18"));

    // The refusing unit heard the link start and nothing after it; the one
    // in no row heard only status polls.
    const QList<QByteArray> refusedHeard = received(sim, address(22));
    QCOMPARE(std::count_if(refusedHeard.begin(), refusedHeard.end(), isLinkDatagram), 1);
    QVERIFY(refusedHeard.contains("1LI\r"));
    const QList<QByteArray> unplannedHeard = received(sim, address(24));
    QVERIFY(!unplannedHeard.isEmpty());
    QVERIFY(std::all_of(unplannedHeard.begin(), unplannedHeard.end(), isStatusPoll));
}

// Two units whose rows swap their control addresses: both in conflict, and
// not one link datagram sent, --apply or not.
void TestCommission::swapIsAConflict()
{
    SimulatorThread sim;
    QVERIFY(addUnits(sim, {21, 22}, {"HV4K"}));
    QByteArray plan = Header + plannedRow(0x15) + plannedRow(0x16);
    plan.replace("192.168.0.121", "192.168.0.22").replace("192.168.0.122", "192.168.0.21");
    const Run run = runCommission({"--apply", "--json", writeFile(dir, QStringLiteral("swap.csv"), plan),
                                   address(21), address(22)});
    QCOMPARE(run.exitCode, 1);
    const QJsonArray units = unitsOf(run);
    QCOMPARE(units.size(), 2);
    QCOMPARE(units[0].toObject().value("outcome").toString(), QStringLiteral("conflict"));
    QCOMPARE(units[0].toObject().value("reason").toString(),
             QStringLiteral("planned controlIp 192.168.0.22 belongs to the unit at 192.168.0.22"));
    QCOMPARE(units[1].toObject().value("outcome").toString(), QStringLiteral("conflict"));
    QTest::qWait(300);
    for (const QString &unit : {address(21), address(22)}) {
        const QList<QByteArray> heard = received(sim, unit);
        QVERIFY(std::all_of(heard.begin(), heard.end(), isStatusPoll));
    }
}

// --apply is killed (SIGKILL) at ten moments, from the first link datagram
// to the last verification. Each time every unit that received a datagram
// has its "pushing" line with its fields before, and --revert from that
// record gives every unit back the fields of the template taken first.
void TestCommission::killedApplyIsRevertedFromItsRecord()
{
    SimulatorThread sim;
    const QList<int> units{21, 22, 23, 24};
    QVERIFY(addUnits(sim, units, {"HV4K", "TK12X"}));
    QByteArray planText = Header;
    for (int unit : units)
        planText += plannedRow(unit);
    const QString plan = writeFile(dir, QStringLiteral("killed.csv"), planText);
    const Run first = runCommission({"--template", "--discover"});
    QCOMPARE(first.exitCode, 0);

    // A push takes about 650 ms (spacing 350 ms, restart 300 ms) and its
    // verification one poll more.
    for (int moment = 0; moment < 10; ++moment) {
        const QString what = QStringLiteral("killed %1 ms after the first link datagram").arg(moment * 90);
        const QString record = dir.filePath(QStringLiteral("killed-%1.jsonl").arg(moment));
        sim.clearLog();
        QProcess apply;
        apply.start(Program, {"--apply", "--record", record, plan, address(21), address(22), address(23), address(24)});
        QVERIFY(apply.waitForStarted());
        const auto linkDatagramArrived = [&] {
            const QList<SimulatorThread::Arrival> arrivals = sim.arrivals();
            return std::any_of(arrivals.begin(), arrivals.end(),
                               [](const SimulatorThread::Arrival &a) { return isLinkDatagram(a.data); });
        };
        QElapsedTimer waited;
        waited.start();
        while (!linkDatagramArrived() && waited.elapsed() < 10000)
            QThread::msleep(2);
        QVERIFY2(linkDatagramArrived(), qPrintable(what));
        QThread::msleep(ulong(moment * 90));
        apply.kill();
        QVERIFY(apply.waitForFinished(5000));

        const QList<QJsonObject> lines = recordLines(record);
        QSet<QString> pushedTo;
        for (const SimulatorThread::Arrival &arrival : sim.arrivals()) {
            if (isLinkDatagram(arrival.data))
                pushedTo.insert(arrival.unit.toString());
        }
        QVERIFY2(!pushedTo.isEmpty(), qPrintable(what));
        for (const QString &unit : qAsConst(pushedTo)) {
            const auto pushing = std::find_if(lines.begin(), lines.end(), [&](const QJsonObject &line) {
                return line.value("outcome").toString() == QLatin1String("pushing")
                    && line.value("address").toString() == unit;
            });
            QVERIFY2(pushing != lines.end(), qPrintable(what + QStringLiteral(": no pushing line for ") + unit));
            const QByteArray before = templateRow(pushing->value("before").toObject());
            QVERIFY2(first.out.contains(before), qPrintable(what + QStringLiteral(": ") + QString::fromUtf8(before)));
            QCOMPARE(pushing->value("mode").toString(), QStringLiteral("apply"));
            QCOMPARE(pushing->value("planned").toObject().value("controlIp").toString(),
                     pushing->value("plannedAddress").toString());
        }

        const Run reverted = runCommission({"--revert", record, "--apply", "--json"});
        QVERIFY2(reverted.exitCode == 0, qPrintable(what + QStringLiteral(": ") + QString::fromUtf8(reverted.out + reverted.err)));
        const Run now = runCommission({"--template", "--discover"});
        QCOMPARE(now.exitCode, 0);
        QVERIFY2(now.out == first.out, qPrintable(what + QStringLiteral(":\n") + QString::fromUtf8(now.out)));
    }
}

void TestCommission::stopSignalWritesWhatIsKnown_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("SIGINT") << int(SIGINT) << 130;
    QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
}

// Two units pushed that never come back from their restart: the signal
// ends the run at once, with their outcome lines after their pushing lines,
// and nothing is sent after it.
void TestCommission::stopSignalWritesWhatIsKnown()
{
    QFETCH(int, signalNumber);
    QFETCH(int, exitCode);
    SimulatorThread sim;
    QVERIFY(addUnits(sim, {21, 22}, {"HV4K"}));
    for (int unit : {21, 22})
        QVERIFY(sim.withUnit(QHostAddress(address(unit)), [](SimulatedUnit &u) { u.setRestartTime(600000); }));
    const QString plan = writeFile(dir, QStringLiteral("stopped.csv"), Header + plannedRow(21) + plannedRow(22));
    const QString record = dir.filePath(QStringLiteral("stopped-%1.jsonl").arg(signalNumber));
    QProcess apply;
    apply.start(Program, {"--apply", "--record", record, "--station", "bench 3", plan, address(21), address(22)});
    QVERIFY(apply.waitForStarted());
    const auto addressesArrived = [&] {
        const QList<SimulatorThread::Arrival> arrivals = sim.arrivals();
        return std::count_if(arrivals.begin(), arrivals.end(),
                             [](const SimulatorThread::Arrival &a) { return a.data.endsWith("LX\r"); });
    };
    QTRY_COMPARE_WITH_TIMEOUT(addressesArrived(), 2, 10000);
    QTest::qWait(400); // verification polls go to the planned addresses
    const qint64 signalledUs = QDateTime::currentMSecsSinceEpoch() * 1000;
    ::kill(pid_t(apply.processId()), signalNumber);
    QElapsedTimer stopping;
    stopping.start();
    QVERIFY(apply.waitForFinished(5000));
    QVERIFY2(stopping.elapsed() < 1000, qPrintable(QString::number(stopping.elapsed())));
    QCOMPARE(apply.exitStatus(), QProcess::NormalExit);
    QCOMPARE(apply.exitCode(), exitCode);
    const QString text = QString::fromUtf8(apply.readAllStandardOutput());
    QVERIFY2(text.contains(QStringLiteral("stopped after 4 link datagram(s), before its outcome was known")),
             qPrintable(text));

    const QList<QJsonObject> lines = recordLines(record);
    QCOMPARE(lines.size(), 5); // the start, two pushing lines, two outcome lines
    QVERIFY(QRegularExpression("^[0-9a-f]{16}$").match(lines[0].value("run").toString()).hasMatch());
    QCOMPARE(lines[0].value("station").toString(), QStringLiteral("bench 3"));
    QCOMPARE(lines[0].value("planSha256").toString(),
             QString::fromLatin1(QCryptographicHash::hash(Header + plannedRow(21) + plannedRow(22),
                                                          QCryptographicHash::Sha256).toHex()));
    QCOMPARE(lines[0].value("arguments").toArray().size(), 8);
    for (int i = 1; i < 5; ++i) {
        QCOMPARE(lines[i].value("run"), lines[0].value("run"));
        QCOMPARE(lines[i].value("outcome").toString(), i < 3 ? QStringLiteral("pushing") : QStringLiteral("differs"));
        QCOMPARE(lines[i].value("address").toString(), address(20 + (i - 1) % 2 + 1));
    }
    // Nothing went out once the signal was handled.
    for (const SimulatorThread::Arrival &arrival : sim.arrivals())
        QVERIFY2(arrival.arrivedUs < signalledUs + 250000, arrival.data.constData());
}

void TestCommission::moveToAnotherSubnet_data()
{
    QTest::addColumn<bool>("workstationThere");
    QTest::newRow("no workstation address on 10.20.30.0/24") << false;
    QTest::newRow("workstation at 10.20.30.17/24") << true;
}

// Two units moved to 10.20.30.0/24, one of them coming up there with a
// station name it was not given. From a workstation with no address there
// the dry run names the subnet once and the push leaves both moved; from
// one with an address there both are verified, the one whose fields differ
// failed.
void TestCommission::moveToAnotherSubnet()
{
    QFETCH(bool, workstationThere);
    if (workstationThere)
        QVERIFY(ip({"addr", "add", "10.20.30.17/24", "dev", "lo"}));
    const auto removeAddress = qScopeGuard([&] {
        if (workstationThere)
            ip({"addr", "del", "10.20.30.17/24", "dev", "lo"});
    });
    SimulatorThread sim;
    QVERIFY(addUnits(sim, {21, 22}, {"HV4K", "TK12X"}));
    QVERIFY(sim.withUnit(QHostAddress(address(22)), [](SimulatedUnit &u) {
        QObject::connect(&u, &SimulatedUnit::restartFinished, &u,
                         [&u] { u.updateStatus([](UnitStatus &s) { s.localName = QStringLiteral("Tampered"); }); });
    }));
    QByteArray planText = Header + plannedRow(21) + plannedRow(22);
    planText.replace("192.168.0.121,255.255.255.0,192.168.0.1", "10.20.30.121,255.255.255.0,10.20.30.1")
        .replace("192.168.0.122,255.255.255.0,192.168.0.1", "10.20.30.122,255.255.255.0,10.20.30.1");
    const QString plan = writeFile(dir, QStringLiteral("moved.csv"), planText);
    const QString note = QStringLiteral("10.20.30.0/24: planned control addresses on none of this workstation's "
                                        "subnets: 10.20.30.121, 10.20.30.122;");

    const Run dry = runCommission({plan, address(21), address(22)});
    QCOMPARE(dry.exitCode, 1);
    QCOMPARE(QString::fromUtf8(dry.out).count(QStringLiteral("10.20.30.0/24: ")), workstationThere ? 0 : 1);
    QCOMPARE(dry.out.contains(note.toUtf8()), !workstationThere);
    QVERIFY2(dry.out.contains("02:4B:7D:00:00:16  TK12X  192.168.0.22 -> 10.20.30.122  differs\n"), dry.out.constData());

    const QString record = dir.filePath(QStringLiteral("moved-%1.jsonl").arg(workstationThere));
    const Run run = runCommission({"--apply", "--json", "--timeout", "2", "--record", record, plan, address(21),
                                   address(22)});
    const QJsonArray units = unitsOf(run);
    QCOMPARE(units.size(), 2);
    const QJsonObject kept = units[0].toObject();
    const QJsonObject tampered = units[1].toObject();
    if (workstationThere) {
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(kept.value("outcome").toString(), QStringLiteral("commissioned"));
        QCOMPARE(tampered.value("outcome").toString(), QStringLiteral("failed"));
        QCOMPARE(tampered.value("reason").toString(), QStringLiteral("fields still differ at the planned address"));
        QCOMPARE(tampered.value("differences").toArray(),
                 QJsonArray({QJsonObject{{"field", "localName"}, {"now", "Tampered"}, {"plan", "Room 22"}}}));
        // Discovery asks every subnet of this workstation, the new one too.
        const Run found = runCommission({"--template", "--discover"});
        QCOMPARE(found.exitCode, 0);
        QVERIFY2(found.out.contains("\r\n02:4B:7D:00:00:15,10.20.30.121,") && found.out.contains("Tampered"),
                 found.out.constData());
        // The revert of that run by its id: the unit whose name changed since
        // is a conflict and keeps it; the other goes back.
        const QString runId = recordLines(record).first().value("run").toString();
        const Run reverted = runCommission({"--revert", record, "--run", runId, "--apply", "--json"});
        QCOMPARE(reverted.exitCode, 1);
        const QJsonArray back = unitsOf(reverted);
        QCOMPARE(back.size(), 2);
        QCOMPARE(back[0].toObject().value("outcome").toString(), QStringLiteral("commissioned"));
        QCOMPARE(back[0].toObject().value("plannedAddress").toString(), address(21));
        QCOMPARE(back[1].toObject().value("outcome").toString(), QStringLiteral("conflict"));
        QCOMPARE(back[1].toObject().value("reason").toString(),
                 QStringLiteral("changed since the run: localName is Tampered, neither TK12X-000016 as before nor "
                                "Room 22 as pushed"));
        const QList<QByteArray> heard = received(sim, QStringLiteral("10.20.30.122"));
        QCOMPARE(std::count_if(heard.begin(), heard.end(), isLinkDatagram), 0);
    } else {
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(note.toUtf8()), run.err.constData());
        for (const QJsonObject &unit : {kept, tampered}) {
            QCOMPARE(unit.value("outcome").toString(), QStringLiteral("moved"));
            QCOMPARE(unit.value("differences").toArray(), QJsonArray());
        }
        const QList<QJsonObject> lines = recordLines(record);
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[3].value("outcome").toString(), QStringLiteral("moved"));
        QCOMPARE(lines[4].value("outcome").toString(), QStringLiteral("moved"));
        // The units did move: they live at their planned addresses now.
        const int there = sim.run([](UnitSimulator &s) {
            const QList<SimulatedUnit *> all = s.units();
            return int(std::count_if(all.begin(), all.end(), [](const SimulatedUnit *u) {
                return u->status().controlIpStored >> 8 == QHostAddress(QStringLiteral("10.20.30.0")).toIPv4Address() >> 8;
            }));
        });
        QCOMPARE(there, 2);
    }
}

QTEST_MAIN(TestCommission)
#include "tst_commission.moc"
