// The files a production line hands over: the master list of control MACs
// (its range boundaries) and a ledger written as JSON lines by earlier
// stations, read back whole or torn.
#include "gate/jsonlledger.h"
#include "gate/macpool.h"

#include <QtTest>

namespace {

// "02:4B:7D:00:00:XX" for "XX"; each MAC of a list line written that way.
QByteArray listText(const QStringList &lines)
{
    QStringList macs;
    for (const QString &line : lines) {
        QStringList ends = line.split(QLatin1Char('-'));
        for (QString &end : ends)
            end = end.size() == 2 ? QStringLiteral("02:4B:7D:00:00:") + end : end;
        macs << ends.join(QLatin1Char('-'));
    }
    return macs.join(QLatin1Char('\n')).toUtf8();
}

// Every MAC of the list in the order it is handed out.
QStringList handedOut(const MacPool &pool)
{
    QSet<quint64> taken;
    QStringList macs;
    while (const std::optional<quint64> mac = pool.firstFree(taken)) {
        taken << *mac;
        macs << MacText::text(*mac).right(2);
        if (macs.size() > 64)
            break;
    }
    return macs;
}

// A ledger line as a station writes it (its members in this order).
QByteArray ledgerLine(const QString &mac, const QString &dante, const QString &outcome,
                      const QString &reason = QString())
{
    QString line = QStringLiteral(R"({"address":"192.168.0.51","danteMac":"%1","mac":"%2","model":"HV4K",)"
                                  R"("outcome":"%3",)")
                       .arg(dante, mac, outcome);
    if (!reason.isEmpty())
        line += QStringLiteral(R"("reason":"%1",)").arg(reason);
    return (line + QStringLiteral(R"("station":"line3-pc","time":"2026-12-09T10:00:00.125Z"})")).toUtf8();
}

// line|whole|mac|danteMac|outcome of each entry.
QStringList entryLines(const JsonlLedger::Contents &contents)
{
    QStringList lines;
    for (const JsonlLedger::Entry &e : contents.entries)
        lines << QStringLiteral("%1|%2|%3|%4|%5").arg(e.line).arg(e.whole ? "whole" : "salvaged", e.mac, e.danteMac,
                                                                   e.outcome);
    return lines;
}

} // namespace

class TestLedgerFiles : public QObject
{
    Q_OBJECT

private slots:
    void masterList_data();
    void masterList();
    void jsonLinesLedger_data();
    void jsonLinesLedger();
    void jsonLinesLedgerFields();
};

// A line "XX" or "XX-YY" stands for 02:4B:7D:00:00:XX(-...:YY).
void TestLedgerFiles::masterList_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("error");        // empty: the list is valid
    QTest::addColumn<QStringList>("handedOut"); // the last byte of each MAC, in order

    QTest::newRow("range starts on the previous range's last MAC")
        << QStringList{"01-09", "09-0F"} << "pool:2: 02:4B:7D:00:00:09 is listed already on line 1" << QStringList();
    QTest::newRow("range ends on the next range's first MAC")
        << QStringList{"09-0F", "01-09"} << "pool:2: 02:4B:7D:00:00:09 is listed already on line 1" << QStringList();
    QTest::newRow("MAC on a range's last")
        << QStringList{"01-09", "09"} << "pool:2: 02:4B:7D:00:00:09 is listed already on line 1" << QStringList();
    QTest::newRow("MAC on a range's first")
        << QStringList{"01-09", "01"} << "pool:2: 02:4B:7D:00:00:01 is listed already on line 1" << QStringList();
    QTest::newRow("range over a later MAC")
        << QStringList{"05", "01-09"} << "pool:2: 02:4B:7D:00:00:05 is listed already on line 1" << QStringList();
    QTest::newRow("range across two")
        << QStringList{"01-03", "# gap", "07-09", "03-07"} << "pool:4: 02:4B:7D:00:00:07 is listed already on line 3"
        << QStringList();
    QTest::newRow("same MAC twice") << QStringList{"04", "04"} << "pool:2: 02:4B:7D:00:00:04 is listed already on line 1"
                                    << QStringList();
    QTest::newRow("backwards by one") << QStringList{"05-04"} << "pool:1: the range 02:4B:7D:00:00:05-02:4B:7D:00:00:04 runs backwards"
                                      << QStringList();
    QTest::newRow("just below the accepted MACs")
        << QStringList{"02:4B:7C:FF:FF:FF-02:4B:7D:00:00:01"}
        << "pool:1: 02:4B:7C:FF:FF:FF is not a control MAC the checklist accepts (02:4B:7D:00:00:00-02:4B:7D:00:FF:FF)"
        << QStringList();
    QTest::newRow("just above the accepted MACs")
        << QStringList{"02:4B:7D:00:FF:FF-02:4B:7D:01:00:00"}
        << "pool:1: 02:4B:7D:01:00:00 is not a control MAC the checklist accepts (02:4B:7D:00:00:00-02:4B:7D:00:FF:FF)"
        << QStringList();

    QTest::newRow("adjacent ranges") << QStringList{"01-03", "04-05"} << ""
                                     << QStringList{"01", "02", "03", "04", "05"};
    QTest::newRow("adjacent, listed in reverse") << QStringList{"04-05", "01-03"} << ""
                                                 << QStringList{"04", "05", "01", "02", "03"};
    QTest::newRow("one-MAC range between two")
        << QStringList{"01-02", "# next", "03-03", "04"} << "" << QStringList{"01", "02", "03", "04"};
    QTest::newRow("first and last accepted MACs")
        << QStringList{"02:4B:7D:00:FF:FE-02:4B:7D:00:FF:FF", "02:4B:7D:00:00:00"} << ""
        << QStringList{"FE", "FF", "00"};
}

void TestLedgerFiles::masterList()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, error);
    QFETCH(QStringList, handedOut);

    MacPool pool;
    QString why;
    const bool valid = pool.parse(QStringLiteral("pool"), QString::fromUtf8(listText(lines)), &why);
    QCOMPARE(why, error);
    QCOMPARE(valid, error.isEmpty());
    QCOMPARE(::handedOut(pool), handedOut);
}

void TestLedgerFiles::jsonLinesLedger_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("entries");  // see entryLines()
    QTest::addColumn<QStringList>("problems");

    const QString d1 = QStringLiteral("00:1D:C1:07:00:31");
    const QString d2 = QStringLiteral("00:1D:C1:07:00:32");
    const QString d3 = QStringLiteral("00:1D:C1:07:00:33");
    const QByteArray first = ledgerLine("02:4B:7D:00:40:00", d1, "programmed");
    const QByteArray second = ledgerLine("02:4B:7D:00:40:01", d2, "programmed");
    const QByteArray third = ledgerLine("02:4B:7D:00:40:02", d3, "programmed");
    const QByteArray failed = ledgerLine("02:4B:7D:00:40:01", d2, "failed", "no acknowledgement");
    const QString e1 = "02:4B:7D:00:40:00|" + d1;
    const QString e2 = "02:4B:7D:00:40:01|" + d2;
    const QString e3 = "02:4B:7D:00:40:02|" + d3;

    QTest::newRow("whole ledger") << first + '\n' + second + '\n' + failed + '\n'
                                  << QStringList{"1|whole|" + e1 + "|programmed", "2|whole|" + e2 + "|programmed",
                                                 "3|whole|" + e2 + "|failed"}
                                  << QStringList();
    QTest::newRow("empty file") << QByteArray() << QStringList() << QStringList();
    // Cut inside "model": address, danteMac and mac are whole.
    QTest::newRow("torn last line that holds its MAC")
        << first + '\n' + second.left(second.indexOf("\"model\"") + 4)
        << QStringList{"1|whole|" + e1 + "|programmed", "2|salvaged|" + e2 + "|"}
        << QStringList{"ledger.jsonl:2: a torn last line; kept as used: 02:4B:7D:00:40:01"};
    QTest::newRow("torn inside its MAC")
        << first + '\n' + second.left(second.indexOf("\"mac\"") + 20)
        << QStringList{"1|whole|" + e1 + "|programmed"}
        << QStringList{"ledger.jsonl:2: a torn last line; no MAC can be read from it"};
    QTest::newRow("torn just before its newline")
        << first + '\n' + second.chopped(1) + '\n'
        << QStringList{"1|whole|" + e1 + "|programmed", "2|salvaged|" + e2 + "|programmed"}
        << QStringList{"ledger.jsonl:2: not a ledger line; kept as used: 02:4B:7D:00:40:01"};
    QTest::newRow("whole last line without its newline")
        << first + '\n' + second << QStringList{"1|whole|" + e1 + "|programmed", "2|whole|" + e2 + "|programmed"}
        << QStringList();
    // The next station wrote its line onto the fragment, then went on.
    QTest::newRow("line written onto a torn one")
        << first + '\n' + second.left(second.indexOf("\"model\"") + 4) + third + '\n' + failed + '\n'
        << QStringList{"1|whole|" + e1 + "|programmed", "2|salvaged|" + e2 + "|", "2|whole|" + e3 + "|programmed",
                       "3|whole|" + e2 + "|failed"}
        << QStringList{"ledger.jsonl:2: not a ledger line; kept as used: 02:4B:7D:00:40:01, 02:4B:7D:00:40:02"};
    QTest::newRow("CRLF, blank lines, lower-case MAC")
        << "\r\n" + first + "\r\n\r\n" + ledgerLine("02:4b:7d:00:40:0a", d2, "programmed") + "\r\n"
        << QStringList{"2|whole|" + e1 + "|programmed", "4|whole|02:4B:7D:00:40:0A|" + d2 + "|programmed"}
        << QStringList();
    QTest::newRow("lines that name no MAC")
        << QByteArray("not json\n{\"mac\":\"02:4B:7D:00:40\"}\n[\"02:4B:7D:00:40:00\"]\n{}\n")
        << QStringList()
        << QStringList{"ledger.jsonl:1: not a ledger line; no MAC can be read from it",
                       "ledger.jsonl:2: not a ledger line; no MAC can be read from it",
                       "ledger.jsonl:3: not a ledger line; no MAC can be read from it",
                       "ledger.jsonl:4: not a ledger line; no MAC can be read from it"};
    QTest::newRow("two MACs in one torn piece")
        << QByteArray("{\"mac\":\"02:4B:7D:00:40:05\",\"mac\":\"02:4B:7D:00:40:06\",\"model\":\"HV")
        << QStringList{"1|salvaged|02:4B:7D:00:40:06||", "1|salvaged|02:4B:7D:00:40:05||"}
        << QStringList{"ledger.jsonl:1: a torn last line; kept as used: 02:4B:7D:00:40:06, 02:4B:7D:00:40:05"};
    // Zeros where a file system lost the end of the line.
    QTest::newRow("torn line with NUL bytes")
        << first.left(40) + QByteArray(8, '\0') + second.mid(40, 60) + '\n' + third + '\n'
        << QStringList{"1|salvaged|02:4B:7D:00:40:01||", "2|whole|" + e3 + "|programmed"}
        << QStringList{"ledger.jsonl:1: not a ledger line; kept as used: 02:4B:7D:00:40:01"};
    QTest::newRow("MAC of a nested object")
        << QByteArray("{\"unit\":{\"mac\":\"02:4B:7D:00:40:07\"}}\n")
        << QStringList{"1|salvaged|02:4B:7D:00:40:07||"}
        << QStringList{"ledger.jsonl:1: not a ledger line; kept as used: 02:4B:7D:00:40:07"};
}

void TestLedgerFiles::jsonLinesLedger()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, problems);

    const JsonlLedger::Contents contents = JsonlLedger::read(QStringLiteral("ledger.jsonl"), bytes);
    QCOMPARE(entryLines(contents), entries);
    QCOMPARE(contents.problems, problems);
}

// Every member of a whole line, and what a torn one still holds.
void TestLedgerFiles::jsonLinesLedgerFields()
{
    const QByteArray failed =
        ledgerLine("02:4B:7D:00:40:01", "00:1D:C1:07:00:32", "failed", "Status: Failed [E16: \\\"MAC\\\"]");
    const QByteArray torn = failed.left(failed.indexOf("\"station\"") + 12);
    const JsonlLedger::Contents contents = JsonlLedger::read(QStringLiteral("l"), failed + '\n' + torn);
    QCOMPARE(contents.entries.size(), std::size_t(2));
    const JsonlLedger::Entry &whole = contents.entries[0];
    QCOMPARE(whole.address, QStringLiteral("192.168.0.51"));
    QCOMPARE(whole.model, QStringLiteral("HV4K"));
    QCOMPARE(whole.station, QStringLiteral("line3-pc"));
    QCOMPARE(whole.reason, QStringLiteral("Status: Failed [E16: \"MAC\"]"));
    QCOMPARE(whole.time, QDateTime(QDate(2026, 12, 9), QTime(10, 0, 0, 125), Qt::UTC));
    const JsonlLedger::Entry &salvaged = contents.entries[1];
    QCOMPARE(salvaged.whole, false);
    QCOMPARE(salvaged.outcome, QStringLiteral("failed"));
    QCOMPARE(salvaged.reason, whole.reason);
    QCOMPARE(salvaged.model, QStringLiteral("HV4K"));
    QCOMPARE(salvaged.station, QString());
    QVERIFY(!salvaged.time.isValid());
}

QTEST_MAIN(TestLedgerFiles)
#include "tst_ledgerfiles.moc"
