// The push of the four link datagrams to one unit, on a clock the test
// drives: each after the answer to the one before and never sooner than the
// window's 50 ms and 300 ms, one resend after 1 s of silence, a failure after
// the second, a refusal with the window's text, and the last datagram never
// sent again (its answer may be lost to the restart).
#include "commission/linkpush.h"

#include <QtTest>

namespace {

const QList<QByteArray> Datagrams{"1LI\r", "LobbyNM\r", "Lobby-DND\r", "192.168.0.31,...,4012,1,1LX\r"};

} // namespace

class TestLinkPush : public QObject
{
    Q_OBJECT

private slots:
    void answeredPushKeepsTheSpacing();
    void silenceResendsOnceThenFails_data();
    void silenceResendsOnceThenFails();
    void refusalStopsThePush();
};

void TestLinkPush::answeredPushKeepsTheSpacing()
{
    LinkPush push(Datagrams);
    QCOMPARE(push.start(1000), QList<QByteArray>{Datagrams[0]});
    QCOMPARE(push.dueMs(), 2000);
    // The station name goes with the answer to the link start.
    QCOMPARE(push.answer("R", 1004), QList<QByteArray>{Datagrams[1]});
    // The Dante name 50 ms after the answer to the station name, not sooner.
    QCOMPARE(push.answer("R", 1010), QList<QByteArray>());
    QCOMPARE(push.dueMs(), 1060);
    QCOMPARE(push.due(1059), QList<QByteArray>());
    QCOMPARE(push.due(1060), QList<QByteArray>{Datagrams[2]});
    // An answer that comes twice is taken once.
    QCOMPARE(push.answer("R", 1070), QList<QByteArray>());
    QCOMPARE(push.answer("R", 1071), QList<QByteArray>());
    QCOMPARE(push.dueMs(), 1370);
    QCOMPARE(push.due(1369), QList<QByteArray>());
    QCOMPARE(push.due(1370), QList<QByteArray>{Datagrams[3]});
    QCOMPARE(push.state(), LinkPush::State::Sending);
    QCOMPARE(push.answer("R", 1380), QList<QByteArray>());
    QCOMPARE(push.state(), LinkPush::State::Sent);
    QCOMPARE(push.dueMs(), -1);
    QCOMPARE(push.sentCount(), 4);
}

void TestLinkPush::silenceResendsOnceThenFails_data()
{
    QTest::addColumn<int>("silent"); // the datagram the unit never answers
    QTest::addColumn<QString>("failure");
    QTest::newRow("link start") << 0 << "no answer to the link start";
    QTest::newRow("station name") << 1 << "no answer to the station name";
    QTest::newRow("Dante name") << 2 << "no answer to the Dante name";
    QTest::newRow("addresses") << 3 << "";
}

void TestLinkPush::silenceResendsOnceThenFails()
{
    QFETCH(int, silent);
    QFETCH(QString, failure);
    LinkPush push(Datagrams);
    qint64 now = 0;
    QList<QByteArray> sent = push.start(now);
    while (push.state() == LinkPush::State::Sending && sent.size() - 1 < silent) {
        const QList<QByteArray> next = push.answer("R", now += 5);
        sent += next;
        if (next.isEmpty()) // the next one waits for its spacing
            sent += push.due(now = push.dueMs());
    }
    QCOMPARE(sent, Datagrams.mid(0, silent + 1));
    const qint64 sentAt = now;
    QCOMPARE(push.dueMs(), sentAt + 1000);
    QCOMPARE(push.due(sentAt + 999), QList<QByteArray>());
    if (silent == 3) {
        // The unit restarted on it: verification decides, nothing goes again.
        QCOMPARE(push.due(sentAt + 1000), QList<QByteArray>());
        QCOMPARE(push.state(), LinkPush::State::Sent);
        QCOMPARE(push.sentCount(), 4);
        return;
    }
    QCOMPARE(push.due(sentAt + 1000), QList<QByteArray>{Datagrams[silent]});
    QCOMPARE(push.dueMs(), sentAt + 2000);
    QCOMPARE(push.due(sentAt + 1999), QList<QByteArray>());
    QCOMPARE(push.state(), LinkPush::State::Sending);
    QCOMPARE(push.due(sentAt + 2000), QList<QByteArray>());
    QCOMPARE(push.state(), LinkPush::State::Failed);
    QCOMPARE(push.failure(), failure);
    QCOMPARE(push.sentCount(), silent + 2);
}

void TestLinkPush::refusalStopsThePush()
{
    LinkPush push(Datagrams);
    push.start(0);
    push.answer("R", 3);
    QCOMPARE(push.answer("E15", 6), QList<QByteArray>());
    QCOMPARE(push.state(), LinkPush::State::Failed);
    QCOMPARE(push.failure(), QStringLiteral("E15: Invalid Port (mismatch)"));
    QCOMPARE(push.due(5000), QList<QByteArray>());
    QCOMPARE(push.dueMs(), -1);

    LinkPush unknown(Datagrams);
    unknown.start(0);
    unknown.answer("E77", 1);
    QCOMPARE(unknown.failure(), QStringLiteral("E77"));
}

QTEST_GUILESS_MAIN(TestLinkPush)
#include "tst_linkpush.moc"
