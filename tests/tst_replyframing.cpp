// Taking a unit-channel datagram apart, the result codes and the log row,
// without a window.
#include "channel/logrow.h"
#include "channel/replyframing.h"
#include "channel/resultcodes.h"

#include <QtTest>

class TestReplyFraming : public QObject
{
    Q_OBJECT

private slots:
    void split_data();
    void split();
    void lineBreaksAndTabs();
    void statusHeader_data();
    void statusHeader();
    void sender_data();
    void sender();
    void resultCodes_data();
    void resultCodes();
    void statusLines();
    void logRowEscapesReply();
};

void TestReplyFraming::split_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("header");
    QTest::addColumn<int>("blockSize");

    const QByteArray text = "HV4K v2.09\r";
    const QByteArray padded = text + QByteArray(32 - text.size(), '\0');
    QTest::newRow("empty") << QByteArray() << "" << 0;
    QTest::newRow("starts with NUL") << QByteArray("\0R\r", 3) << "" << 0;
    QTest::newRow("acknowledgement") << QByteArray("R\r") << "R\r" << 0;
    QTest::newRow("218: all header text")
        << QByteArray(218, 'A') << QString(218, 'A') << 0;
    QTest::newRow("218 up to the NUL")
        << padded + QByteArray(218 - 32, 'x') << "HV4K v2.09\r" << 0;
    QTest::newRow("219: header and block")
        << QByteArray(219, 'A') << QString(32, 'A') << 187;
    QTest::newRow("240") << padded + QByteArray(208, 'x') << "HV4K v2.09\r" << 208;
    QTest::newRow("251") << padded + QByteArray(219, 'x') << "HV4K v2.09\r" << 219;
    QTest::newRow("utf-8") << QByteArray("E04 \xC3\xA9t\xC3\xA9") << QString::fromUtf8("E04 \xC3\xA9t\xC3\xA9") << 0;
}

void TestReplyFraming::split()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, header);
    QFETCH(int, blockSize);

    const ReplyFraming::Reply reply = ReplyFraming::split(datagram);
    QCOMPARE(reply.header, header);
    QCOMPARE(reply.block.size(), blockSize);
    if (blockSize > 0)
        QCOMPARE(reply.block, datagram.mid(32));
}

void TestReplyFraming::lineBreaksAndTabs()
{
    QCOMPARE(ReplyFraming::withoutLineBreaks(QStringLiteral("\r\nR\t\r")), QStringLiteral("R\t"));
    QCOMPARE(ReplyFraming::withoutControlWhitespace(QStringLiteral("\r\nR\t\r")), QStringLiteral("R"));
    QCOMPARE(ReplyFraming::withoutLineBreaks(QStringLiteral("\r")), QString());
}

void TestReplyFraming::statusHeader_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<bool>("status");
    QTest::newRow("HV") << "HV4K v2.09" << true;
    QTest::newRow("TK") << "TK12X v1.20" << true;
    QTest::newRow("Halvo") << "Halvo v1.05" << true;
    QTest::newRow("lower case") << "hv4k v2.09" << false;
    QTest::newRow("Halv") << "Halv" << false;
    QTest::newRow("H") << "H" << false;
    QTest::newRow("R") << "R" << false;
    QTest::newRow("leading blank") << " HV4" << false;
}

void TestReplyFraming::statusHeader()
{
    QFETCH(QString, header);
    QFETCH(bool, status);
    QCOMPARE(ReplyFraming::isStatusHeader(header), status);
}

void TestReplyFraming::sender_data()
{
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("same IPv4") << "192.168.0.254" << "192.168.0.254" << true;
    QTest::newRow("mapped sender") << "::ffff:192.168.0.254" << "192.168.0.254" << true;
    QTest::newRow("mapped unit") << "192.168.0.254" << "::ffff:192.168.0.254" << true;
    QTest::newRow("other host") << "192.168.0.253" << "192.168.0.254" << false;
    QTest::newRow("other mapped host") << "::ffff:192.168.0.253" << "192.168.0.254" << false;
    QTest::newRow("null unit") << "192.168.0.254" << "" << false;
    QTest::newRow("unit is a name") << "192.168.0.254" << "unit.local" << false;
    QTest::newRow("IPv6") << "fe80::1" << "fe80::1" << true;
}

void TestReplyFraming::sender()
{
    QFETCH(QString, sender);
    QFETCH(QString, unit);
    QFETCH(bool, accepted);
    QCOMPARE(ReplyFraming::sentByUnit(QHostAddress(sender), QHostAddress(unit)), accepted);
}

void TestReplyFraming::resultCodes_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("unsupported");
    QTest::newRow("E00") << "E00" << "Communication Error" << true;
    QTest::newRow("E01") << "E01" << "Hardware Error" << true;
    QTest::newRow("E04") << "E04" << "Invalid/Unsupported Command" << true;
    QTest::newRow("E06") << "E06" << "Invalid Command Argument" << true;
    QTest::newRow("E11") << "E11" << "Command unavailable" << true;
    QTest::newRow("E12") << "E12" << "Invalid station filter (ID/IP/MAC) or no match (unicast)" << false;
    QTest::newRow("E13") << "E13" << "Kiro Link Not Active" << false;
    QTest::newRow("E14") << "E14" << "Invalid Port" << false;
    QTest::newRow("E15") << "E15" << "Invalid Port (mismatch)" << false;
    QTest::newRow("E16") << "E16" << "Invalid MAC (mismatch in Vendor range)" << false;
    QTest::newRow("E05 unknown") << "E05" << "" << false;
    QTest::newRow("e04 lower case") << "e04" << "" << false;
    QTest::newRow("empty") << "" << "" << false;
}

void TestReplyFraming::resultCodes()
{
    QFETCH(QString, code);
    QFETCH(QString, text);
    QFETCH(bool, unsupported);
    QCOMPARE(ResultCodes::failureText(code), text);
    QCOMPARE(ResultCodes::marksFirmwareUnsupported(code), unsupported);
    QVERIFY(!ResultCodes::isSuccess(code));
}

void TestReplyFraming::statusLines()
{
    QVERIFY(ResultCodes::isSuccess(QStringLiteral("R")));
    QVERIFY(!ResultCodes::isSuccess(QStringLiteral("RR")));
    QCOMPARE(ResultCodes::successStatus(QStringLiteral("R")), QStringLiteral("Status: Success [R]"));
    QCOMPARE(ResultCodes::failureStatus(QStringLiteral("E05"), QString()), QStringLiteral("Status: Failed [E05: ]"));
    QCOMPARE(ResultCodes::failureStatus(QStringLiteral("E13"), QStringLiteral("x"), false),
             QStringLiteral("Status: Failed [E13: "));
}

void TestReplyFraming::logRowEscapesReply()
{
    const QTime time(9, 5, 7);
    QCOMPARE(LogRow::rawReply(time, QStringLiteral("E04")),
             QStringLiteral("<tr><td style=\"color: grey;\">09:05:07</td><td> E04<h0D></td></tr>"));
    QCOMPARE(LogRow::rawReply(time, QStringLiteral("<img src=x> & \"q\"")),
             QStringLiteral("<tr><td style=\"color: grey;\">09:05:07</td><td> "
                            "&lt;img src=x&gt; &amp; &quot;q&quot;<h0D></td></tr>"));
}

QTEST_GUILESS_MAIN(TestReplyFraming)
#include "tst_replyframing.moc"
