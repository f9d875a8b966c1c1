#include "channel/commandtext.h"
#include "link/linkfields.h"

#include <QtTest>

class TestLinkFields : public QObject
{
    Q_OBJECT

private slots:
    void addressCheck_data();
    void addressCheck();
    void stationIdCheck_data();
    void stationIdCheck();
    void prefillFromUnsetStatus();
    void fourDatagrams_data();
    void fourDatagrams();
};

void TestLinkFields::addressCheck_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("dotted") << "192.168.0.21" << true;
    QTest::newRow("mask") << "255.255.255.0" << true;
    QTest::newRow("ipv6") << "2001:db8::21" << true;
    QTest::newRow("ipv6 link-local") << "fe80::1" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("octet too big") << "192.168.0.256" << false;
    QTest::newRow("host name") << "unit.local" << false;
    QTest::newRow("trailing dot") << "192.168.0.21." << false;
}

void TestLinkFields::addressCheck()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(LinkFields::isValidAddress(text), valid);
}

void TestLinkFields::stationIdCheck_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("id");
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("1") << "1" << 1;
    QTest::newRow("12") << "12" << 12;
    QTest::newRow("998") << "998" << 998;
    QTest::newRow("999") << "999" << 0;
    QTest::newRow("65537 is not 1") << "65537" << 0;
    QTest::newRow("65548 is not 12") << "65548" << 0;
    QTest::newRow("beyond int") << "4294967308" << 0;
    QTest::newRow("negative") << "-12" << 0;
    QTest::newRow("abc") << "abc" << 0;
    QTest::newRow("number then text") << "12abc" << 0;
    QTest::newRow("hexadecimal") << "0x0C" << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestLinkFields::stationIdCheck()
{
    QFETCH(QString, text);
    QFETCH(int, id);
    QCOMPARE(LinkFields::stationId(text), id);
    QCOMPARE(LinkFields::isValidStationId(text), id != 0);
}

void TestLinkFields::prefillFromUnsetStatus()
{
    const LinkFields::Texts texts = LinkFields::prefilled(UnitStatus());
    QCOMPARE(texts.controlIp, QString());
    QCOMPARE(texts.controlMask, QStringLiteral("255.255.255.0"));
    QCOMPARE(texts.controlGateway, QString());
    QCOMPARE(texts.danteIp, QString());
    QCOMPARE(texts.danteMask, QStringLiteral("255.255.255.0"));
    QCOMPARE(texts.danteGateway, QString());
    QCOMPARE(texts.qsysCoreIp, QString());
    QCOMPARE(texts.stationId, QStringLiteral("0"));
    QCOMPARE(texts.stationName, QString());
    QCOMPARE(texts.danteName, QString());
}

void TestLinkFields::fourDatagrams_data()
{
    QTest::addColumn<QString>("stationId");
    QTest::addColumn<bool>("intercom");
    QTest::addColumn<QString>("controlIp");
    QTest::addColumn<QByteArray>("addresses");
    QTest::addColumn<QString>("stationName");
    QTest::addColumn<QByteArray>("stationDatagram");
    QTest::addColumn<QString>("danteName");
    QTest::addColumn<QByteArray>("danteDatagram");
    const QString lobby = QStringLiteral("Lobby");
    const QString danteName = QStringLiteral("HV4K-123456");
    const QByteArray lobbyDatagram("LobbyNM\r");
    const QByteArray danteDatagram("HV4K-123456ND\r");
    const QString eAcute(QChar(0x00E9));
    const QByteArray eAcuteUtf8("\xC3\xA9");
    QTest::newRow("paging 12") << "12" << false << "192.168.0.30"
                               << QByteArray("192.168.0.30,255.255.255.0,192.168.0.1,"
                                             "192.168.1.30,255.255.255.0,192.168.1.1,"
                                             "192.168.0.100,4012,1,1LX\r")
                               << lobby << lobbyDatagram << danteName << danteDatagram;
    QTest::newRow("intercom 12") << "12" << true << "192.168.0.30"
                                 << QByteArray("192.168.0.30,255.255.255.0,192.168.0.1,"
                                               "192.168.1.30,255.255.255.0,192.168.1.1,"
                                               "192.168.0.100,5012,1,1LX\r")
                                 << lobby << lobbyDatagram << danteName << danteDatagram;
    QTest::newRow("ipv6 as typed") << "998" << false << "2001:DB8:0::30"
                                   << QByteArray("2001:DB8:0::30,255.255.255.0,192.168.0.1,"
                                                 "192.168.1.30,255.255.255.0,192.168.1.1,"
                                                 "192.168.0.100,4998,1,1LX\r")
                                   << lobby << lobbyDatagram << danteName << danteDatagram;
    QTest::newRow("long names cut") << "1" << true << "192.168.0.30"
                                    << QByteArray("192.168.0.30,255.255.255.0,192.168.0.1,"
                                                  "192.168.1.30,255.255.255.0,192.168.1.1,"
                                                  "192.168.0.100,5001,1,1LX\r")
                                    << QString(65, 'n') << QByteArray(64, 'n') + "NM\r"
                                    << eAcute.repeated(40) << eAcuteUtf8.repeated(16) + "ND\r";
}

void TestLinkFields::fourDatagrams()
{
    QFETCH(QString, stationId);
    QFETCH(bool, intercom);
    QFETCH(QString, controlIp);
    QFETCH(QByteArray, addresses);
    QFETCH(QString, stationName);
    QFETCH(QByteArray, stationDatagram);
    QFETCH(QString, danteName);
    QFETCH(QByteArray, danteDatagram);

    LinkFields::Texts texts;
    texts.controlIp = controlIp;
    texts.controlMask = QStringLiteral("255.255.255.0");
    texts.controlGateway = QStringLiteral("192.168.0.1");
    texts.danteIp = QStringLiteral("192.168.1.30");
    texts.danteMask = QStringLiteral("255.255.255.0");
    texts.danteGateway = QStringLiteral("192.168.1.1");
    texts.qsysCoreIp = QStringLiteral("192.168.0.100");
    texts.stationId = stationId;
    texts.stationName = stationName;
    texts.danteName = danteName;

    const QList<QByteArray> datagrams = LinkFields::datagrams(texts, intercom);
    QCOMPARE(datagrams.size(), 4);
    QCOMPARE(datagrams[0], QByteArray("1LI\r"));
    QCOMPARE(datagrams[1], stationDatagram);
    QCOMPARE(datagrams[2], danteDatagram);
    QCOMPARE(datagrams[3], addresses);
}

QTEST_GUILESS_MAIN(TestLinkFields)
#include "tst_linkfields.moc"
