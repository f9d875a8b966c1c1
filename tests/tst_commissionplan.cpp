// The plan of hvtk-commission: a plan as a spreadsheet saves it, read by the
// parser, with its separators, encodings and limits; every kind of plan
// error through the built program, each on its line with exit status 65 and
// not one datagram sent; input that is no plan; the conflicts judged between
// a plan and the units found.
#include "commission/planfile.h"
#include "commission/siteoutcomes.h"
#include "sim/unitsimulator.h"

#include <QNetworkInterface>
#include <QtTest>

namespace {

const QString Program = QStringLiteral(HVTK_COMMISSION_PROGRAM);
const QString Unit = QStringLiteral("192.168.0.21");

const QByteArray Header = "controlMac,controlIp,controlMask,controlGateway,localName,danteIp,danteMask,"
                          "danteGateway,danteName,qsysCoreIp,stationId";

// The cells of a valid row, with some replaced: {column, text}.
QStringList cellsOf(const QList<QPair<QString, QString>> &changes = {}, int unit = 1)
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
    return cells;
}

// A valid row, with some cells replaced: {column, text}.
QByteArray row(const QList<QPair<QString, QString>> &changes = {}, int unit = 1)
{
    return cellsOf(changes, unit).join(QLatin1Char(',')).toUtf8();
}

// This workstation's first IPv4 address other than loopback (inside the
// suite's private LAN, 192.168.0.17).
QString workstationAddress()
{
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            return address.toString();
    }
    return QString();
}

// The bytes of a literal, NUL bytes included.
template<int N>
QByteArray binary(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

QStringList errorLines(const QList<PlanError> &errors)
{
    QStringList lines;
    for (const PlanError &error : errors)
        lines << QStringLiteral("%1: %2").arg(error.line).arg(error.text);
    return lines;
}

quint32 ipv4(const QString &text)
{
    return QHostAddress(text).toIPv4Address();
}

const QString Core = QStringLiteral("192.168.0.200");

// The identity of the unit with the MAC ending in `unit`.
Identity identity(int unit, const QString &control, const QString &dante, int stationId, const QString &core = Core)
{
    Identity id;
    id.controlMac = QStringLiteral("02:4B:7D:00:00:%1").arg(unit, 2, 16, QLatin1Char('0')).toUpper();
    id.controlIp = ipv4(control);
    id.controlMask = ipv4(QStringLiteral("255.255.0.0"));
    id.localName = QStringLiteral("Room %1").arg(unit);
    id.danteIp = ipv4(dante);
    id.danteMask = id.controlMask;
    id.danteName = QStringLiteral("Room-%1").arg(unit);
    id.qsysCoreIp = ipv4(core);
    id.stationId = stationId;
    return id;
}

FoundUnit found(const QString &address, const Identity &identity, bool intercom = false)
{
    FoundUnit unit;
    unit.address = QHostAddress(address);
    unit.found = true;
    unit.model = intercom ? QStringLiteral("TK12X") : QStringLiteral("HV4K");
    unit.intercom = intercom;
    unit.identity = identity;
    return unit;
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

Q_DECLARE_METATYPE(PlanFile::Content)
Q_DECLARE_METATYPE(QList<QStringList>)
Q_DECLARE_METATYPE(QList<PlannedUnit>)
Q_DECLARE_METATYPE(QList<FoundUnit>)

class TestCommissionPlan : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void spreadsheetPlanParses();
    void spreadsheetSaves_data();
    void spreadsheetSaves();
    void planErrorOnItsLine_data();
    void planErrorOnItsLine();
    void noPlanAtAll_data();
    void noPlanAtAll();
    void conflictsWithFoundUnits_data();
    void conflictsWithFoundUnits();

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
    QCOMPARE(read.content, PlanFile::Content::Csv);
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

// The same two rows as spreadsheets save them, with the separators they
// choose; text in other encodings and workbooks, which are not read; the
// limits of a cell and of a plan.
void TestCommissionPlan::spreadsheetSaves_data()
{
    QTest::addColumn<QByteArray>("plan");
    QTest::addColumn<PlanFile::Content>("content");
    QTest::addColumn<QStringList>("errors"); // "LINE: text"
    QTest::addColumn<QList<QStringList>>("rows");

    const QStringList names = QString::fromLatin1(Header).split(QLatin1Char(','));
    const QStringList first = cellsOf({{"localName", "Hall; B, east"}});
    const QStringList second = cellsOf({{"localName", "Bar\tnorth"}, {"danteName", "Bar D"}}, 2);
    const QList<QStringList> both{first, second};
    // The plan with `separator` between cells and each cell quoted where it
    // holds a separator or, with `quoteAll`, always.
    const auto saved = [&](char separator, bool quoteAll) {
        QByteArray text;
        for (const QStringList &cells : {names, first, second}) {
            QList<QByteArray> line;
            for (const QString &cell : cells) {
                const QByteArray bytes = cell.toUtf8();
                const bool quote = quoteAll || bytes.contains(separator) || bytes.contains(',');
                line << (quote ? '"' + bytes + '"' : bytes);
            }
            text += line.join(separator) + "\r\n";
        }
        return text;
    };
    using Content = PlanFile::Content;
    QTest::newRow("commas") << saved(',', false) << Content::Csv << QStringList() << both;
    QTest::newRow("semicolons") << saved(';', false) << Content::Csv << QStringList() << both;
    QTest::newRow("semicolons, all quoted") << saved(';', true) << Content::Csv << QStringList() << both;
    QTest::newRow("tabs") << saved('\t', false) << Content::Csv << QStringList() << both;
    QTest::newRow("classic Mac line ends") << Header + "\r" + row() + "\r" + row({}, 2) + ",x\r" << Content::Csv
                                           << QStringList{"3: 12 cells, more than the 11 columns of the header"}
                                           << QList<QStringList>{cellsOf(), cellsOf({}, 2)};

    const QByteArray plain = Header + "\n" + row() + "\n" + row({}, 2) + "\n";
    const QString notUtf8 = QStringLiteral("not UTF-8 text; save it as CSV with UTF-8 encoding");
    QTest::newRow("Latin-1") << QByteArray(plain).replace("Lobby 2", "Caf\xE9 2") << Content::NotUtf8
                             << QStringList{"3: " + notUtf8} << QList<QStringList>();
    QTest::newRow("Windows-1252") << QByteArray(plain).replace("Lobby 1", "\x93Lobby\x94 \x80") << Content::NotUtf8
                                  << QStringList{"2: " + notUtf8} << QList<QStringList>();
    const QString utf16 = QChar(QChar::ByteOrderMark) + QString::fromLatin1(plain);
    QTest::newRow("UTF-16") << QByteArray(reinterpret_cast<const char *>(utf16.utf16()), utf16.size() * 2)
                            << Content::NotUtf8 << QStringList{"1: " + notUtf8} << QList<QStringList>();
    QTest::newRow("xlsx") << binary("PK\x03\x04\x14\x00\x06\x00\x08\x00\x00\x00!\x00[Content_Types].xml")
                          << Content::Workbook << QStringList() << QList<QStringList>();
    QTest::newRow("empty ZIP") << binary("PK\x05\x06") + QByteArray(18, '\0') << Content::Workbook
                               << QStringList() << QList<QStringList>();
    QTest::newRow("xls") << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") + QByteArray(504, '\0')
                         << Content::Workbook << QStringList() << QList<QStringList>();

    const QByteArray notes = Header + ",notes\n" + row() + ",";
    const QString tooLong = QStringLiteral("a cell is longer than 4 KB");
    QTest::newRow("4 KB cell") << notes + QByteArray(4096, 'n') + "\n" << Content::Csv << QStringList()
                               << QList<QStringList>{cellsOf()};
    QTest::newRow("4 KB and one byte") << notes + QByteArray(4097, 'n') + "\n" << Content::Csv
                                       << QStringList{"2: " + tooLong} << QList<QStringList>();
    QTest::newRow("quoted over lines") << Header + ",notes\n\n" + row() + ",\"" + QByteArray(3000, 'n') + "\n"
                                              + QByteArray(3000, 'n') + "\"\n"
                                       << Content::Csv << QStringList{"3: " + tooLong} << QList<QStringList>();
    QTest::newRow("10 MB cell") << notes + QByteArray(10 * 1024 * 1024, 'n') << Content::Csv
                                << QStringList{"2: " + tooLong} << QList<QStringList>();

    // Two rows, then comment lines up to exactly 16 MB, the last without a line end.
    QByteArray largest = plain;
    int lastLine = 4;
    while (PlanFile::MaximumSize - largest.size() > 1024) {
        largest += '#' + QByteArray(1022, 'c') + '\n';
        ++lastLine;
    }
    largest += '#' + QByteArray(PlanFile::MaximumSize - largest.size() - 1, 'c');
    QCOMPARE(largest.size(), PlanFile::MaximumSize);
    QTest::newRow("16 MB") << largest << Content::Csv << QStringList() << QList<QStringList>{cellsOf(), cellsOf({}, 2)};
    QTest::newRow("16 MB and one byte")
        << largest + 'c' << Content::Csv
        << QStringList{QStringLiteral("%1: the plan is larger than 16 MB").arg(lastLine)} << QList<QStringList>();
}

void TestCommissionPlan::spreadsheetSaves()
{
    QFETCH(QByteArray, plan);
    QFETCH(PlanFile::Content, content);
    QFETCH(QStringList, errors);
    QFETCH(QList<QStringList>, rows);

    const PlanFile::Read read = PlanFile::parse(plan);
    QCOMPARE(read.content, content);
    QCOMPARE(errorLines(read.errors), errors);
    QList<QStringList> cells;
    for (const PlanRow &row : read.rows)
        cells << QStringList(row.fields.begin(), row.fields.end());
    QCOMPARE(cells, rows);
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
    // Addresses that two rows, or one row's two, would share.
    const QByteArray first = h + row({{"danteGateway", "192.168.1.1"}}) + "\n";
    QTest::newRow("control is another row's Dante")
        << first + row({{"controlIp", "192.168.1.101"}, {"controlMask", "255.255.0.0"}}, 2) + "\n"
        << QStringList{"3: controlIp 192.168.1.101 is also the danteIp on line 2"};
    QTest::newRow("Dante is another row's control") << first + row({{"danteIp", "192.168.0.101"}}, 2) + "\n"
                                                    << QStringList{"3: danteIp 192.168.0.101 is also the controlIp on line 2"};
    QTest::newRow("control and Dante of one row") << one("danteIp", "192.168.0.101")
                                                  << QStringList{"2: danteIp 192.168.0.101 is also this row's controlIp"};
    QTest::newRow("own gateway") << one("danteIp", "192.168.0.1")
                                 << QStringList{"2: danteIp 192.168.0.1 is this row's controlGateway"};
    QTest::newRow("another row's gateway")
        << first + row({{"controlIp", "192.168.1.1"}, {"controlMask", "255.255.0.0"}}, 2) + "\n"
        << QStringList{"3: controlIp 192.168.1.1 is the danteGateway on line 2"};
    QTest::newRow("Q-SYS core") << first + row({{"danteIp", "192.168.0.200"}}, 2) + "\n"
                                << QStringList{"3: danteIp 192.168.0.200 is the qsysCoreIp on line 2"};
    const QString workstation = workstationAddress();
    QTest::newRow("this workstation") << one("controlIp", workstation)
                                      << QStringList{QStringLiteral("2: controlIp %1 is this workstation's address")
                                                         .arg(workstation)};
    // Read in linear time: the sanitizers' run takes it as fast.
    QTest::newRow("10 MB line") << QByteArray(10 * 1024 * 1024, 'x')
                                << QStringList{"1: a cell is longer than 4 KB"};
}

void TestCommissionPlan::planErrorOnItsLine()
{
    QFETCH(QByteArray, plan);
    QFETCH(QStringList, errors);

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
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("error"); // %1: the plan's path
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(char((i * 7919) & 0xFF));
    const QString notUtf8 = QStringLiteral(": not UTF-8 text; save it as CSV with UTF-8 encoding");
    QTest::newRow("binary") << binary << "plan.csv" << "%1:1" + notUtf8;
    QTest::newRow("Latin-1 text") << Header + "\n" + row({{"localName", "Cafe"}}).replace("Cafe", "Caf\xE9")
                                  << "plan.csv" << "%1:2" + notUtf8;
    // A workbook is told by its bytes, whatever its name.
    QTest::newRow("xlsx named .csv") << binary.replace(0, 4, "PK\x03\x04") << "plan.csv"
                                     << "hvtk-commission: %1: a spreadsheet workbook, not CSV text; save it as CSV (UTF-8)";
    QTest::newRow("no file") << QByteArray() << "" << "hvtk-commission: %1: No such file or directory";
}

// Exit status 66, one line naming the file, nothing sent.
void TestCommissionPlan::noPlanAtAll()
{
    QFETCH(QByteArray, plan);
    QFETCH(QString, file);
    QFETCH(QString, error);
    Run run;
    QString path = dir.filePath(QStringLiteral("plan.csv"));
    if (!file.isEmpty()) {
        run = runOnPlan(plan, {QStringLiteral("--apply")});
    } else {
        path = dir.filePath(QStringLiteral("none.csv"));
        run = runProgram({QStringLiteral("--apply"), path, Unit});
        QTest::qWait(200);
    }
    QCOMPARE(run.exitCode, 66);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(QString::fromUtf8(run.err), error.arg(path) + QLatin1Char('\n'));
    QCOMPARE(sim->log().size(), 0);
}

void TestCommissionPlan::conflictsWithFoundUnits_data()
{
    QTest::addColumn<QList<PlannedUnit>>("plan");
    QTest::addColumn<QList<FoundUnit>>("units");
    QTest::addColumn<QStringList>("outcomes"); // "outcome" or "outcome: reason", in judging order

    // Unit 0x0A at .21 is planned to move; unit 0x0B at .22 is in no row.
    const QString a = QStringLiteral("192.168.0.21");
    const QString b = QStringLiteral("192.168.0.22");
    const Identity aNow = identity(0x0A, a, "192.168.1.21", 1);
    const Identity bNow = identity(0x0B, b, "192.168.1.22", 2);
    const auto moveA = [](const QString &control, const QString &dante, int station = 1) {
        return QList<PlannedUnit>{{2, identity(0x0A, control, dante, station)}};
    };
    const QList<FoundUnit> both{found(a, aNow), found(b, bNow)};
    const QString unplanned = QStringLiteral("unplanned");

    QTest::newRow("Dante address where another unit answers")
        << moveA("192.168.0.121", b) << both
        << QStringList{"conflict: planned danteIp 192.168.0.22 belongs to the unit at 192.168.0.22", unplanned};
    Identity bStored = bNow;
    bStored.controlIp = ipv4("192.168.0.40"); // stored, not yet in use
    QTest::newRow("Dante address another unit has stored")
        << moveA("192.168.0.121", "192.168.0.40") << QList<FoundUnit>{found(a, aNow), found(b, bStored)}
        << QStringList{"conflict: planned danteIp 192.168.0.40 belongs to the unit at 192.168.0.22", unplanned};
    QTest::newRow("Dante address another unit's Dante")
        << moveA("192.168.0.121", "192.168.1.22") << both
        << QStringList{"conflict: planned danteIp 192.168.1.22 is the Dante address of the unit at 192.168.0.22",
                       unplanned};
    QTest::newRow("control address another unit's Dante")
        << moveA("192.168.1.22", "192.168.1.121") << both
        << QStringList{"conflict: planned controlIp 192.168.1.22 is the Dante address of the unit at 192.168.0.22",
                       unplanned};
    QTest::newRow("control address where another unit answers")
        << moveA(b, "192.168.1.121") << both
        << QStringList{"conflict: planned controlIp 192.168.0.22 belongs to the unit at 192.168.0.22", unplanned};
    QTest::newRow("own addresses swapped") << moveA("192.168.1.21", a) << both << QStringList{"differs", unplanned};
    FoundUnit silent;
    silent.address = QHostAddress(b);
    QTest::newRow("a silent unit's address") << moveA(b, "192.168.1.121")
                                             << QList<FoundUnit>{found(a, aNow), silent}
                                             << QStringList{"differs", "silent"};

    // Station IDs on one Q-SYS core.
    const QList<PlannedUnit> aStation2 = moveA("192.168.0.121", "192.168.1.121", 2);
    QTest::newRow("paging and intercom, one station ID")
        << aStation2 << QList<FoundUnit>{found(a, aNow), found(b, bNow, true)} << QStringList{"differs", unplanned};
    QTest::newRow("two paging units, one station ID")
        << aStation2 << both
        << QStringList{"conflict: station ID 2 on Q-SYS core 192.168.0.200 is also the paging unit's at 192.168.0.22",
                       "conflict: station ID 2 on Q-SYS core 192.168.0.200 is also the paging unit's at 192.168.0.21"};
    QTest::newRow("two intercom units, one station ID, two cores")
        << moveA("192.168.0.121", "192.168.1.121", 2)
        << QList<FoundUnit>{found(a, aNow, true), found(b, identity(0x0B, b, "192.168.1.22", 2, "192.168.0.201"), true)}
        << QStringList{"differs", unplanned};
    const QList<PlannedUnit> withMissing =
        moveA("192.168.0.121", "192.168.1.121") + QList<PlannedUnit>{{3, identity(0x0C, "192.168.0.130", "192.168.1.130", 1)}};
    const QString missingClash =
        QStringLiteral("conflict: station ID 1 on Q-SYS core 192.168.0.200 is also planned on line 3 for a unit not found");
    QTest::newRow("paging unit and a missing row") << withMissing << both
                                                   << QStringList{missingClash, "missing", unplanned};
    QTest::newRow("intercom unit and a missing row") << withMissing << QList<FoundUnit>{found(a, aNow, true), found(b, bNow)}
                                                     << QStringList{missingClash, "missing", unplanned};
}

// What each plan row and unit is judged before anything is pushed.
void TestCommissionPlan::conflictsWithFoundUnits()
{
    QFETCH(QList<PlannedUnit>, plan);
    QFETCH(QList<FoundUnit>, units);
    QFETCH(QStringList, outcomes);

    QStringList judged;
    for (const SiteOutcome &outcome : judgeSite(plan, units))
        judged << outcomeText(outcome.outcome) + (outcome.reason.isEmpty() ? QString() : ": " + outcome.reason);
    QCOMPARE(judged, outcomes);
}

QTEST_GUILESS_MAIN(TestCommissionPlan)
#include "tst_commissionplan.moc"
