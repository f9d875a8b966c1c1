#include "sim/statusencoder.h"
#include "support/simulatorthread.h"
#include "support/strayflood.h"
#include "support/windowsuite.h"

#include <QtTest>
#include <QtWidgets>
#include <QNetworkInterface>
#include <QUdpSocket>

#include <memory>

// The window on a LAN that misbehaves: a flood of junk from other senders on
// both of its sockets while it polls a unit, a unit that dies in the middle of
// a command, its ports already taken by another program, and a workstation
// with no IPv4 address at all.
namespace {

const QHostAddress UnitAddress(QStringLiteral("192.168.0.254"));
constexpr int FloodDatagrams = 100000;
constexpr int LargestPayload = 65507;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool Sanitized = true; // freed memory sits in quarantine: no RSS bound
#else
constexpr bool Sanitized = false;
#endif
// Growth of resident memory the flood may cause (kernel socket buffers are
// not counted in it; the junk the window keeps is: detected-unit lines).
constexpr qint64 RssGrowthBoundKb = 16 * 1024;
// The longest the event loop may go without running a 10 ms timer during the
// flood: the window keeps answering.
constexpr qint64 StallBoundMs = Sanitized ? 2000 : 500;

qint64 procStatusKb(const char *field)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// A status reply the selected unit never sent: if the window took it, the
// record would show it.
QByteArray foreignReply()
{
    UnitStatus state;
    state.ledIntensity = 1;
    state.danteName = QStringLiteral("<b>spoofed</b>");
    state.localName = QStringLiteral("spoofed");
    state.dipSwitchOff = {false, false, false, false};
    state.unitErrorCode = 9;
    return StatusEncoder::encode(StatusEncoder::versionText("TK32K", "2.12"), state, 256);
}

// Datagram `i` of the flood: every kind of junk a LAN can carry.
QByteArray floodPayload(int i, QRandomGenerator &random, const QByteArray &foreign)
{
    switch (i % 10) {
    case 0: return QByteArray();                                     // zero-length
    case 1: return QByteArray("\0HV4K v2.09\r", 12);                 // NUL-led
    case 2: return QByteArray("\r");                                 // lone carriage return
    case 3: return QByteArray("HV4K v\xff\xfe\xc3\x28 \xe2\x82\r");  // invalid UTF-8
    case 4: return foreign.left(1 + random.bounded(foreign.size())); // truncated reply
    case 5: return foreign;                                          // a whole foreign reply
    case 6: return (i / 10) % 3 ? QByteArray("E04\r") : QByteArray("R\r");
    case 7: {
        // Random bytes; every hundredth datagram anywhere from 1 byte to the
        // largest UDP payload, the two extremes included.
        int size = 1 + random.bounded(1400);
        if (i % 100 == 7)
            size = i % 1000 == 7 ? LargestPayload : (i % 1000 == 107 ? 1 : 1 + random.bounded(LargestPayload));
        QByteArray bytes(size, '\0');
        for (char &byte : bytes)
            byte = char(random.bounded(256));
        return bytes;
    }
    case 8: return "HV" + QByteArray::number(random.bounded(1000000)) + "\xff\r"; // answer-like
    default: return QByteArray("TK12X v2.12\r");                   // a version answer
    }
}

struct FloodResult
{
    int sent = 0;
    int failed = 0;
    qint64 bytes = 0;
    qint64 elapsedMs = 0;
};

// Sends `datagrams` of the flood from stray senders (192.168.0.2 to .9 and
// the workstation's own address): as fast as the sockets take them to both of
// the window's ports, or `perSecond` of them a second to the unit channel only.
FloodResult sendFlood(int datagrams = FloodDatagrams, int perSecond = 0)
{
    FloodResult result;
    QList<QUdpSocket *> senders;
    for (int host = 2; host <= 9; ++host) {
        auto *socket = new QUdpSocket;
        if (socket->bind(QHostAddress(QStringLiteral("192.168.0.%1").arg(host))))
            senders << socket;
        else
            delete socket;
    }
    auto *own = new QUdpSocket;
    own->bind(WindowSuite::Workstation);
    senders << own;

    QRandomGenerator random(20261207);
    const QByteArray foreign = foreignReply();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < datagrams; ++i) {
        const qint64 dueUs = perSecond > 0 ? qint64(i) * 1000000 / perSecond : 0;
        if (dueUs > clock.nsecsElapsed() / 1000 + 1000)
            QThread::usleep(1000);
        const QByteArray payload = floodPayload(i, random, foreign);
        const quint16 port = perSecond == 0 && (i / 10) % 2 ? WindowSuite::BroadcastPort : WindowSuite::UnicastPort;
        QUdpSocket *sender = senders.at(i % senders.size());
        if (sender->writeDatagram(payload, WindowSuite::Workstation, port) == payload.size()) {
            ++result.sent;
            result.bytes += payload.size();
        } else {
            ++result.failed;
        }
    }
    result.elapsedMs = clock.elapsed();
    qDeleteAll(senders);
    return result;
}


} // namespace

class TestFlood : public WindowSuite
{
    Q_OBJECT

private slots:
    void cleanup();

    void floodFromStraySenders();
    void sustainedFloodKeepsUnitOnline();
    void unitDiesMidCommand_data();
    void unitDiesMidCommand();
    void portsTakenByAnotherProgram();
    void workstationWithoutIPv4_data();
    void workstationWithoutIPv4();

private:
    void startPolledUnit();
    UnitStatus simulatedState();
    QList<QByteArray> requestsOnUnitChannel();

    std::unique_ptr<SimulatorThread> sim;
};

void TestFlood::cleanup()
{
    closeWindow();
    sim.reset();
}

void TestFlood::startPolledUnit()
{
    sim = std::make_unique<SimulatorThread>();
    QVERIFY(sim->addUnit(UnitConfig{UnitAddress, QStringLiteral("HV4K"), QStringLiteral("2.09")}));
    openWindow();
    QCOMPARE(probe->ui().m_txtIP->text(), UnitAddress.toString());
    selectUnit(UnitAddress.toString());
}

UnitStatus TestFlood::simulatedState()
{
    return sim->run([](UnitSimulator &simulator) { return simulator.unit(UnitAddress)->status(); });
}

// What reached the unit from the window's unit channel (not the discovery scan).
QList<QByteArray> TestFlood::requestsOnUnitChannel()
{
    QList<QByteArray> requests;
    for (const SimDatagram &datagram : sim->log()) {
        if (datagram.direction == SimDatagram::In && datagram.peerPort == UnicastPort)
            requests << datagram.data;
    }
    return requests;
}

void TestFlood::floodFromStraySenders()
{
    startPolledUnit();
    if (QTest::currentTestFailed())
        return;
    const quint16 flagsBefore = probe->status().conditionFlags;
    const QString versionBefore = WindowProbe::versionLabel()->text();
    const qint64 rssBefore = procStatusKb("VmRSS:");

    // The event loop's pulse: the longest gap between two ticks of a 10 ms timer.
    QElapsedTimer pulse;
    qint64 longestStallMs = 0;
    QTimer probeTimer;
    probeTimer.setInterval(10);
    connect(&probeTimer, &QTimer::timeout, [&] {
        longestStallMs = qMax(longestStallMs, pulse.restart());
    });
    pulse.start();
    probeTimer.start();

    // A unit reply lost in a full receive buffer may cost a poll: count the
    // times the window called the unit offline.
    int offlineShown = 0;
    connect(probe->ui().statusbar, &QStatusBar::messageChanged, [&](const QString &message) {
        offlineShown += message == QStringLiteral("Status: Offline.");
    });

    sim->clearLog();
    const qint64 dropsBefore = StrayFlood::udpReceiveBufferErrors();
    FloodResult flood;
    std::unique_ptr<QThread> flooder(QThread::create([&flood] { flood = sendFlood(); }));
    flooder->start();
    // While the flood runs, the unit itself changes: its next reply must show it.
    QTest::qWait(20);
    sim->withUnit(UnitAddress, [](SimulatedUnit &unit) { unit.setLedIntensity(77); });
    while (!flooder->isFinished())
        QTest::qWait(5);
    flooder->wait();
    const qint64 stallDuringFlood = longestStallMs;
    const int pollsDuringFlood = requestsOnUnitChannel().count("GSHV\r");

    // Let the socket buffers drain and a good reply arrive.
    QTRY_COMPARE_WITH_TIMEOUT(probe->status().ledIntensity, quint8(77), 5000);
    QTest::qWait(1000);
    probeTimer.stop();
    const qint64 rssAfter = procStatusKb("VmRSS:");
    const qint64 drops = StrayFlood::udpReceiveBufferErrors() - dropsBefore;

    qInfo("flood: %d datagrams sent (%d refused by the socket), %lld bytes in %lld ms, %lld "
          "dropped by the kernel for full receive buffers; longest event-loop stall %lld ms; %d "
          "status requests and %d offline switches meanwhile; VmRSS %lld kB before, %lld kB after, VmHWM %lld kB; %d "
          "detected-unit lines",
          flood.sent, flood.failed, flood.bytes, flood.elapsedMs, drops, stallDuringFlood,
          pollsDuringFlood, offlineShown, rssBefore, rssAfter, procStatusKb("VmHWM:"),
          probe->ui().m_lstDetectedUnits->count());

    QCOMPARE(flood.sent + flood.failed, FloodDatagrams);
    QVERIFY2(flood.sent > FloodDatagrams / 2, "the flood mostly went out");
    QVERIFY2(pollsDuringFlood > 0, "the unit was polled during the flood");
    QVERIFY2(drops < flood.sent, "the window read some of the flood");
    QVERIFY2(stallDuringFlood < StallBoundMs, qPrintable(QString::number(stallDuringFlood)));
    if (!Sanitized)
        QVERIFY2(rssAfter - rssBefore < RssGrowthBoundKb,
                 qPrintable(QStringLiteral("%1 kB growth").arg(rssAfter - rssBefore)));

    // Exactly what the unit's own last reply says, nothing of the junk.
    QVERIFY(probe->online());
    QCOMPARE(StrayFlood::replyFields(probe->status()), StrayFlood::replyFields(simulatedState()));
    QCOMPARE(probe->status().modelToken, QStringLiteral("HV4K"));
    QCOMPARE(probe->status().firmwareVersionCode, 209u);
    QCOMPARE(probe->status().unitErrorCode, quint8(0));
    QCOMPARE(probe->status().conditionFlags, quint16(flagsBefore | LedIntensityLow));
    QCOMPARE(WindowProbe::versionLabel()->text(), versionBefore);
    QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Online."));
    QVERIFY(!probe->ui().m_lblInfo->text().contains(QStringLiteral("spoofed")));
    QCOMPARE(probe->ui().m_cmbAssembly->currentText(), QStringLiteral("HV4K"));
}

// Strays at the unit channel's port for five seconds, at a rate a busy LAN
// can carry, while the unit is polled and changes: no reply of the unit may
// be lost behind them.
void TestFlood::sustainedFloodKeepsUnitOnline()
{
    constexpr int PerSecond = 20000;
    constexpr int Seconds = 5;
    startPolledUnit();
    if (QTest::currentTestFailed())
        return;
    int offlineShown = 0;
    connect(probe->ui().statusbar, &QStatusBar::messageChanged, [&](const QString &message) {
        offlineShown += message == QStringLiteral("Status: Offline.");
    });
    int foreignShown = 0;
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] { foreignShown += probe->status().unitErrorCode != 0; });
    watch.start(10);

    sim->clearLog();
    FloodResult flood;
    std::unique_ptr<QThread> flooder(
        QThread::create([&flood] { flood = sendFlood(PerSecond * Seconds, PerSecond); }));
    flooder->start();
    QTest::qWait(500);
    sim->withUnit(UnitAddress, [](SimulatedUnit &unit) { unit.setLedIntensity(66); });
    while (!flooder->isFinished())
        QTest::qWait(5);
    flooder->wait();
    const int pollsDuringFlood = requestsOnUnitChannel().count("GSHV\r");
    QTest::qWait(700); // at most two more polls
    // The kernel grants the receive buffer up to net.core.rmem_max.
    const int receiveBuffer =
        probe->unicastSocket()->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt();
    const QString figures =
        QStringLiteral("%1 datagrams in %2 ms, unit polled %3 times meanwhile; receive buffer %4 bytes")
            .arg(flood.sent).arg(flood.elapsedMs).arg(pollsDuringFlood).arg(receiveBuffer);
    qInfo("sustained flood: %s", qPrintable(figures));

    QCOMPARE(flood.sent, PerSecond * Seconds);
    // A poll every 300 ms, or at worst one every 2000 ms on a loaded machine.
    QVERIFY2(pollsDuringFlood >= Seconds * 1000 / 2000, qPrintable(QString::number(pollsDuringFlood)));
    QVERIFY2(offlineShown == 0,
             qPrintable(QStringLiteral("shown offline %1 times; ").arg(offlineShown) + figures));
    QCOMPARE(foreignShown, 0);
    QVERIFY(probe->online());
    QCOMPARE(probe->status().ledIntensity, quint8(66));
    QCOMPARE(StrayFlood::replyFields(probe->status()), StrayFlood::replyFields(simulatedState()));
    QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Online."));
}

void TestFlood::unitDiesMidCommand_data()
{
    QTest::addColumn<bool>("resumeByDatagram");
    QTest::newRow("a datagram from the unit resumes polling") << true;
    QTest::newRow("a new address resumes polling") << false;
}

void TestFlood::unitDiesMidCommand()
{
    QFETCH(bool, resumeByDatagram);
    startPolledUnit();
    if (QTest::currentTestFailed())
        return;
    sim->withUnit(UnitAddress, [](SimulatedUnit &unit) { unit.setSilent(true); });
    sim->clearLog();
    runSlot("sonalertTest");
    QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Sonalert test..."));

    // Well past the 2000 ms a poll tick would take: nothing more goes out.
    QTest::qWait(2600);
    QVERIFY(!probe->pollTimer()->isActive());
    QVERIFY(probe->awaitingReply());
    QCOMPARE(requestsOnUnitChannel(), QList<QByteArray>{QByteArray("CM1DRE\r")});

    sim->withUnit(UnitAddress, [](SimulatedUnit &unit) { unit.setSilent(false); });
    if (resumeByDatagram) {
        QUdpSocket unitSide;
        QVERIFY(unitSide.bind(UnitAddress));
        unitSide.writeDatagram("R\r", Workstation, UnicastPort);
        QTRY_VERIFY_WITH_TIMEOUT(probe->pollTimer()->isActive(), 2000);
        QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Success [R]"));
    } else {
        // The technician retypes the address's last digit.
        probe->ui().m_txtIP->setText(QStringLiteral("192.168.0.25"));
        probe->ui().m_txtIP->setText(UnitAddress.toString());
        QVERIFY(probe->pollTimer()->isActive());
    }
    // Polling is back: the unit is asked for its status again and answers.
    QTRY_VERIFY_WITH_TIMEOUT(requestsOnUnitChannel().contains("GSHV\r") && probe->online(), 5000);
}

void TestFlood::portsTakenByAnotherProgram()
{
    // Another program holds both ports, without sharing them.
    QUdpSocket holdsUnicast;
    QUdpSocket holdsBroadcast;
    QVERIFY(holdsUnicast.bind(QHostAddress::AnyIPv4, UnicastPort, QUdpSocket::DontShareAddress));
    QVERIFY(holdsBroadcast.bind(QHostAddress::AnyIPv4, BroadcastPort, QUdpSocket::DontShareAddress));

    startPolledUnit(); // the window runs on and its poll gets answered
    if (QTest::currentTestFailed())
        return;
    const QList<SimDatagram> log = sim->log();
    QVERIFY(!log.isEmpty());
    for (const SimDatagram &datagram : log) {
        if (datagram.direction == SimDatagram::In && datagram.data == "GSHV\r")
            QVERIFY2(datagram.peerPort != UnicastPort, "commands leave from another local port");
    }
    QVERIFY(probe->unicastSocket()->localPort() != UnicastPort);

    // Discovery works through its own substitute port too.
    QTRY_VERIFY_WITH_TIMEOUT(!probe->ui().m_lstDetectedUnits->findItems(
                                     UnitAddress.toString(), Qt::MatchStartsWith).isEmpty(),
                             6000);
    QVERIFY(probe->broadcastSocket()->localPort() != BroadcastPort);
    // The other program got nothing meant for the window.
    QVERIFY(!holdsUnicast.hasPendingDatagrams());
    QVERIFY(!holdsBroadcast.hasPendingDatagrams());
}

void TestFlood::workstationWithoutIPv4_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("ringer test") << QStringLiteral("sonalertTest");
    QTest::newRow("LED state toggle") << QStringLiteral("ledStateToggle");
}

// Runs itself again in a private namespace that has only loopback.
void TestFlood::workstationWithoutIPv4()
{
    QFETCH(QString, command);
    bool hasIPv4 = false;
    for (const QHostAddress &address : QNetworkInterface::allAddresses())
        hasIPv4 = hasIPv4 || (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback());

    if (hasIPv4) {
        const QString privateLan = QStringLiteral(HVTK_PRIVATE_LAN);
        QVERIFY2(QFileInfo(privateLan).isExecutable(), qPrintable(privateLan));
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(privateLan, {"--host", "none", "--", QCoreApplication::applicationFilePath(),
                                 QStringLiteral("workstationWithoutIPv4:%1").arg(QTest::currentDataTag())});
        QVERIFY(child.waitForFinished(30000));
        const QByteArray output = child.readAll();
        if (child.exitCode() == 3)
            QSKIP("no namespace without an address can be made here");
        QVERIFY2(child.exitCode() == 0 && output.contains("Totals: 3 passed"), output.constData());
        return;
    }

    openWindow();
    QVERIFY(probe->ui().m_txtIP->text().isEmpty());
    QVERIFY(!probe->pollTimer()->isActive());
    QTest::qWait(300); // the scan runs; the window lives on
    runSlot(qPrintable(command));
    QCOMPARE(probe->ui().statusbar->currentMessage(),
             QStringLiteral("Status: Unable to send.  Invalid IP."));
    QVERIFY(!probe->awaitingReply());
    QVERIFY(!probe->pollTimer()->isActive());
}

QTEST_MAIN(TestFlood)
#include "tst_flood.moc"
