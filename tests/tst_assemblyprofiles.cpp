#include "monitor/assemblyprofiles.h"

#include <QtTest>

// The assembly table: indicators in use, intercom and UltimoX class per box
// index.
class TestAssemblyProfiles : public QObject
{
    Q_OBJECT

private slots:
    void profiles_data();
    void profiles();
};

void TestAssemblyProfiles::profiles_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("intercom");
    QTest::addColumn<bool>("ultimoX");
    QTest::addColumn<bool>("compatibility");

    QTest::newRow("HV4") << 0 << 4 << false << false << true;
    QTest::newRow("HV4X") << 1 << 4 << false << true << false;
    QTest::newRow("HV4K") << 2 << 4 << false << true << false;
    QTest::newRow("HV12X") << 3 << 12 << false << true << false;
    QTest::newRow("HV16") << 4 << 16 << false << false << true;
    QTest::newRow("HV16K") << 5 << 16 << false << true << false;
    QTest::newRow("HV32K") << 6 << 32 << false << true << false;
    QTest::newRow("TK4K") << 7 << 4 << true << true << false;
    QTest::newRow("TK12X") << 8 << 12 << true << true << false;
    QTest::newRow("TK32K") << 9 << 32 << true << true << false;
    QTest::newRow("UNKNOWN") << 10 << 32 << false << false << false;
    QTest::newRow("empty box") << -1 << 32 << false << true << false;
    QTest::newRow("past the list") << 11 << 32 << false << true << false;
    QTest::newRow("far past") << 255 << 32 << false << true << false;
}

void TestAssemblyProfiles::profiles()
{
    QFETCH(int, index);
    QFETCH(int, count);
    QFETCH(bool, intercom);
    QFETCH(bool, ultimoX);
    QFETCH(bool, compatibility);

    const Assembly::Profile p = Assembly::profile(index);
    QCOMPARE(int(p.indicatorCount), count);
    QCOMPARE(p.intercom, intercom);
    QCOMPARE(p.ultimoXClass, ultimoX);
    QCOMPARE(Assembly::isCompatibilityModel(index), compatibility);
}

QTEST_GUILESS_MAIN(TestAssemblyProfiles)
#include "tst_assemblyprofiles.moc"
