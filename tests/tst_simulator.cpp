#include "channel/commandtext.h"
#include "channel/statuslayout.h"
#include "sim/statusencoder.h"
#include "sim/unitsimulator.h"

#include <QNetworkDatagram>
#include <QtTest>

namespace {

const QHostAddress Workstation("192.168.0.17");
const QHostAddress UnitA("192.168.0.254");
const QHostAddress UnitB("192.168.0.21");
constexpr int ShortRestartMs = 300;
constexpr int QuietMs = 150; // how long to listen for answers that must not come

struct Reply
{
    QByteArray data;
    QHostAddress sender;
    quint16 senderPort = 0;
};

// The workstation's side: one socket that sends requests and collects answers.
class Station
{
public:
    Station()
    {
        QVERIFY(m_socket.bind(Workstation, 0));
    }

    QList<Reply> exchange(const QByteArray &request, const QHostAddress &to, int expected = 1)
    {
        m_socket.writeDatagram(request, to, UnitSimulator::UnitPort);
        return collect(expected);
    }

    QList<Reply> collect(int expected)
    {
        QList<Reply> replies;
        QElapsedTimer clock;
        clock.start();
        const int limit = expected > 0 ? 2000 : QuietMs;
        while (clock.elapsed() < limit && (expected == 0 || replies.size() < expected)) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            read(replies);
        }
        // Anything beyond what was expected would show up now.
        QTest::qWait(expected > 0 ? 25 : 0);
        read(replies);
        return replies;
    }

    QByteArray ask(const QByteArray &request, const QHostAddress &to)
    {
        const QList<Reply> replies = exchange(request, to);
        return replies.size() == 1 ? replies.first().data : QByteArray("<none or many>");
    }

    quint16 port() const { return m_socket.localPort(); }

private:
    void read(QList<Reply> &replies)
    {
        while (m_socket.hasPendingDatagrams()) {
            const QNetworkDatagram d = m_socket.receiveDatagram();
            replies.append({d.data(), d.senderAddress(), quint16(d.senderPort())});
        }
    }

    QUdpSocket m_socket;
};

QByteArray field(const QByteArray &reply, const StatusLayout::Field &f)
{
    return reply.mid(f.offset, f.size);
}

quint32 number(const QByteArray &reply, const StatusLayout::Field &f)
{
    quint32 value = 0;
    for (const char c : field(reply, f))
        value = value << 8 | uchar(c);
    return value;
}

QByteArray text(const QByteArray &reply, const StatusLayout::Field &f)
{
    const QByteArray bytes = field(reply, f);
    const int nul = bytes.indexOf('\0');
    return nul < 0 ? bytes : bytes.left(nul);
}

QStringList senders(const QList<Reply> &replies)
{
    QStringList result;
    for (const Reply &reply : replies)
        result << reply.sender.toString();
    result.sort();
    return result;
}

} // namespace

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void answersEveryCommand_data();
    void answersEveryCommand();
    void statusReplyCarriesState();
    void answersFromOwnAddressToSender();
    void broadcastReachesUnitsOfItsSubnet_data();
    void broadcastReachesUnitsOfItsSubnet();
    void ignoresOtherAddresses();
    void commandsChangeState();
    void refusesBadArguments_data();
    void refusesBadArguments();
    void restartsStaySilent_data();
    void restartsStaySilent();
    void defaultsRestoreSettings();
    void assemblyChangesModel();
    void manualLinkMovesUnit();
    void manualLinkRefusesWrongPort_data();
    void manualLinkRefusesWrongPort();
    void misbehaviours_data();
    void misbehaviours();
    void oneShotRepliesAndErrors();
    void liveChanges();
    void refusesUnitsItCannotRun_data();
    void refusesUnitsItCannotRun();
    void twoSimulatorsShareTheHost();
    void twinAnswersAtItsUnitsAddress();

private:
    UnitSimulator *m_sim = nullptr;
    SimulatedUnit *m_a = nullptr; // 192.168.0.254 HV4K 2.09
    SimulatedUnit *m_b = nullptr; // 192.168.0.21 TK12X 2.12
};

void TestSimulator::init()
{
    m_sim = new UnitSimulator;
    m_a = m_sim->addUnit(UnitConfig{UnitA, "HV4K", "2.09"});
    m_b = m_sim->addUnit(UnitConfig{UnitB, "TK12X", "2.12"});
    QVERIFY2(m_a && m_b, qPrintable(m_sim->errorString()));
    m_a->setRestartTime(ShortRestartMs);
    m_b->setRestartTime(ShortRestartMs);
}

void TestSimulator::cleanup()
{
    delete m_sim;
    m_sim = nullptr;
}

void TestSimulator::answersEveryCommand_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    using namespace CommandText;
    QTest::newRow("version query") << versionQuery() << QByteArray("HV4K v2.09\r");
    QTest::newRow("identify") << identify() << QByteArray("R\r");
    for (quint8 step = 1; step <= 4; ++step)
        QTest::addRow("LED toggle step %d", step) << ledStateToggle(step) << QByteArray("R\r");
    QTest::newRow("ringer") << ringerTest() << QByteArray("R\r");
    QTest::newRow("mute") << handsetMute(false) << QByteArray("R\r");
    QTest::newRow("unmute") << handsetMute(true) << QByteArray("R\r");
    QTest::newRow("LED cycle") << ledCycleToggle() << QByteArray("R\r");
    QTest::newRow("counter reset") << clearPowerCycleCounter() << QByteArray("R\r");
    QTest::newRow("intensity 55") << ledIntensity(55) << QByteArray("R\r");
    QTest::newRow("intensity 0") << ledIntensity(0) << QByteArray("R\r");
    QTest::newRow("control MAC") << macAddress("02:4B:7D:00:12:34", false) << QByteArray("R\r");
    QTest::newRow("Dante MAC") << macAddress("00:1D:C1:07:12:34", true) << QByteArray("R\r");
    QTest::newRow("link start") << linkStart() << QByteArray("R\r");
    QTest::newRow("station name") << stationName("Lobby") << QByteArray("R\r");
    QTest::newRow("Dante name") << danteName("Lobby-D") << QByteArray("R\r");
    QTest::newRow("unknown mnemonic") << QByteArray("FOO\r") << QByteArray("E04\r");
    QTest::newRow("custom ?V") << custom("?V") << QByteArray("HV4K v2.09\r");
    QTest::newRow("terminator alone") << QByteArray("\r") << QByteArray("E04\r");
    QTest::newRow("lower case") << QByteArray("gshv\r") << QByteArray("E04\r");
}

void TestSimulator::answersEveryCommand()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    Station station;
    QCOMPARE(station.ask(request, UnitA), reply);
}

void TestSimulator::statusReplyCarriesState()
{
    Station station;
    const QByteArray reply = station.ask(CommandText::statusRequest(), UnitA);
    QCOMPARE(reply.size(), StatusLayout::FullReplySize);
    QCOMPARE(reply.left(StatusLayout::HeaderSize), QByteArray("HV4K v2.09\r") + QByteArray(21, '\0'));
    QCOMPARE(text(reply, StatusLayout::DanteChipModel), QByteArray("UltimoX2"));
    QCOMPARE(field(reply, StatusLayout::ControlIpCurrent), QByteArray::fromHex("C0A800FE"));
    QCOMPARE(number(reply, StatusLayout::LedIntensity), 100u);

    m_a->setLedIntensity(42);
    QCOMPARE(number(station.ask(CommandText::statusRequest(), UnitA), StatusLayout::LedIntensity), 42u);
}

void TestSimulator::answersFromOwnAddressToSender()
{
    Station station;
    const QList<Reply> replies = station.exchange(CommandText::versionQuery(), UnitB);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies.first().data, QByteArray("TK12X v2.12\r"));
    QCOMPARE(replies.first().sender, UnitB);
    QCOMPARE(replies.first().senderPort, UnitSimulator::UnitPort);
    QVERIFY(m_a->requests().isEmpty());
    QCOMPARE(m_b->requests(), QList<QByteArray>{CommandText::versionQuery()});

    // The log holds the request and the answer, addressed as they travelled.
    QCOMPARE(m_sim->log().size(), 2);
    const SimDatagram in = m_sim->log().at(0);
    const SimDatagram out = m_sim->log().at(1);
    QCOMPARE(in.direction, SimDatagram::In);
    QCOMPARE(in.peer, Workstation);
    QCOMPARE(in.peerPort, station.port());
    QCOMPARE(in.destination, UnitB);
    QCOMPARE(out.direction, SimDatagram::Out);
    QCOMPARE(out.unitAddress, UnitB);
    QCOMPARE(out.data, QByteArray("TK12X v2.12\r"));
    QVERIFY(out.elapsedMs >= in.elapsedMs);
}

void TestSimulator::broadcastReachesUnitsOfItsSubnet_data()
{
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("maskOf21");
    QTest::addColumn<QStringList>("answering");
    const QStringList both{"192.168.0.21", "192.168.0.254"};
    QTest::newRow("subnet broadcast") << "192.168.0.255" << "255.255.255.0" << both;
    QTest::newRow("limited broadcast") << "255.255.255.255" << "255.255.255.0" << both;
    QTest::newRow("limited broadcast, other mask") << "255.255.255.255" << "255.255.255.192" << both;
    // With a /26 mask, 192.168.0.63 is the broadcast of .21's subnet but not of .254's,
    // and 192.168.0.255 is no longer .21's.
    QTest::newRow("broadcast of a smaller subnet") << "192.168.0.63" << "255.255.255.192"
                                                   << QStringList{"192.168.0.21"};
    QTest::newRow("not the broadcast of the smaller subnet")
        << "192.168.0.255" << "255.255.255.192" << QStringList{"192.168.0.254"};
    QTest::newRow("inside the subnet, not its broadcast") << "192.168.0.127" << "255.255.255.0" << QStringList{};
}

void TestSimulator::broadcastReachesUnitsOfItsSubnet()
{
    QFETCH(QString, destination);
    QFETCH(QString, maskOf21);
    QFETCH(QStringList, answering);
    const quint32 mask = QHostAddress(maskOf21).toIPv4Address();
    m_b->updateStatus([mask](UnitStatus &s) { s.controlSubnetMask = mask; });
    Station station;
    const QList<Reply> replies = station.exchange(CommandText::versionQuery(), QHostAddress(destination),
                                                  answering.size());
    QCOMPARE(senders(replies), answering);
    for (const Reply &reply : replies)
        QCOMPARE(reply.data, reply.sender == UnitA ? QByteArray("HV4K v2.09\r") : QByteArray("TK12X v2.12\r"));
}

void TestSimulator::ignoresOtherAddresses()
{
    Station station;
    for (const char *address : {"192.168.0.99", "192.168.0.17", "192.168.0.22"}) {
        QVERIFY(station.exchange(CommandText::statusRequest(), QHostAddress(address), 0).isEmpty());
    }
    QVERIFY(m_a->requests().isEmpty());
    QVERIFY(m_b->requests().isEmpty());
    QVERIFY(m_sim->sent(m_a).isEmpty() && m_sim->sent(m_b).isEmpty());
}

void TestSimulator::commandsChangeState()
{
    using namespace CommandText;
    Station station;
    station.ask(ledStateToggle(2), UnitB); // red, all 12 LEDs
    QCOMPARE(m_b->status().ledBits, (std::array<quint8, 4>{0xFF, 0x0F, 0, 0}));
    QCOMPARE(m_b->status().ledColours, (std::array<char, 4>{'R', 'R', 'R', 'R'}));
    station.ask(ledStateToggle(4), UnitB);
    QCOMPARE(m_b->status().ledBits, (std::array<quint8, 4>{}));

    station.ask(ringerTest(), UnitB);
    QVERIFY(m_b->status().ringerOn);
    station.ask(handsetMute(false), UnitB);
    QVERIFY(m_b->status().handsetMuted);
    station.ask(handsetMute(true), UnitB);
    QVERIFY(!m_b->status().handsetMuted);

    station.ask(ledIntensity(55), UnitB);
    QCOMPARE(int(m_b->status().ledIntensity), 55);
    station.ask(ledCycleToggle(), UnitB);
    QVERIFY(m_b->ledCycleInhibited());
    station.ask(identify(), UnitB);
    QCOMPARE(m_b->identifyCount(), 1);

    m_b->updateStatus([](UnitStatus &s) { s.powerCycleCount = 17; });
    station.ask(clearPowerCycleCounter(), UnitB);
    QCOMPARE(m_b->status().powerCycleCount, 0u);

    station.ask(macAddress("02:4B:7D:00:AB:CD", false), UnitB);
    QCOMPARE(m_b->status().controlMacText, QString("02:4B:7D:00:AB:CD"));
    station.ask(macAddress("00:1D:C1:07:AB:CE", true), UnitB);
    QCOMPARE(m_b->status().danteMacText, QString("00:1D:C1:07:AB:CE"));
    const QByteArray reply = station.ask(statusRequest(), UnitB);
    QCOMPARE(field(reply, StatusLayout::DanteMac), QByteArray::fromHex("001DC107ABCE"));
    QCOMPARE(field(reply, StatusLayout::ControlMac), QByteArray::fromHex("024B7D00ABCD"));
    QVERIFY(!m_b->isRestarting());
}

void TestSimulator::refusesBadArguments_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("intensity over 100") << QByteArray("101IB\r") << QByteArray("E06\r");
    QTest::newRow("mute digit 2") << QByteArray("2HMHV\r") << QByteArray("E06\r");
    QTest::newRow("assembly 11") << QByteArray("11PAHV\r") << QByteArray("E06\r");
    QTest::newRow("assembly 0") << QByteArray("0PAHV\r") << QByteArray("E06\r");
    QTest::newRow("counter reset 2") << QByteArray("2RCHV\r") << QByteArray("E06\r");
    QTest::newRow("MAC not hex") << QByteArray("02:4B:7D:00:XY:01MC\r") << QByteArray("E06\r");
    QTest::newRow("MAC template") << QByteArray("00:1D:C1:07::UMC\r") << QByteArray("E06\r");
    QTest::newRow("control MAC other vendor") << QByteArray("00:11:22:33:44:55MC\r") << QByteArray("E16\r");
    QTest::newRow("Dante MAC other vendor") << QByteArray("02:4B:7D:00:44:55UMC\r") << QByteArray("E16\r");
    QTest::newRow("intensity without number") << QByteArray("IB\r") << QByteArray("E04\r");
}

void TestSimulator::refusesBadArguments()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    const UnitStatus before = m_a->status();
    Station station;
    QCOMPARE(station.ask(request, UnitA), reply);
    QCOMPARE(m_a->statusReply(), StatusEncoder::encode(m_a->versionText(), before));
    QVERIFY(!m_a->isRestarting());
}

void TestSimulator::restartsStaySilent_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("reboot") << CommandText::reboot();
    QTest::newRow("Ultimo redetection") << CommandText::redetectUltimo();
    QTest::newRow("defaults") << CommandText::loadDefaults();
    QTest::newRow("firmware update mode") << CommandText::firmwareUpdateMode();
    QTest::newRow("assembly") << CommandText::assembly(2);
}

void TestSimulator::restartsStaySilent()
{
    QFETCH(QByteArray, request);
    Station station;
    m_a->updateStatus([](UnitStatus &s) { s.powerCycleCount = 7; });
    QSignalSpy finished(m_a, &SimulatedUnit::restartFinished);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(station.ask(request, UnitA), QByteArray("R\r"));
    QVERIFY(m_a->isRestarting());
    QVERIFY(station.exchange(CommandText::versionQuery(), UnitA, 0).isEmpty());
    // The other unit is not affected.
    QCOMPARE(station.ask(CommandText::versionQuery(), UnitB), QByteArray("TK12X v2.12\r"));
    QVERIFY(finished.wait(2000));
    QVERIFY2(clock.elapsed() >= ShortRestartMs - 20, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!station.ask(CommandText::versionQuery(), UnitA).isEmpty());
    QCOMPARE(m_a->status().powerCycleCount, 8u);
    QCOMPARE(m_a->restartCount(), 1);
}

void TestSimulator::defaultsRestoreSettings()
{
    Station station;
    const UnitStatus factory = m_a->status();
    m_a->setNamesMismatched();
    m_a->setLedIntensity(20);
    m_a->setDipSwitch(2, true);
    m_a->updateStatus([](UnitStatus &s) {
        s.qsysCorePort = 1234;
        s.networkStatus = ControlStaticAddress;
        s.controlIpStored = 0x0A000001;
    });
    QCOMPARE(station.ask(CommandText::loadDefaults(), UnitA), QByteArray("R\r"));
    QSignalSpy finished(m_a, &SimulatedUnit::restartFinished);
    QVERIFY(finished.wait(2000));
    const UnitStatus &s = m_a->status();
    QCOMPARE(s.danteName, factory.danteName);
    QCOMPARE(s.localName, factory.localName);
    QCOMPARE(int(s.ledIntensity), 100);
    QCOMPARE(int(s.qsysCorePort), 4099);
    QCOMPARE(int(s.networkStatus), 0);
    QCOMPARE(s.controlIpStored, factory.controlIpStored);
    QVERIFY(!s.dipSwitchOff[1]); // a switch is hardware: defaults leave it
    QCOMPARE(s.powerCycleCount, factory.powerCycleCount + 1);
}

void TestSimulator::assemblyChangesModel()
{
    Station station;
    QCOMPARE(station.ask(CommandText::assembly(7), UnitA), QByteArray("R\r")); // TK4K
    QSignalSpy finished(m_a, &SimulatedUnit::restartFinished);
    QVERIFY(finished.wait(2000));
    QCOMPARE(m_a->model(), QString("TK4K"));
    const QByteArray reply = station.ask(CommandText::statusRequest(), UnitA);
    QVERIFY(reply.startsWith("TK4K v2.09\r"));
    QCOMPARE(number(reply, StatusLayout::QsysCorePort), 5099u);
    // The Dante image and chip are in the hardware: they stay those of the HV4K.
    QCOMPARE(text(reply, StatusLayout::DanteImageProduct), QByteArray("HALVO"));
    QVERIFY(text(reply, StatusLayout::DanteName).startsWith("TK4K-"));
}

void TestSimulator::manualLinkMovesUnit()
{
    using namespace CommandText;
    Station station;
    const QHostAddress moved("192.168.0.50");
    QCOMPARE(station.ask(linkStart(), UnitA), QByteArray("R\r"));
    QCOMPARE(station.ask(stationName("Lobby north"), UnitA), QByteArray("R\r"));
    QCOMPARE(station.ask(danteName("LOBBY-N"), UnitA), QByteArray("R\r"));
    const QStringList addresses{"192.168.0.50", "255.255.255.0", "192.168.0.1", "10.0.0.50",
                                "255.0.0.0", "10.0.0.1", "192.168.0.10"};
    QCOMPARE(station.ask(linkAddresses(addresses, 4012), UnitA), QByteArray("R\r"));
    QVERIFY(m_a->isRestarting());
    QSignalSpy finished(m_a, &SimulatedUnit::restartFinished);
    QVERIFY(finished.wait(2000));

    QCOMPARE(m_a->address(), moved);
    QVERIFY(station.exchange(statusRequest(), UnitA, 0).isEmpty());
    const QList<Reply> replies = station.exchange(statusRequest(), moved);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies.first().sender, moved);
    const QByteArray reply = replies.first().data;
    QCOMPARE(field(reply, StatusLayout::ControlIpCurrent), QByteArray::fromHex("C0A80032"));
    QCOMPARE(field(reply, StatusLayout::ControlIpStored), QByteArray::fromHex("C0A80032"));
    QCOMPARE(field(reply, StatusLayout::DanteIp), QByteArray::fromHex("0A000032"));
    QCOMPARE(field(reply, StatusLayout::DanteSubnetMask), QByteArray::fromHex("FF000000"));
    QCOMPARE(field(reply, StatusLayout::QsysCoreIp), QByteArray::fromHex("C0A8000A"));
    QCOMPARE(number(reply, StatusLayout::StationId), 12u);
    QCOMPARE(text(reply, StatusLayout::LocalName), QByteArray("Lobby north"));
    QCOMPARE(text(reply, StatusLayout::DanteName), QByteArray("LOBBY-N"));
    QVERIFY(number(reply, StatusLayout::NetworkStatus) & ControlStaticAddress);

    // Broadcasts now reach it at its new address.
    QCOMPARE(senders(station.exchange(versionQuery(), QHostAddress("192.168.0.255"), 2)),
             (QStringList{"192.168.0.21", "192.168.0.50"}));
}

void TestSimulator::manualLinkRefusesWrongPort_data()
{
    QTest::addColumn<bool>("intercom");
    QTest::addColumn<int>("port");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("paging, intercom port") << false << 5012 << QByteArray("E15\r");
    QTest::newRow("paging, station 0") << false << 4000 << QByteArray("E14\r");
    QTest::newRow("paging, station 999") << false << 4999 << QByteArray("E14\r");
    QTest::newRow("paging, station 998") << false << 4998 << QByteArray("R\r");
    QTest::newRow("intercom, paging port") << true << 4012 << QByteArray("E15\r");
    QTest::newRow("intercom, station 1") << true << 5001 << QByteArray("R\r");
}

void TestSimulator::manualLinkRefusesWrongPort()
{
    QFETCH(bool, intercom);
    QFETCH(int, port);
    QFETCH(QByteArray, reply);
    const QHostAddress unit = intercom ? UnitB : UnitA;
    const QStringList addresses{unit.toString(), "255.255.255.0", "192.168.0.1", "10.0.0.50",
                                "255.0.0.0", "10.0.0.1", "192.168.0.10"};
    Station station;
    QCOMPARE(station.ask(CommandText::linkAddresses(addresses, port), unit), reply);
    QCOMPARE(m_sim->unit(unit)->isRestarting(), reply == "R\r");
}

void TestSimulator::misbehaviours_data()
{
    QTest::addColumn<QString>("behaviour");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("replyLength"); // -1: no reply
    QTest::addColumn<QByteArray>("replyStart");
    QTest::newRow("silent, status") << "silent" << QByteArray("GSHV\r") << -1 << QByteArray();
    QTest::newRow("silent, version") << "silent" << QByteArray("?V\r") << -1 << QByteArray();
    QTest::newRow("old firmware") << "old" << QByteArray("GSHV\r") << 4 << QByteArray("E04\r");
    QTest::newRow("old firmware keeps ?V") << "old" << QByteArray("?V\r") << 11 << QByteArray("HV4K v2.09\r");
    QTest::newRow("header only") << "length=32" << QByteArray("GSHV\r") << 32 << QByteArray("HV4K v2.09\r\0", 12);
    QTest::newRow("truncated block") << "length=240" << QByteArray("GSHV\r") << 240 << QByteArray("HV4K");
    QTest::newRow("LED colours") << "length=255" << QByteArray("GSHV\r") << 255 << QByteArray("HV4K");
    QTest::newRow("feature byte") << "length=256" << QByteArray("GSHV\r") << 256 << QByteArray("HV4K");
    QTest::newRow("bare results") << "bare" << QByteArray("PIHV\r") << 1 << QByteArray("R");
    QTest::newRow("bare errors") << "bare" << QByteArray("NOPE\r") << 3 << QByteArray("E04");
}

void TestSimulator::misbehaviours()
{
    QFETCH(QString, behaviour);
    QFETCH(QByteArray, request);
    QFETCH(int, replyLength);
    QFETCH(QByteArray, replyStart);
    UnitBehaviour b = m_a->behaviour();
    b.silent = behaviour == "silent";
    b.statusRequestSupported = behaviour != "old";
    b.carriageReturnAfterResult = behaviour != "bare";
    if (behaviour.startsWith("length="))
        b.statusReplyLength = behaviour.mid(7).toInt();
    m_a->setBehaviour(b);

    Station station;
    const QList<Reply> replies = station.exchange(request, UnitA, replyLength < 0 ? 0 : 1);
    if (replyLength < 0) {
        QVERIFY(replies.isEmpty());
        QCOMPARE(m_a->requests().size(), 1); // heard, not answered
        return;
    }
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies.first().data.size(), replyLength);
    QVERIFY(replies.first().data.startsWith(replyStart));
}

void TestSimulator::oneShotRepliesAndErrors()
{
    Station station;
    m_a->setNextReply("E13\r");
    QCOMPARE(station.ask(CommandText::statusRequest(), UnitA), QByteArray("E13\r"));
    QCOMPARE(station.ask(CommandText::statusRequest(), UnitA).size(), StatusLayout::FullReplySize);

    m_a->setNextReply(QByteArray("")); // an empty datagram
    QCOMPARE(station.ask(CommandText::versionQuery(), UnitA), QByteArray(""));

    m_a->setNextCommandError("E06");
    // Queries are not commands: the error waits for the next command.
    QCOMPARE(station.ask(CommandText::versionQuery(), UnitA), QByteArray("HV4K v2.09\r"));
    QCOMPARE(station.ask(CommandText::ledIntensity(30), UnitA), QByteArray("E06\r"));
    QCOMPARE(int(m_a->status().ledIntensity), 100); // the failed command did nothing
    QCOMPARE(station.ask(CommandText::ledIntensity(30), UnitA), QByteArray("R\r"));
    QCOMPARE(int(m_a->status().ledIntensity), 30);
}

void TestSimulator::liveChanges()
{
    const UnitStatus before = m_b->status();
    m_b->setLiveChanges(10);
    QTRY_VERIFY_WITH_TIMEOUT(m_b->status().inputBits != before.inputBits
                                 && m_b->status().ledBits != before.ledBits, 2000);
    m_b->setLiveChanges(0);
    const UnitStatus stopped = m_b->status();
    QTest::qWait(60);
    QCOMPARE(m_b->status().inputBits, stopped.inputBits);
    // Only the inputs and LEDs a TK12X has change.
    QCOMPARE(int(m_b->status().inputBits[2]), 0xFF);
    QCOMPARE(int(m_b->status().ledBits[3]), 0);
}

void TestSimulator::refusesUnitsItCannotRun_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("errorPart");
    QTest::newRow("address taken") << "192.168.0.21" << "HV4" << "two units";
    QTest::newRow("not local") << "10.1.2.3" << "HV4" << "cannot bind";
    QTest::newRow("IPv6") << "::1" << "HV4" << "not an IPv4";
    QTest::newRow("unknown model") << "192.168.0.30" << "HV5" << "unknown model";
}

void TestSimulator::refusesUnitsItCannotRun()
{
    QFETCH(QString, address);
    QFETCH(QString, model);
    QFETCH(QString, errorPart);
    QCOMPARE(m_sim->addUnit(UnitConfig{QHostAddress(address), model, "2.09"}), nullptr);
    QVERIFY2(m_sim->errorString().contains(errorPart), qPrintable(m_sim->errorString()));
    QCOMPARE(m_sim->units().size(), 2);
}

void TestSimulator::twoSimulatorsShareTheHost()
{
    UnitSimulator second;
    QCOMPARE(second.addUnit(UnitConfig{UnitA, "HV4", "2.09"}), nullptr);
    QVERIFY(second.errorString().contains("two units"));
    QVERIFY(second.addUnit(UnitConfig{QHostAddress("192.168.0.30"), "TK4K", "2.12"}));
    Station station;
    const QList<Reply> replies = station.exchange(CommandText::versionQuery(), QHostAddress("192.168.0.255"), 3);
    QCOMPARE(senders(replies), (QStringList{"192.168.0.21", "192.168.0.254", "192.168.0.30"}));
    QCOMPARE(station.ask(CommandText::versionQuery(), UnitA), QByteArray("HV4K v2.09\r"));

    // Removing a unit frees its address for another.
    m_sim->removeUnit(m_a);
    m_a = nullptr;
    QVERIFY(station.exchange(CommandText::versionQuery(), UnitA, 0).isEmpty());
    QVERIFY(second.addUnit(UnitConfig{UnitA, "HV16", "2.09"}));
    QCOMPARE(station.ask(CommandText::versionQuery(), UnitA), QByteArray("HV16 v2.09\r"));
}

// Two units at one address: both answer one request, the first unit first,
// each with its own control MAC; a broadcast reaches both; removing the first
// unit removes the twin with it.
void TestSimulator::twinAnswersAtItsUnitsAddress()
{
    SimulatedUnit *twin = m_sim->addTwin(m_a, UnitConfig{QHostAddress(), "TK4K", "2.12"});
    QVERIFY2(twin, qPrintable(m_sim->errorString()));
    QCOMPARE(m_sim->addTwin(twin, UnitConfig{QHostAddress(), "TK4K", "2.12"}), nullptr);
    QCOMPARE(m_sim->unit(UnitA), m_a);
    QCOMPARE(twin->status().controlMacText, QString("02:4B:7D:00:80:FE"));
    QCOMPARE(twin->status().danteMacText, QString("00:1D:C1:07:80:FE"));
    twin->setControlMac({0x02, 0x4B, 0x7D, 0x00, 0x12, 0x34});

    Station station;
    const QList<Reply> replies = station.exchange(CommandText::statusRequest(), UnitA, 2);
    QCOMPARE(replies.size(), 2);
    QCOMPARE(replies[0].sender, UnitA);
    QCOMPARE(replies[1].sender, UnitA);
    QCOMPARE(replies[0].data.left(10), QByteArray("HV4K v2.09"));
    QCOMPARE(field(replies[0].data, StatusLayout::ControlMac), QByteArray::fromHex("024B7D0000FE"));
    QCOMPARE(replies[1].data.left(11), QByteArray("TK4K v2.12\r"));
    QCOMPARE(field(replies[1].data, StatusLayout::ControlMac), QByteArray::fromHex("024B7D001234"));
    QCOMPARE(twin->requests(), QList<QByteArray>{CommandText::statusRequest()});
    QVERIFY(m_b->requests().isEmpty());

    const QList<Reply> broadcast = station.exchange(CommandText::versionQuery(), QHostAddress("192.168.0.255"), 3);
    QCOMPARE(senders(broadcast), (QStringList{"192.168.0.21", "192.168.0.254", "192.168.0.254"}));

    m_sim->removeUnit(m_a);
    m_a = nullptr;
    QCOMPARE(m_sim->units(), QList<SimulatedUnit *>{m_b});
    QVERIFY(station.exchange(CommandText::versionQuery(), UnitA, 0).isEmpty());
}

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
