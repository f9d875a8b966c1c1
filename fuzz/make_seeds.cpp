// Writes the seed corpora of the fuzz targets, made with the simulator's own
// unit states and the status encoder, so every seed is a reply a unit sends,
// and plans made by the template's writer from those units:
//
//   make_fuzz_seeds DIR    writes DIR/unitreply/*, DIR/discovery/*, DIR/ledgerfiles/*
//                          and DIR/planfile/*
//
// A unitreply seed is one context byte and a datagram; a discovery seed is
// the sender's IPv4 address (4 bytes, first octet first), a byte of form
// (bit 0: sent as IPv4-mapped IPv6; the rest: a line age) and a datagram.
// A ledgerfiles seed is a byte (0: a master list, 1: a JSON-lines ledger)
// and the file: lists as a line writes them, ledgers as stations wrote them,
// whole, torn, and with a line written onto a torn one. A planfile seed is a
// plan file: the template, as spreadsheets save it again (semicolons, tabs,
// Latin-1), one with a byte-order mark, comments and quoted cells, one with
// errors and clashes, and the start of a workbook.

#include "commission/identity.h"
#include "commission/planfile.h"
#include "sim/statusencoder.h"
#include "sim/unitdefaults.h"
#include "sim/unitmodel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QTextStream>

#include <functional>

namespace {

bool writeSeed(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray statusReply(const QString &modelName, const QString &firmware, int length,
                       const std::function<void(UnitStatus &)> &change = {})
{
    const UnitModel model = *UnitModels::find(modelName);
    UnitStatus state =
        UnitDefaults::factoryState(model, firmware, QHostAddress(QStringLiteral("192.168.0.254")));
    if (change)
        change(state);
    return StatusEncoder::encode(StatusEncoder::versionText(modelName, firmware), state, length);
}

// The template of three simulated units, as hvtk-commission --template writes it.
QByteArray templatePlan()
{
    QList<QStringList> rows;
    int octet = 21;
    for (const char *name : {"HV4K", "TK12X", "HV32K"}) {
        const UnitModel model = *UnitModels::find(QString::fromLatin1(name));
        const UnitStatus state = UnitDefaults::factoryState(
            model, QStringLiteral("2.12"), QHostAddress(QStringLiteral("192.168.0.%1").arg(octet++)));
        const PlanFields fields = Identity::fromStatus(state).texts();
        rows << QStringList(fields.begin(), fields.end());
    }
    return PlanFile::write(PlanColumns::names(), rows);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: make_fuzz_seeds DIR\n";
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    dir.mkpath(QStringLiteral("unitreply"));
    dir.mkpath(QStringLiteral("discovery"));
    dir.mkpath(QStringLiteral("ledgerfiles"));
    dir.mkpath(QStringLiteral("planfile"));

    // Context byte: assembly index (mod 11), 0x40 private mode, 0x80 online.
    const QList<QPair<quint8, QByteArray>> replies{
        {0x8a, statusReply("HV4K", "2.09", 251)},
        {0xca, statusReply("HV4K", "2.12", 256)},
        {0xc2, statusReply("HV4K", "2.12", 255)},
        {0xc8, statusReply("TK12X", "2.12", 256)},
        {0xc1, statusReply("HV4X", "1.15", 256, [](UnitStatus &s) { s.ledIntensity = 50; })},
        {0xc0, statusReply("HV4", "2.05", 251, [](UnitStatus &s) {
             s.unitErrorCode = 3;
             s.dipSwitchOff = {false, true, true, false};
             s.danteMac[0] = 0x12;
         })},
        {0xca, statusReply("Halvo", "1.13", 251)},
        {0x8a, statusReply("HV4K", "2.09", 240)},
        {0x8a, statusReply("HV4K", "2.09", 218)},
        {0x8a, statusReply("HV4K", "2.09", 32)},
        {0x8a, StatusEncoder::versionText("HV16", "1.10")},
        {0x8a, StatusEncoder::versionText("TK32K", "v2.04")},
        {0x80, QByteArray("R\r")},
        {0x80, QByteArray("E04\r")},
        {0x80, QByteArray("E13")},
        {0x80, QByteArray("E05\r\n")},
        {0x80, QByteArray("\r")},
    };
    int n = 0;
    for (const auto &reply : replies) {
        const QByteArray seed = QByteArray(1, char(reply.first)) + reply.second;
        if (!writeSeed(dir.filePath(QStringLiteral("unitreply/seed-%1").arg(n++, 2, 10, QLatin1Char('0'))), seed))
            return 1;
    }

    const QList<QPair<QByteArray, QByteArray>> answers{
        {QByteArray("\xc0\xa8\x00\x15\x0a", 5), StatusEncoder::versionText("HV4K", "2.09")},
        {QByteArray("\xc0\xa8\x00\x09\x0b", 5), StatusEncoder::versionText("TK12X", "2.12")},
        {QByteArray("\xc0\xa8\x00\xfe\x02", 5), StatusEncoder::versionText("Halvo", "1.15")},
        {QByteArray("\x0a\x01\x02\x03\x00", 5), QByteArray("?V\r")},
        {QByteArray("\xc0\xa8\x00\x11\x09", 5), QByteArray("HV\xff\xfe<b>\r", 8)},
    };
    n = 0;
    for (const auto &answer : answers) {
        if (!writeSeed(dir.filePath(QStringLiteral("discovery/seed-%1").arg(n++, 2, 10, QLatin1Char('0'))),
                       answer.first + answer.second))
            return 1;
    }

    const QByteArray ledger =
        "{\"address\":\"192.168.0.51\",\"danteMac\":\"00:1D:C1:07:00:31\",\"mac\":\"02:4B:7D:00:40:00\","
        "\"model\":\"HV4K\",\"outcome\":\"programmed\",\"station\":\"line3-pc\","
        "\"time\":\"2026-12-09T10:00:00.125Z\"}\n"
        "{\"address\":\"192.168.0.52\",\"danteMac\":\"00:1D:C1:07:00:32\",\"mac\":\"02:4B:7D:00:40:01\","
        "\"model\":\"TK12X\",\"outcome\":\"failed\",\"reason\":\"Status: Failed [E16: Invalid MAC]\","
        "\"station\":\"line3-pc\",\"time\":\"2026-12-09T10:00:01.000Z\"}\n";
    const QByteArray torn = ledger.left(ledger.indexOf("\"model\":\"TK12X") + 10);
    const QList<QByteArray> files{
        QByteArray(1, '\0') + "# line 3\n02:4B:7D:00:40:00-02:4B:7D:00:40:FF\n02:4B:7D:00:00:01 # spare\n",
        QByteArray(1, '\0') + "02:4B:7D:00:FF:00-02:4B:7D:00:FF:FF\r\n02:4b:7d:00:00:00\r\n",
        QByteArray(1, '\0') + "02:4B:7D:00:00:01-02:4B:7D:00:00:09\n02:4B:7D:00:00:09-02:4B:7D:00:00:0F\n",
        QByteArray(1, '\1') + ledger,
        QByteArray(1, '\1') + torn,
        QByteArray(1, '\1') + torn + ledger,
    };
    n = 0;
    for (const QByteArray &file : files) {
        if (!writeSeed(dir.filePath(QStringLiteral("ledgerfiles/seed-%1").arg(n++, 2, 10, QLatin1Char('0'))), file))
            return 1;
    }

    const QByteArray plan = templatePlan();
    const QList<QByteArray> plans{
        plan,
        QByteArray(plan).replace(',', ';'),
        QByteArray(plan).replace(',', '\t').replace("\r\n", "\n"),
        // Latin-1, as LibreOffice Calc saves CSV by default.
        QByteArray(plan).replace("HV4K-", "Caf\xE9-"),
        // A byte-order mark, a comment, a blank line, quoted cells with a
        // comma, a quote and a line break, a column more.
        "\xEF\xBB\xBF# hall B\r\nstationId,controlMac,controlIp,controlMask,controlGateway,localName,danteIp,"
        "danteMask,danteGateway,danteName,qsysCoreIp,notes\r\n\r\n"
        "12,02-4b-7d-00-00-15,192.168.0.121,255.255.255.0,192.168.0.1,\"Lobby, \"\"east\"\"\",192.168.1.21,"
        "255.255.255.0,0.0.0.0,\"Hall\r\nnorth\",192.168.0.200,\r\n",
        // Errors and clashes: a mask, a station ID, two rows on one address.
        QByteArray(plan).replace("255.255.255.0,192.168.0.1,TK12X", "255.0.255.0,192.168.0.1,TK12X")
            .replace("192.168.0.23", "192.168.0.21").replace(",1\r\n", ",999\r\n"),
        QByteArray("PK\x03\x04\x14\x00\x06\x00", 8) + "[Content_Types].xml",
    };
    n = 0;
    for (const QByteArray &seed : plans) {
        if (!writeSeed(dir.filePath(QStringLiteral("planfile/seed-%1").arg(n++, 2, 10, QLatin1Char('0'))), seed))
            return 1;
    }
    return 0;
}
