// StopSignals: SIGINT and SIGTERM raised in the process arrive as one Qt
// signal carrying their number, the process goes on, and the earlier
// handling is back once the object is gone.
#include "fleet/stopsignals.h"

#include <QSignalSpy>
#include <QtTest>

#include <csignal>

namespace {

// The handler now set for `signalNumber`.
void (*currentHandler(int signalNumber))(int)
{
    struct sigaction now = {};
    ::sigaction(signalNumber, nullptr, &now);
    return now.sa_handler;
}

} // namespace

class TestStopSignals : public QObject
{
    Q_OBJECT

private slots:
    void signalBecomesStopRequest_data();
    void signalBecomesStopRequest();
    void onlyOneAtATime();
};

void TestStopSignals::signalBecomesStopRequest_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<int>("exitStatus");
    QTest::newRow("SIGINT") << SIGINT << 130;
    QTest::newRow("SIGTERM") << SIGTERM << 143;
}

void TestStopSignals::signalBecomesStopRequest()
{
    QFETCH(int, signalNumber);
    QFETCH(int, exitStatus);
    const auto earlier = currentHandler(signalNumber);
    {
        StopSignals stop;
        QVERIFY(stop.isActive());
        QCOMPARE(stop.caughtSignal(), 0);
        QSignalSpy requested(&stop, &StopSignals::stopRequested);
        // Would end this process without the handler.
        QCOMPARE(::raise(signalNumber), 0);
        QVERIFY(requested.wait(2000));
        QCOMPARE(requested.size(), 1);
        QCOMPARE(requested.first().first().toInt(), signalNumber);
        QCOMPARE(stop.caughtSignal(), signalNumber);
        QCOMPARE(StopSignals::exitStatus(stop.caughtSignal()), exitStatus);

        // A second signal is told too; the first one stays the one caught.
        const int other = signalNumber == SIGINT ? SIGTERM : SIGINT;
        QCOMPARE(::raise(other), 0);
        QVERIFY(requested.wait(2000));
        QCOMPARE(requested.last().first().toInt(), other);
        QCOMPARE(stop.caughtSignal(), signalNumber);
    }
    QVERIFY(currentHandler(signalNumber) == earlier);
}

void TestStopSignals::onlyOneAtATime()
{
    StopSignals first;
    StopSignals second;
    QVERIFY(first.isActive());
    QVERIFY(!second.isActive());
    QSignalSpy requested(&first, &StopSignals::stopRequested);
    QCOMPARE(::raise(SIGTERM), 0);
    QVERIFY(requested.wait(2000));
    QCOMPARE(second.caughtSignal(), 0);
}

QTEST_GUILESS_MAIN(TestStopSignals)
#include "tst_stopsignals.moc"
