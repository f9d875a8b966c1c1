#include "app/defaultaddress.h"

#include <QtTest>

// The address the tool offers at start, for the hosts a technician may sit at.
class TestDefaultAddress : public QObject
{
    Q_OBJECT

private slots:
    void rule_data();
    void rule();
};

void TestDefaultAddress::rule_data()
{
    QTest::addColumn<QStringList>("interfaces");
    QTest::addColumn<QString>("expected");
    QTest::newRow("factory subnet") << QStringList{"127.0.0.1", "192.168.0.17"} << "192.168.0.254";
    QTest::newRow("factory subnet, unit address itself")
        << QStringList{"192.168.0.254"} << "192.168.0.254";
    QTest::newRow("other private subnet") << QStringList{"127.0.0.1", "10.1.2.3"} << "10.1.2.3";
    QTest::newRow("neighbouring subnet is not the factory one")
        << QStringList{"192.168.01.5"} << "192.168.1.5";
    QTest::newRow("192.168.10.x is not 192.168.0.x") << QStringList{"192.168.10.4"} << "192.168.10.4";
    QTest::newRow("first IPv4 wins") << QStringList{"10.0.0.5", "192.168.0.17"} << "10.0.0.5";
    QTest::newRow("IPv6 before IPv4 skipped") << QStringList{"::1", "fe80::1", "172.16.4.9"}
                                             << "172.16.4.9";
    QTest::newRow("IPv6 only") << QStringList{"::1", "fe80::1"} << QString();
    QTest::newRow("loopback only") << QStringList{"127.0.0.1"} << QString();
    QTest::newRow("no interfaces") << QStringList{} << QString();
    QTest::newRow("other loopback addresses count")
        << QStringList{"127.0.0.1", "127.0.1.1"} << "127.0.1.1";
}

void TestDefaultAddress::rule()
{
    QFETCH(QStringList, interfaces);
    QFETCH(QString, expected);
    QList<QHostAddress> addresses;
    for (const QString &text : interfaces)
        addresses << QHostAddress(text);
    QCOMPARE(defaultUnitAddress(addresses), expected);
}

QTEST_GUILESS_MAIN(TestDefaultAddress)
#include "tst_defaultaddress.moc"
