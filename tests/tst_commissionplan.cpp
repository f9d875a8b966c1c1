// The plan of hvtk-commission: a plan as a spreadsheet saves it, read by the
// parser; every kind of plan error through the built program, each on its
// line with exit status 65 and not one datagram sent; input that is no plan.
#include "commission/planfile.h"
#include "sim/unitsimulator.h"

#include <QtTest>

namespace {

const QString Program = QStringLiteral(HVTK_COMMISSION_PROGRAM);
const QString Unit = QStringLiteral("192.168.0.21");

const QByteArray Header = "controlMac,controlIp,controlMask,controlGateway,localName,danteIp,danteMask,"
                          "danteGateway,danteName,qsysCoreIp,stationId";

// A valid row, with some cells replaced: {column, text}.
QByteArray row(const QList<QPair<QString, QString>> &changes = {}, int unit = 1)
{
    QStringList cells{QStringLiteral("02:4b:7d:00:00:%1").arg(unit, 2, 10, QLatin1Char('0')),
                      QStringLiteral("192.168.0.%1").arg(100 + unit),
                      "255.255.255.0",
                      "192.168.0.1",
                      QStringLiteral("Lobby %1").arg(unit),
                      QStringLiteral("192.168.1.%1").arg(100 + unit),
                      "255.255.255.0",
                      "0.0.0.0",
                      QStringLiteral("Lobby-%1").arg(unit),
                      "192.168.0.200",
                      QString::number(unit)};
    const QStringList names = QString::fromLatin1(Header).split(QLatin1Char(','));
    for (const auto &change : changes)
        cells[names.indexOf(change.first)] = change.second;
    return cells.join(QLatin1Char(',')).toUtf8();
}

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run runProgram(const QStringList &arguments)
{
    QProcess process;
    process.start(Program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

} // namespace

class TestCommissionPlan : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void spreadsheetPlanParses();
    void planErrorOnItsLine_data();
    void planErrorOnItsLine();
    void noPlanAtAll_data();
    void noPlanAtAll();

private:
    // Runs the program on `plan` against the simulated unit; nothing may reach it.
    Run runOnPlan(const QByteArray &plan, const QStringList &options = {});

    std::unique_ptr<UnitSimulator> sim;
    QTemporaryDir dir;
};

void TestCommissionPlan::init()
{
    sim = std::make_unique<UnitSimulator>();
    QVERIFY(sim->addUnit({QHostAddress(Unit), QStringLiteral("HV4K"), QStringLiteral("2.09")}));
}

Run TestCommissionPlan::runOnPlan(const QByteArray &plan, const QStringList &options)
{
    QFile file(dir.filePath(QStringLiteral("plan.csv")));
    if (!file.open(QIODevice::WriteOnly) || file.write(plan) != plan.size())
        return {};
    file.close();
    const Run run = runProgram(options + QStringList{file.fileName(), Unit, QStringLiteral("--discover")});
    QTest::qWait(200); // anything sent would have reached the unit by now
    return run;
}

// Saved by a spreadsheet: byte-order mark, CRLF, columns in another order
// with spaces around their names and around unquoted cells, a quoted name
// holding a comma and a quote, one holding a line break (so the next row
// starts two lines on), a blank line, a comment, an empty row of commas.
void TestCommissionPlan::spreadsheetPlanParses()
{
    const QByteArray plan =
        "\xEF\xBB\xBF"
        " stationId , controlMac,controlIp,controlMask,controlGateway,localName,danteIp,danteMask,danteGateway,"
        "danteName,qsysCoreIp,notes\r\n"
        "# commissioning of hall B\r\n"
        "12 , 02-4B-7D-00-00-15 ,192.168.0.121,255.255.255.0,192.168.0.1,\"Lobby, east\",192.168.1.21,"
        "255.255.255.0,0.0.0.0,\"Lobby \"\"E\"\"\",192.168.0.100,\r\n"
        "\r\n"
        ",,,,,,,,,,,\r\n"
        "13,02:4b:7d:00:00:16,192.168.0.122,255.255.255.0,192.168.0.1,\"Hall\r\nnorth\",192.168.1.22,"
        "255.255.255.0,0.0.0.0,Hall-N,192.168.0.100,\"two\r\nlines\"\r\n"
        "14,02:4B:7D:00:00:17,192.168.0.123,255.255.255.0,192.168.0.1,Bar,192.168.1.23,255.255.255.0,"
        "0.0.0.0,Bar-D,192.168.0.100,";
    const PlanFile::Read read = PlanFile::parse(plan);
    QVERIFY(read.isText);
    QVERIFY(read.columnsFound);
    QCOMPARE(read.errors.size(), 0);
    QCOMPARE(read.rows.size(), 3);
    QCOMPARE(read.rows[0].line, 3);
    QCOMPARE(read.rows[1].line, 6);
    QCOMPARE(read.rows[2].line, 9); // the row before spans lines 6 to 8
    const PlanFields &first = read.rows[0].fields;
    QCOMPARE(first[PlanColumns::StationId], QStringLiteral("12"));
    QCOMPARE(first[PlanColumns::ControlMac], QStringLiteral("02-4B-7D-00-00-15"));
    QCOMPARE(first[PlanColumns::LocalName], QStringLiteral("Lobby, east"));
    QCOMPARE(first[PlanColumns::DanteName], QStringLiteral("Lobby \"E\""));
    QCOMPARE(first[PlanColumns::QsysCoreIp], QStringLiteral("192.168.0.100"));
    QCOMPARE(read.rows[1].fields[PlanColumns::LocalName], QStringLiteral("Hall\r\nnorth"));
    QCOMPARE(read.rows[2].fields[PlanColumns::DanteName], QStringLiteral("Bar-D"));

    // What the template writes reads back the same.
    const QList<QStringList> cells{{"a, b", "say \"hi\"", " padded", "plain"}};
    const QByteArray written = PlanFile::write({"controlMac", "localName", "danteName", "stationId"}, cells);
    QCOMPARE(written, QByteArray("controlMac,localName,danteName,stationId\r\n"
                                 "\"a, b\",\"say \"\"hi\"\"\",\" padded\",plain\r\n"));
}

void TestCommissionPlan::planErrorOnItsLine_data()
{
    QTest::addColumn<QByteArray>("plan");
    QTest::addColumn<QStringList>("errors"); // after "PLAN:"

    const QByteArray h = Header + "\n";
    const auto one = [&](const QString &column, const QString &text) { return h + row({{column, text}}) + "\n"; };
    QByteArray header = Header;
    header.replace(",danteGateway", "");
    QTest::newRow("missing column") << header + "\n" + row() << QStringList{"1: missing column \"danteGateway\"",
                                                               "2: 11 cells, more than the 10 columns of the header"};
    QTest::newRow("column twice") << h.trimmed() + ",controlIp\n" + row() + ",x\n"
                                  << QStringList{"1: column \"controlIp\" appears twice"};
    QTest::newRow("MAC") << one("controlMac", "02:4B:7D:00:00")
                         << QStringList{"2: controlMac \"02:4B:7D:00:00\" is not a MAC address (six hexadecimal "
                                        "bytes separated by \":\" or \"-\")"};
    QTest::newRow("leading zero") << one("controlIp", "192.168.0.021")
                                  << QStringList{"2: controlIp \"192.168.0.021\" is not a four-part dotted IPv4 address"};
    QTest::newRow("three parts") << one("danteIp", "192.168.1")
                                 << QStringList{"2: danteIp \"192.168.1\" is not a four-part dotted IPv4 address"};
    QTest::newRow("octet 256") << one("controlGateway", "192.168.0.256")
                               << QStringList{"2: controlGateway \"192.168.0.256\" is not a four-part dotted IPv4 address"};
    QTest::newRow("any") << one("controlIp", "0.0.0.0")
                         << QStringList{"2: controlIp 0.0.0.0 is not the address of one unit",
                                        "2: controlGateway 192.168.0.1 is outside the subnet of 0.0.0.0"};
    QTest::newRow("broadcast") << one("danteIp", "255.255.255.255")
                               << QStringList{"2: danteIp 255.255.255.255 is not the address of one unit"};
    QTest::newRow("multicast") << one("danteIp", "239.1.2.3")
                               << QStringList{"2: danteIp 239.1.2.3 is not the address of one unit"};
    QTest::newRow("loopback") << one("controlIp", "127.0.0.1")
                              << QStringList{"2: controlIp 127.0.0.1 is not the address of one unit",
                                             "2: controlGateway 192.168.0.1 is outside the subnet of 127.0.0.1"};
    QTest::newRow("network address") << one("controlIp", "192.168.0.0")
                                     << QStringList{"2: controlIp 192.168.0.0 is the network or broadcast address "
                                                    "of its subnet"};
    QTest::newRow("subnet broadcast") << one("danteIp", "192.168.1.255")
                                      << QStringList{"2: danteIp 192.168.1.255 is the network or broadcast address "
                                                     "of its subnet"};
    QTest::newRow("mask") << one("danteMask", "255.0.255.0")
                          << QStringList{"2: danteMask 255.0.255.0 is not a contiguous subnet mask"};
    QTest::newRow("gateway outside") << one("controlGateway", "192.168.5.1")
                                     << QStringList{"2: controlGateway 192.168.5.1 is outside the subnet of 192.168.0.101"};
    QTest::newRow("gateway multicast") << one("danteGateway", "224.0.0.1")
                                       << QStringList{"2: danteGateway 224.0.0.1 is neither 0.0.0.0 nor a unicast address"};
    QTest::newRow("core broadcast") << one("qsysCoreIp", "255.255.255.255")
                                    << QStringList{"2: qsysCoreIp 255.255.255.255 is neither 0.0.0.0 nor a unicast address"};
    for (const char *id : {"0", "999", "12a", "-3", ""})
        QTest::newRow(qPrintable(QStringLiteral("station ID \"%1\"").arg(id)))
            << one("stationId", id)
            << QStringList{QStringLiteral("2: stationId \"%1\" is not a whole number from 1 to 998").arg(id)};
    QTest::newRow("station name 65") << one("localName", QString(65, QLatin1Char('n')))
                                     << QStringList{QStringLiteral("2: localName \"%1\" is longer than the unit takes (64 bytes)")
                                                        .arg(QString(65, QLatin1Char('n')))};
    QTest::newRow("Dante name 33") << one("danteName", QString(33, QLatin1Char('d')))
                                   << QStringList{QStringLiteral("2: danteName \"%1\" is longer than the unit takes (32 bytes)")
                                                      .arg(QString(33, QLatin1Char('d')))};
    QTest::newRow("empty name") << one("localName", "") << QStringList{"2: localName is empty"};
    QTest::newRow("control character") << one("danteName", "\"Hall\tB\"")
                                       << QStringList{"2: danteName holds a control character"};
    QTest::newRow("more cells") << h + row() + ",notes\n" << QStringList{"2: 12 cells, more than the 11 columns of the header"};
    QTest::newRow("unclosed quote") << h + row({{"localName", "\"Lobby"}}) + "\n"
                                    << QStringList{"2: a quoted cell is not closed"};
    // Rows two and three clash with row one on the key, the addresses and the Dante name.
    QTest::newRow("same MAC") << h + row() + "\n" + row({{"controlMac", "02-4B-7D-00-00-01"}}, 2) + "\n"
                              << QStringList{"3: controlMac 02-4B-7D-00-00-01 is also on line 2"};
    QTest::newRow("same addresses") << h + row() + "\n# moved\n" + row({{"controlIp", "192.168.0.101"},
                                                                      {"danteIp", "192.168.1.101"}}, 2) + "\n"
                                    << QStringList{"4: controlIp 192.168.0.101 is also on line 2",
                                                   "4: danteIp 192.168.1.101 is also on line 2"};
    QTest::newRow("same Dante name, other case") << h + row() + "\n" + row({{"danteName", "LOBBY-1"}}, 2) + "\n"
                                                 << QStringList{"3: danteName LOBBY-1 is also on line 2"};
    QTest::newRow("all at once") << h + row({{"stationId", "0"}}) + "\n" + row({{"controlMask", "255.255.0.255"}}, 2)
                                        + "\n"
                                 << QStringList{"2: stationId \"0\" is not a whole number from 1 to 998",
                                                "3: controlMask 255.255.0.255 is not a contiguous subnet mask"};
    QTest::newRow("header only") << h << QStringList{"1: no unit row after the header"};
    QTest::newRow("10 MB line") << QByteArray(10 * 1024 * 1024, 'x')
                                << [] {
                                       QStringList missing;
                                       for (const QString &name : QString::fromLatin1(Header).split(QLatin1Char(',')))
                                           missing << QStringLiteral("1: missing column \"%1\"").arg(name);
                                       return missing;
                                   }();
}

void TestCommissionPlan::planErrorOnItsLine()
{
    QFETCH(QByteArray, plan);
    QFETCH(QStringList, errors);
#if defined(__SANITIZE_ADDRESS__)
    // Under AddressSanitizer the parser takes minutes over a 10 MB line (0.4 s
    // in a normal build); the sanitizers' pass is about memory, not time.
    if (plan.size() > 1024 * 1024)
        QSKIP("a 10 MB plan is read in the normal and Qt 6 runs, not under AddressSanitizer");
#endif

    const Run run = runOnPlan(plan, {QStringLiteral("--apply")});
    QCOMPARE(run.exitCode, 65);
    QCOMPARE(run.out, QByteArray());
    QStringList expected;
    for (const QString &error : errors)
        expected << dir.filePath(QStringLiteral("plan.csv")) + QLatin1Char(':') + error;
    QCOMPARE(QString::fromUtf8(run.err).split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
    QCOMPARE(sim->log().size(), 0);
}

void TestCommissionPlan::noPlanAtAll_data()
{
    QTest::addColumn<QByteArray>("plan");
    QTest::addColumn<bool>("exists");
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(char((i * 7919) & 0xFF));
    QTest::newRow("binary") << binary << true;
    QTest::newRow("Latin-1 text") << Header + "\n" + row({{"localName", "Cafe"}}).replace("Cafe", "Caf\xE9") << true;
    QTest::newRow("no file") << QByteArray() << false;
}

// Exit status 66, one line naming the file, nothing sent.
void TestCommissionPlan::noPlanAtAll()
{
    QFETCH(QByteArray, plan);
    QFETCH(bool, exists);
    Run run;
    if (exists) {
        run = runOnPlan(plan, {QStringLiteral("--apply")});
    } else {
        run = runProgram({QStringLiteral("--apply"), dir.filePath(QStringLiteral("none.csv")), Unit});
        QTest::qWait(200);
    }
    QCOMPARE(run.exitCode, 66);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY2(run.err.startsWith("hvtk-commission: " + dir.path().toUtf8()), run.err.constData());
    QCOMPARE(sim->log().size(), 0);
}

QTEST_GUILESS_MAIN(TestCommissionPlan)
#include "tst_commissionplan.moc"
