#include "channel/addresstext.h"
#include "discovery/scanmask.h"
#include "discovery/unitanswers.h"

#include <QtTest>

// The scan's subnet arithmetic and the detected-unit list rules, without a
// window.
class TestDiscoveryLogic : public QObject
{
    Q_OBJECT

private slots:
    void maskSteps_data();
    void maskSteps();
    void stepWrapsAfterSeven();
    void ipv4Value_data();
    void ipv4Value();
    void broadcastAddress_data();
    void broadcastAddress();

    void unitAnswers_data();
    void unitAnswers();
    void lineText_data();
    void lineText();
    void lineKeepsWholeDatagram();
    void lineAddress_data();
    void lineAddress();
    void lineLife();
};

void TestDiscoveryLogic::maskSteps_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("mask");
    QTest::newRow("0") << 0 << "255.255.255.0";
    QTest::newRow("1") << 1 << "255.255.255.128";
    QTest::newRow("2") << 2 << "255.255.255.192";
    QTest::newRow("3") << 3 << "255.255.255.224";
    QTest::newRow("4") << 4 << "255.255.255.240";
    QTest::newRow("5") << 5 << "255.255.255.248";
    QTest::newRow("6") << 6 << "255.255.255.252";
    QTest::newRow("7") << 7 << "255.255.255.254";
}

void TestDiscoveryLogic::maskSteps()
{
    QFETCH(int, step);
    QFETCH(QString, mask);
    QCOMPARE(ScanMask::maskText(quint8(step)), mask);
    QCOMPARE(AddressText::ipv4(0xFFFFFF00u | ScanMask::lastOctet(quint8(step))), mask);
}

void TestDiscoveryLogic::stepWrapsAfterSeven()
{
    QList<int> steps;
    quint8 step = ScanMask::RestartStep;
    for (int i = 0; i < 10; ++i) {
        step = ScanMask::nextStep(step);
        steps << step;
    }
    QCOMPARE(steps, (QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 0, 1}));
}

void TestDiscoveryLogic::ipv4Value_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint32>("value");
    QTest::newRow("dotted") << "192.168.5.77" << 0xC0A8054Du;
    QTest::newRow("mask") << "255.255.255.192" << 0xFFFFFFC0u;
    QTest::newRow("zero") << "0.0.0.0" << 0u;
    QTest::newRow("empty") << "" << 0u;
    QTest::newRow("word") << "unit" << 0u;
    QTest::newRow("bad octet") << "192.168.0.256" << 0u;
    QTest::newRow("IPv6") << "fe80::1" << 0u;
    QTest::newRow("IPv4-mapped") << "::ffff:10.20.0.5" << 0x0A140005u;
}

void TestDiscoveryLogic::ipv4Value()
{
    QFETCH(QString, text);
    QFETCH(quint32, value);
    QCOMPARE(ScanMask::ipv4Value(text), value);
}

void TestDiscoveryLogic::broadcastAddress_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("broadcast");
    QTest::newRow("/24") << "192.168.5.77" << "255.255.255.0" << "192.168.5.1" << "192.168.5.255";
    QTest::newRow("/26") << "192.168.5.77" << "255.255.255.192" << "192.168.5.1" << "192.168.5.63";
    QTest::newRow("/26 high octet") << "192.168.5.200" << "255.255.255.192" << "192.168.5.1" << "192.168.5.63";
    QTest::newRow("/31") << "192.168.0.254" << "255.255.255.254" << "192.168.0.1" << "192.168.0.1";
    QTest::newRow("/22") << "10.20.0.17" << "255.255.252.0" << "10.20.0.1" << "10.20.3.255";
    QTest::newRow("global") << "192.168.0.254" << "0.0.0.0" << "192.168.0.1" << "255.255.255.255";
    QTest::newRow("mask not an address") << "192.168.0.254" << "255.255" "x" << "192.168.0.1" << "255.255.255.255";
    QTest::newRow("unit not an address") << "" << "255.255.255.0" << "0.0.0.1" << "0.0.0.255";
}

void TestDiscoveryLogic::broadcastAddress()
{
    QFETCH(QString, unit);
    QFETCH(QString, mask);
    QFETCH(QString, base);
    QFETCH(QString, broadcast);
    const quint32 baseValue = ScanMask::baseAddress(ScanMask::ipv4Value(unit));
    QCOMPARE(AddressText::ipv4(baseValue), base);
    QCOMPARE(AddressText::ipv4(ScanMask::broadcastAddress(baseValue, ScanMask::ipv4Value(mask))),
             broadcast);
}

void TestDiscoveryLogic::unitAnswers_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("isAnswer");
    QTest::newRow("paging") << QByteArray("HV4K v2.09") << true;
    QTest::newRow("intercom") << QByteArray("TK12X v1.3\r") << true;
    QTest::newRow("old paging") << QByteArray("Halvo v1.0") << true;
    QTest::newRow("family abbreviation only") << QByteArray("HV") << true;
    QTest::newRow("one letter") << QByteArray("H") << false;
    QTest::newRow("lower case") << QByteArray("hv4 v2.09") << false;
    QTest::newRow("leading space") << QByteArray(" HV4 v2.09") << false;
    QTest::newRow("other device") << QByteArray("XR v1.0") << false;
    QTest::newRow("own query") << QByteArray("?V\r") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestDiscoveryLogic::unitAnswers()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, isAnswer);
    QCOMPARE(UnitAnswers::isUnitAnswer(datagram), isAnswer);
}

void TestDiscoveryLogic::lineText_data()
{
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("address");
    QTest::newRow("short address") << "192.168.0.9" << QByteArray("HV4K v2.09")
                                   << "192.168.0.9      HV4K v2.09" << "192.168.0.9";
    QTest::newRow("longest address") << "192.168.100.254" << QByteArray("TK4K v1.2")
                                     << "192.168.100.254  TK4K v1.2" << "192.168.100.254";
    QTest::newRow("mapped sender") << "::ffff:192.168.0.21" << QByteArray("HV16 v2.1")
                                   << "192.168.0.21     HV16 v2.1" << "192.168.0.21";
    QTest::newRow("carriage return kept") << "10.0.0.1" << QByteArray("HV4 v1.0\r")
                                          << "10.0.0.1         HV4 v1.0\r" << "10.0.0.1";
    QTest::newRow("UTF-8") << "10.0.0.1" << QByteArray("Halvo \xc3\xa9")
                           << QString::fromUtf8("10.0.0.1         Halvo \xc3\xa9") << "10.0.0.1";
    QTest::newRow("IPv6 sender") << "fe80::1234:5678:9abc:def0" << QByteArray("HV4")
                                 << "fe80::1234:5678:9abc:def0  HV4" << "fe80::1234:5678:9abc:def0";
}

void TestDiscoveryLogic::lineText()
{
    QFETCH(QString, sender);
    QFETCH(QByteArray, datagram);
    QFETCH(QString, line);
    QFETCH(QString, address);
    QCOMPARE(UnitAnswers::lineText(QHostAddress(sender), datagram), line);
    QCOMPARE(UnitAnswers::lineAddress(line), address);
}

void TestDiscoveryLogic::lineKeepsWholeDatagram()
{
    const QByteArray datagram("HV4 v1.0\0extra", 14);
    const QString line = UnitAnswers::lineText(QHostAddress("192.168.0.5"), datagram);
    QCOMPARE(line.size(), 17 + 14);
    QVERIFY(line.endsWith(QLatin1String("extra")));
    QVERIFY(line != UnitAnswers::lineText(QHostAddress("192.168.0.5"), QByteArray("HV4 v1.0\0other", 14)));
}

void TestDiscoveryLogic::lineAddress_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("address");
    QTest::newRow("line") << "192.168.0.21     HV4K v2.09" << "192.168.0.21";
    QTest::newRow("no answer text") << "192.168.0.21" << "192.168.0.21";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("leading space") << " 192.168.0.21" << "";
}

void TestDiscoveryLogic::lineAddress()
{
    QFETCH(QString, line);
    QFETCH(QString, address);
    QCOMPARE(UnitAnswers::lineAddress(line), address);
}

// A line answered once: black for one tick, red for four, gone at the sixth.
void TestDiscoveryLogic::lineLife()
{
    int age = UnitAnswers::FreshAge;
    QStringList life;
    for (int tick = 1; tick <= 6; ++tick) {
        const UnitAnswers::TickAgeing ageing = UnitAnswers::ageOnTick(age);
        if (ageing.remove) {
            life << QStringLiteral("gone");
            break;
        }
        life << (ageing.turnRed ? QStringLiteral("red") : QStringLiteral("black"));
        age = ageing.age;
    }
    QCOMPARE(life, (QStringList{"black", "red", "red", "red", "red", "gone"}));
}

QTEST_GUILESS_MAIN(TestDiscoveryLogic)
#include "tst_discoverylogic.moc"
