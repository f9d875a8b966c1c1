// hvtk-commission end to end: the built program against simulated units. A
// template run on itself, a dry run, a push to twenty units verified at their
// new addresses and recorded, the datagrams beside the window's own push of
// the same texts, units that refuse, never come back or are in no row,
// strays on the wire, and a conflict.
#include "support/messageboxdriver.h"
#include "support/simulatorthread.h"
#include "support/windowsuite.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtTest>
#include <QtWidgets>

namespace {

const QString Program = QStringLiteral(HVTK_COMMISSION_PROGRAM);
const QByteArray Header = "controlMac,controlIp,controlMask,controlGateway,localName,danteIp,danteMask,"
                          "danteGateway,danteName,qsysCoreIp,stationId\r\n";

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs hvtk-commission while this thread's event loop goes on; `whileRunning`
// is called every 20 ms meanwhile.
Run runCommission(const QStringList &arguments, const std::function<void()> &whileRunning = {})
{
    QProcess process;
    process.start(Program, arguments);
    if (!process.waitForStarted(5000))
        return {};
    QElapsedTimer clock;
    clock.start();
    while (process.state() != QProcess::NotRunning && clock.elapsed() < 60000) {
        if (whileRunning)
            whileRunning();
        QTest::qWait(20);
    }
    if (process.state() != QProcess::NotRunning || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
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

private:
    // Simulated units at 192.168.0.x for each x, restarting in 300 ms.
    bool addUnits(SimulatorThread &sim, const QList<int> &lastOctets, const QStringList &models);
    // Datagrams of the log that reached `unit` (its address then).
    QList<QByteArray> received(SimulatorThread &sim, const QString &unit);

    QTemporaryDir dir;
};

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
}

void TestCommission::dryRunSendsNoLinkDatagram()
{
    SimulatorThread sim;
    QVERIFY(addUnits(sim, {21, 22}, {"HV4K", "TK4K"}));
    const QString plan = writeFile(dir, QStringLiteral("dry.csv"), Header + plannedRow(0x15) + plannedRow(0x16));

    const Run dry = runCommission({plan, address(21), address(22)});
    QCOMPARE(dry.exitCode, 1);
    const QString text = QString::fromUtf8(dry.out);
    QVERIFY2(text.startsWith(QStringLiteral("line 2  02:4B:7D:00:00:15  192.168.0.21 -> 192.168.0.121  differs\n"
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

    QFile record(dir.filePath("site.jsonl"));
    QVERIFY(record.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = record.readAll().split('\n');
    QCOMPARE(lines.size(), 21);
    for (int i = 0; i < 20; ++i) {
        QJsonObject line = QJsonDocument::fromJson(lines[i]).object();
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
        for (const char *member : {"time", "before", "after", "elapsedMs"})
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

QTEST_MAIN(TestCommission)
#include "tst_commission.moc"
