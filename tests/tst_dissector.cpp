// The Wireshark dissector against the tool itself: the window polls and
// commands simulated units while dumpcap records the private LAN, then
// tshark with the generated hvtk.lua reads the capture back. Every status
// field tshark shows must be what StatusDecoder makes of the same datagram,
// at the offset the status layout gives it.
#include "channel/commandtext.h"
#include "channel/replyframing.h"
#include "channel/resultcodes.h"
#include "link/linkfields.h"
#include "monitor/assemblyprofiles.h"
#include "monitor/statusdecoder.h"
#include "packaging/wireshark/dissectortables.h"
#include "sim/unitentry.h"
#include "sim/unitsimulator.h"
#include "support/windowsuite.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <QtWidgets>

namespace {

using DissectorTables::Kind;
using DissectorTables::StatusField;

constexpr quint16 UnitPort = CommandText::UnitPort;

// One UDP datagram of the capture, as the pcap file holds it.
struct CapturedDatagram
{
    int frame = 0;         // tshark's frame number
    quint16 sourcePort = 0;
    quint16 destinationPort = 0;
    int payloadOffset = 0; // where the UDP payload starts in the frame
    QByteArray payload;
};

// The UDP datagrams of a classic pcap file of Ethernet frames (dumpcap -P on lo).
QList<CapturedDatagram> readPcap(const QByteArray &file, QString *error)
{
    QList<CapturedDatagram> datagrams;
    if (file.size() < 24 || qFromLittleEndian<quint32>(file.constData()) != 0xA1B2C3D4u
        || qFromLittleEndian<quint32>(file.constData() + 20) != 1) {
        *error = QStringLiteral("not a little-endian Ethernet pcap file");
        return datagrams;
    }
    int at = 24;
    for (int frame = 1; at + 16 <= file.size(); ++frame) {
        const int captured = int(qFromLittleEndian<quint32>(file.constData() + at + 8));
        const QByteArray bytes = file.mid(at + 16, captured);
        at += 16 + captured;
        if (bytes.size() < 14 + 20 + 8 || qFromBigEndian<quint16>(bytes.constData() + 12) != 0x0800)
            continue;
        const int ipHeader = (quint8(bytes.at(14)) & 0x0F) * 4;
        if (quint8(bytes.at(14 + 9)) != 17)
            continue;
        const int udp = 14 + ipHeader;
        CapturedDatagram d;
        d.frame = frame;
        d.sourcePort = qFromBigEndian<quint16>(bytes.constData() + udp);
        d.destinationPort = qFromBigEndian<quint16>(bytes.constData() + udp + 2);
        d.payloadOffset = udp + 8;
        d.payload = bytes.mid(d.payloadOffset, qFromBigEndian<quint16>(bytes.constData() + udp + 4) - 8);
        datagrams.append(d);
    }
    return datagrams;
}

// What tshark shows of one frame's hvtk layer: every field's value and,
// from -x, where its bytes lie in the frame.
struct Dissection
{
    QMap<QString, QString> values;
    QMap<QString, QPair<int, int>> positions; // field -> (offset in frame, length)
    QStringList expertMessages;
};

void collect(const QJsonObject &object, Dissection *into)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString key = it.key();
        if (it->isObject()) {
            collect(it->toObject(), into);
        } else if (key.endsWith(QLatin1String("_raw")) && it->isArray()) {
            const QJsonArray raw = it->toArray();
            if (!raw.at(0).isArray()) // a field shown twice would come as a list of these
                into->positions.insert(key.chopped(4), {raw.at(1).toInt(), raw.at(2).toInt()});
        } else if (key == QLatin1String("_ws.expert.message")) {
            into->expertMessages << it->toString();
        } else if (key.startsWith(QLatin1String("hvtk."))) {
            into->values.insert(key, it->isString() ? it->toString() : QStringLiteral("(shown more than once)"));
        }
    }
}

// Numbers as tshark writes them ("0x07", "40101") become decimal text.
QString normalized(const QString &value)
{
    bool ok = false;
    const qulonglong number = value.startsWith(QLatin1String("0x")) ? value.mid(2).toULongLong(&ok, 16)
                                                                    : value.toULongLong(&ok, 10);
    return ok ? QString::number(number) : value;
}

QString number(qulonglong value) { return QString::number(value); }
QString flag(bool value) { return value ? QStringLiteral("1") : QStringLiteral("0"); }
QString address(quint32 ipv4) { return QHostAddress(ipv4).toString(); }

template <std::size_t N>
QString dotted(const std::array<quint8, N> &bytes, int parts)
{
    QStringList text;
    for (int i = 0; i < parts; ++i)
        text << QString::number(bytes[i]);
    return text.join(QLatin1Char('.'));
}

QString colonHex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(':'));
}

QString entryName(const char *name) { return QStringLiteral("hvtk.status.") + QLatin1String(name); }

// The assembly the window adopts for a reply's model token from "UNKNOWN".
StatusDecoder::AssemblyContext contextForModel(const QString &modelToken)
{
    int index = StatusDecoder::assemblyIndexForModel(modelToken, Assembly::names());
    if (index < 0)
        index = Assembly::Unknown;
    const Assembly::Profile profile = Assembly::profile(index);
    return {index, profile.intercom, profile.ultimoXClass};
}

// Every field tshark should show for the status reply `datagram`, with the
// value the tool's decoder gives it. Fields beyond a truncated datagram are
// left out; the decoder reads the bytes that are there from a zero-padded copy.
QMap<QString, QString> expectedStatusFields(const QByteArray &datagram)
{
    const QByteArray padded = datagram.leftJustified(StatusLayout::FeatureReplySize, '\0');
    const ReplyFraming::Reply reply = ReplyFraming::split(padded);
    const QString header = ReplyFraming::withoutLineBreaks(reply.header);
    UnitStatus s;
    StatusDecoder::decode(s, header, reply.block, contextForModel(header.section(QLatin1Char(' '), 0, 0)));

    QMap<QString, QString> byName = {
        {"bootloader_version", dotted(s.bootloaderVersion, 3)},
        {"bootloader_version_code", number(s.bootloaderVersionCode)},
        {"dante_image_version", dotted(s.danteImageVersion, 3)},
        {"dante_firmware_version", dotted(s.danteFirmwareVersion, 4)},
        {"dante_firmware_version_code", number(s.danteFirmwareCode)},
        {"dante_image_product", s.danteImageProduct},
        {"dante_chip_model", s.danteChipModel},
        {"dante_name", s.danteName},
        {"dante_mac", s.danteMacText.toLower()},
        {"dante_ip", address(s.danteIp)},
        {"dante_subnet_mask", address(s.danteSubnetMask)},
        {"dante_gateway", address(s.danteGateway)},
        {"network_status", number(s.networkStatus)},
        {"network_status.control_static", flag(s.networkStatus & ControlStaticAddress)},
        {"network_status.qsys_core_linked", flag(s.networkStatus & QsysCoreLinked)},
        {"network_status.dante_dhcp_off", flag(s.networkStatus & DanteDhcpOff)},
        {"dante_ip_mode", number(s.danteIpMode)},
        {"ultimo_bus_online", flag(s.ultimoBusOnline)},
        {"ultimo_bus_required", flag(s.ultimoBusRequired)},
        {"control_mac", s.controlMacText.toLower()},
        {"control_ip_current", address(s.controlIpCurrent)},
        {"control_ip_stored", address(s.controlIpStored)},
        {"control_subnet_mask", address(s.controlSubnetMask)},
        {"control_gateway", address(s.controlGateway)},
        {"local_port", number(s.localPort)},
        {"qsys_core_ip", address(s.qsysCoreIp)},
        {"qsys_core_port", number(s.qsysCorePort)},
        {"unit_error_code", number(s.unitErrorCode)},
        {"station_id", number(s.stationId)},
        {"default_group", number(s.defaultGroup)},
        {"group_revert_timer", number(s.groupRevertSeconds)},
        {"qsys_ping_interval", number(s.qsysPingIntervalSeconds)},
        {"kiro_link_timeout", number(s.kiroLinkTimeoutSeconds)},
        {"qsys_ping_timeout", number(s.qsysPingTimeoutSeconds)},
        {"led_intensity", number(s.ledIntensity)},
        {"power_cycle_count", number(s.powerCycleCount)},
        {"local_name", s.localName},
        {"ptt_state", flag(s.pttState)},
        {"ringer_state", flag(s.ringerOn)},
        {"handset_muted", flag(s.handsetMuted)},
        {"input_bits", number(qFromBigEndian<quint32>(s.inputBits.data()))},
        {"led_bits", number(qFromBigEndian<quint32>(s.ledBits.data()))},
        {"feature_bits", number(s.featureBits)},
        {"feature_bits.snoozing_allowed", flag(s.featureBits & SnoozingAllowed)},
        {"feature_bits.button_taps_enabled", flag(s.featureBits & ButtonTapsEnabled)},
        {"feature_bits.ptt_zone_mode_enabled", flag(s.featureBits & PttZoneModeEnabled)},
    };
    for (int n = 1; n <= 32; ++n) {
        byName.insert(QStringLiteral("input_%1").arg(n), flag(s.inputBits[(n - 1) / 8] & (1 << (n - 1) % 8)));
        byName.insert(QStringLiteral("led_%1").arg(n), flag(s.ledBits[(n - 1) / 8] & (1 << (n - 1) % 8)));
    }
    for (int n = 1; n <= 4; ++n) {
        byName.insert(QStringLiteral("dip_switch_%1").arg(n), flag(s.dipSwitchOff[n - 1]));
        byName.insert(QStringLiteral("led_colour_%1").arg(n), QString(QLatin1Char(s.ledColours[n - 1])));
    }

    // Fields the tool keeps as raw bytes are compared with the bytes themselves.
    QMap<QString, QString> expected;
    for (const StatusField &entry : DissectorTables::statusFields()) {
        if (entry.field.end() > datagram.size())
            continue;
        const QString name = QLatin1String(entry.name);
        for (auto it = byName.begin(); it != byName.end(); ++it) {
            const QString key = it.key();
            const bool sameField = key == name || key == name + QLatin1String("_code")
                || key.startsWith(name + QLatin1Char('.'))
                || (entry.itemName && key.section(QLatin1Char('_'), 0, -2) == QLatin1String(entry.itemName)
                    && key.section(QLatin1Char('_'), -1).toInt() > 0);
            if (sameField)
                expected.insert(QStringLiteral("hvtk.status.") + key, it.value());
        }
        if (entry.kind == Kind::Bytes || entry.kind == Kind::Switches || entry.kind == Kind::Letters)
            expected.insert(entryName(entry.name), colonHex(datagram.mid(entry.field.offset, entry.field.size)));
    }
    return expected;
}

// The condition bits and settings checks the tool derives from the datagram
// alone, as tshark should show them.
QMap<QString, QString> expectedConditions(const QByteArray &datagram)
{
    const ReplyFraming::Reply reply = ReplyFraming::split(datagram);
    const QString header = ReplyFraming::withoutLineBreaks(reply.header);
    const StatusDecoder::AssemblyContext context = contextForModel(header.section(QLatin1Char(' '), 0, 0));
    UnitStatus s;
    const StatusDecoder::Outcome outcome = StatusDecoder::decode(s, header, reply.block, context);

    QMap<QString, QString> expected;
    expected.insert(QStringLiteral("hvtk.status.assembly"), Assembly::name(context.assemblyIndex));
    expected.insert(QStringLiteral("hvtk.status.conditions"), number(s.conditionFlags));
    for (const DissectorTables::NamedBit &bit : DissectorTables::conditionBits()) {
        if (bit.mask != ModelInvalid) // the assembly box decides that one, not the reply
            expected.insert(QStringLiteral("hvtk.status.condition.") + QLatin1String(bit.name),
                            flag(s.conditionFlags & bit.mask));
    }
    if (outcome.blockDecoded) {
        const bool checks[] = {s.danteNameMismatch, s.danteStaticConfig, s.controlStaticConfig,
                               s.controlIpNotFactory, s.qsysPortUnexpected, s.localNameMismatch};
        unsigned mask = 0;
        int i = 0;
        for (const DissectorTables::NamedBit &bit : DissectorTables::settingsChecks()) {
            expected.insert(QStringLiteral("hvtk.status.check.") + QLatin1String(bit.name), flag(checks[i]));
            mask |= checks[i++] ? bit.mask : 0;
        }
        expected.insert(QStringLiteral("hvtk.status.checks"), number(mask));
    }
    return expected;
}

// A request the window sends, with what the dissector should make of it.
struct ExpectedRequest
{
    QString mnemonic;
    QString argument;
    QString meaning;
};

} // namespace

class TestDissector : public WindowSuite
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void capturedTrafficDecodesAsTheTool();
    void fieldTableFollowsStatusLayout();

private:
    void startUnits();
    void driveTheWindow();
    bool waitForRequests(SimulatedUnit *unit, int count);
    void dissectCapture(const QString &pcapPath);
    void compare(const QString &what, const Dissection &dissection, const QMap<QString, QString> &expected,
                 const QString &prefix);

    QTemporaryDir workDir;
    std::unique_ptr<UnitSimulator> sim;
    QMap<QString, SimulatedUnit *> units;
    QMap<QByteArray, ExpectedRequest> sentRequests;
    QList<CapturedDatagram> datagrams;
    QMap<int, Dissection> dissections; // by frame number
};

void TestDissector::initTestCase()
{
    QVERIFY2(QFileInfo(QStringLiteral(HVTK_TSHARK)).isExecutable(), "tshark was not found when the build was configured");
    QVERIFY2(QFileInfo(QStringLiteral(HVTK_DUMPCAP)).isExecutable(), "dumpcap was not found when the build was configured");
    QVERIFY2(QFile::exists(QStringLiteral(HVTK_DISSECTOR)), HVTK_DISSECTOR " has not been generated");
    QVERIFY(workDir.isValid());

    const QString pcapPath = workDir.filePath(QStringLiteral("units.pcap"));
    QProcess dumpcap;
    dumpcap.setProcessChannelMode(QProcess::MergedChannels);
    dumpcap.start(QStringLiteral(HVTK_DUMPCAP),
                  {"-i", "lo", "-f", QStringLiteral("udp port %1").arg(UnitPort), "-P", "-q", "-w", pcapPath});
    QVERIFY2(dumpcap.waitForStarted(), qPrintable(dumpcap.errorString()));
    QByteArray dumpcapOutput;
    QTRY_VERIFY2_WITH_TIMEOUT((dumpcapOutput += dumpcap.readAll()).contains("Capturing on"),
                              dumpcapOutput.constData(), 10000);

    startUnits();
    if (QTest::currentTestFailed())
        return;
    driveTheWindow();
    closeWindow();

    dumpcap.terminate();
    QVERIFY(dumpcap.waitForFinished(10000));
    dumpcapOutput += dumpcap.readAll();
    QVERIFY2(dumpcap.exitStatus() == QProcess::NormalExit && dumpcap.exitCode() == 0, dumpcapOutput.constData());
    sim.reset();
    if (QTest::currentTestFailed())
        return;
    dissectCapture(pcapPath);
}

void TestDissector::cleanupTestCase()
{
    sim.reset();
}

void TestDissector::startUnits()
{
    // Replies of every length the tool tells apart: full (251), with LED
    // colours (255), with the feature byte (256), a block cut short (240), a
    // header with a few fields (100) and an old firmware's error.
    const QStringList lines = {
        "192.168.0.254:HV4K:2.09 live=100 intensity=60 dip-on=2",
        "192.168.0.21:TK12X:2.12 length=256 names-mismatched unit-error=7 wrong-control-mac",
        "192.168.0.22:HV16:1.15 length=255 ultimo-offline wrong-dante-mac",
        "192.168.0.23:Halvo:1.14 length=240",
        "192.168.0.24:HV32K:2.09 length=100",
        "192.168.0.25:TK4K:1.12 old-firmware",
    };
    sim = std::make_unique<UnitSimulator>();
    for (const QString &line : lines) {
        QList<UnitEntry> entries;
        QString error;
        QVERIFY2(UnitEntries::parseLine(line, &entries, &error), qPrintable(error));
        SimulatedUnit *unit = sim->addUnit(entries.first().config);
        QVERIFY2(unit, qPrintable(sim->errorString()));
        for (const QString &option : entries.first().options)
            QVERIFY2(UnitEntries::applyOption(unit, option, &error), qPrintable(error));
        unit->setRestartTime(200);
        units.insert(unit->address().toString(), unit);
    }
}

bool TestDissector::waitForRequests(SimulatedUnit *unit, int count)
{
    QElapsedTimer clock;
    clock.start();
    while (unit->requests().size() < count && clock.elapsed() < 10000)
        QTest::qWait(20);
    return unit->requests().size() >= count;
}

void TestDissector::driveTheWindow()
{
    openWindow();

    // The poll: each unit in turn, several replies each.
    for (SimulatedUnit *unit : units) {
        unit->clearRequests();
        probe->ui().m_txtIP->setText(unit->address().toString());
        QVERIFY2(waitForRequests(unit, 4), qPrintable(unit->address().toString()));
    }

    // Commands from the tool's own senders, to the first unit.
    SimulatedUnit *unit = units.value(QStringLiteral("192.168.0.254"));
    probe->ui().m_txtIP->setText(unit->address().toString());
    const auto send = [&](const QByteArray &datagram, const ExpectedRequest &expected) {
        sentRequests.insert(datagram, expected);
        const int before = unit->requests().size();
        probe->sendCommand(unit->address(), datagram, QString());
        QVERIFY2(waitForRequests(unit, before + 1), datagram.constData());
        QTest::qWait(50);
    };
    send(CommandText::ledIntensity(55), {"IB", "55", "LED intensity"});
    send(CommandText::identify(), {"PIHV", "", "identify"});
    send(CommandText::handsetMute(false), {"HMHV", "1", "handset mute (1 mutes, 0 unmutes)"});
    send(CommandText::macAddress(QStringLiteral("11:22:33:44:55:66"), false), {"MC", "11:22:33:44:55:66", "MAC address"});
    send(CommandText::macAddress(QStringLiteral("00:1D:C1:00:00:09"), true), {"UMC", "00:1D:C1:00:00:09", "MAC address, Dante reference"});
    send(CommandText::ledStateToggle(1), {"*LNSGCSI", "", "LED state toggle, all green"});
    send(CommandText::custom(QStringLiteral("QQ")), {"QQ", "", "not a command the tool sends"});

    // The four manual-link datagrams, as the panel builds them.
    LinkFields::Texts texts = LinkFields::prefilled(unit->status());
    texts.controlIp = QStringLiteral("192.168.0.40");
    texts.danteGateway = QStringLiteral("fe80::1");
    texts.stationId = QStringLiteral("12");
    const QList<QByteArray> link = LinkFields::datagrams(texts, false);
    QCOMPARE(link.size(), 4);
    send(link.at(0), {"LI", "1", "manual link: start"});
    send(link.at(1), {"NM", texts.stationName, "manual link: station name"});
    send(link.at(2), {"ND", texts.danteName, "manual link: Dante name"});
    QByteArray addresses = link.at(3);
    addresses.chop(3); // "LX\r"
    send(link.at(3), {"LX", QString::fromUtf8(addresses), "manual link: addresses and link port"});
    QTest::qWait(500); // the unit's restart and its first answers at the new address

    sentRequests.insert(CommandText::statusRequest(), {"GSHV", "", "status request"});
    sentRequests.insert(CommandText::versionQuery(), {"?V", "", "version query"});
}

void TestDissector::dissectCapture(const QString &pcapPath)
{
    QFile pcap(pcapPath);
    QVERIFY(pcap.open(QIODevice::ReadOnly));
    QString error;
    datagrams = readPcap(pcap.readAll(), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    // An installed dissector registers "hvtk" first and the build's could not load.
    QProcess plugins;
    plugins.start(QStringLiteral(HVTK_TSHARK), {"-G", "plugins"});
    QVERIFY(plugins.waitForFinished(30000));
    QVERIFY2(!plugins.readAllStandardOutput().contains("hvtk.lua"),
             "an installed hvtk.lua (tshark -G plugins) keeps the build's from loading; remove the package first");

    // Merged duplicate keys (ip.addr, udp.port): Qt 5.15's JSON parser leaks
    // the objects of a key it sees twice.
    QProcess tshark;
    tshark.start(QStringLiteral(HVTK_TSHARK), {"-n", "-r", pcapPath, "-X",
                                               QStringLiteral("lua_script:") + QStringLiteral(HVTK_DISSECTOR),
                                               "-T", "json", "--no-duplicate-keys", "-x"});
    QVERIFY(tshark.waitForFinished(60000));
    const QByteArray json = tshark.readAllStandardOutput();
    const QByteArray errors = tshark.readAllStandardError();
    QVERIFY2(tshark.exitCode() == 0, errors.constData());
    QVERIFY2(!errors.contains("Lua") && !json.contains("Lua Error"), errors.constData());

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    QVERIFY2(parseError.error == QJsonParseError::NoError, qPrintable(parseError.errorString()));
    for (const QJsonValue &packet : document.array()) {
        const QJsonObject layers = packet.toObject().value("_source").toObject().value("layers").toObject();
        const int frame = layers.value("frame").toObject().value("frame.number").toString().toInt();
        Dissection dissection;
        collect(layers.value("hvtk").toObject(), &dissection);
        collect(layers.value("_ws.expert").toObject(), &dissection);
        dissections.insert(frame, dissection);
    }
}

void TestDissector::compare(const QString &what, const Dissection &dissection,
                            const QMap<QString, QString> &expected, const QString &prefix)
{
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        QVERIFY2(dissection.values.contains(it.key()), qPrintable(what + ": no " + it.key()));
        QCOMPARE(qPrintable(what + " " + it.key() + " = " + normalized(dissection.values.value(it.key()))),
                 qPrintable(what + " " + it.key() + " = " + normalized(it.value())));
    }
    for (const QString &shown : dissection.values.keys()) {
        if (shown.startsWith(prefix))
            QVERIFY2(expected.contains(shown), qPrintable(what + ": unchecked field " + shown));
    }
}

void TestDissector::capturedTrafficDecodesAsTheTool()
{
    QVERIFY(!datagrams.isEmpty());
    QMap<int, int> statusRepliesByLength;
    QSet<QString> resultCodes;
    QSet<QByteArray> requestsSeen;
    for (const CapturedDatagram &d : datagrams) {
        const QString what = QStringLiteral("frame %1").arg(d.frame);
        QVERIFY2(dissections.contains(d.frame), qPrintable(what + ": not dissected"));
        const Dissection &dissection = dissections[d.frame];
        QVERIFY2(!dissection.values.isEmpty(), qPrintable(what + ": no hvtk fields"));

        if (d.destinationPort == UnitPort) {
            QVERIFY2(sentRequests.contains(d.payload), qPrintable(what + ": unexpected request " + d.payload));
            const ExpectedRequest &request = sentRequests[d.payload];
            QCOMPARE(dissection.values.value("hvtk.command"), QString::fromUtf8(d.payload.chopped(1)));
            QCOMPARE(dissection.values.value("hvtk.command.mnemonic"), request.mnemonic);
            QCOMPARE(dissection.values.value("hvtk.command.argument"), request.argument);
            QCOMPARE(dissection.values.value("hvtk.command.meaning"), request.meaning);
            requestsSeen.insert(d.payload);
            continue;
        }

        QCOMPARE(d.sourcePort, UnitPort);
        const ReplyFraming::Reply reply = ReplyFraming::split(d.payload);
        const QString header = ReplyFraming::withoutLineBreaks(reply.header);
        if (!ReplyFraming::isStatusHeader(header)) {
            const QString code = ReplyFraming::withoutControlWhitespace(reply.header);
            QCOMPARE(dissection.values.value("hvtk.result.code"), code);
            QCOMPARE(dissection.values.value("hvtk.result.success"), flag(ResultCodes::isSuccess(code)));
            if (!ResultCodes::isSuccess(code)) {
                QCOMPARE(dissection.values.value("hvtk.result.text"), ResultCodes::failureText(code));
                QCOMPARE(dissection.values.value("hvtk.result.firmware_unsupported"),
                         flag(ResultCodes::marksFirmwareUnsupported(code)));
            }
            resultCodes.insert(code);
            continue;
        }

        UnitStatus fromHeader;
        StatusDecoder::readHeader(fromHeader, header);
        QCOMPARE(dissection.values.value("hvtk.model"), fromHeader.modelToken);
        QCOMPARE(dissection.values.value("hvtk.firmware_version_code"), number(fromHeader.firmwareVersionCode));
        if (d.payload.size() < StatusLayout::HeaderSize) { // a version answer
            statusRepliesByLength[0]++;
            continue;
        }
        QMap<QString, QString> expected = expectedStatusFields(d.payload);
        const QMap<QString, QString> conditions = expectedConditions(d.payload);
        for (auto it = conditions.begin(); it != conditions.end(); ++it)
            expected.insert(it.key(), it.value());
        compare(what, dissection, expected, QStringLiteral("hvtk.status."));
        if (QTest::currentTestFailed())
            return;

        const bool truncated = d.payload.size() < StatusLayout::FullReplySize;
        const bool warned = !dissection.expertMessages.filter(QStringLiteral("truncated")).isEmpty();
        QVERIFY2(warned == truncated, qPrintable(what + ": truncation warning " + (warned ? "wrongly " : "not ") + "given"));
        statusRepliesByLength[d.payload.size()]++;
    }

    // The capture holds every kind of datagram the tool tells apart.
    for (const int length : {0, 100, 240, 251, 255, 256})
        QVERIFY2(statusRepliesByLength.value(length) > 0, qPrintable(QStringLiteral("no reply of %1 bytes").arg(length)));
    for (const QString code : {"R", "E04", "E16"})
        QVERIFY2(resultCodes.contains(code), qPrintable(QStringLiteral("no reply ") + code));
    QCOMPARE(requestsSeen.size(), sentRequests.size());
}

void TestDissector::fieldTableFollowsStatusLayout()
{
    QCOMPARE(DissectorTables::layoutCoverageError(), QString());
    int checked = 0;
    for (const CapturedDatagram &d : datagrams) {
        if (d.sourcePort != UnitPort || d.payload.size() < StatusLayout::HeaderSize
            || !ReplyFraming::isStatusHeader(ReplyFraming::split(d.payload).header))
            continue;
        const Dissection &dissection = dissections[d.frame];
        for (const StatusField &entry : DissectorTables::statusFields()) {
            const QString name = entryName(entry.name);
            if (entry.field.end() > d.payload.size()) {
                QVERIFY2(!dissection.positions.contains(name), qPrintable(name + " shown beyond the datagram"));
                continue;
            }
            const QPair<int, int> expected{d.payloadOffset + entry.field.offset, entry.field.size};
            QCOMPARE(dissection.positions.value(name), expected);
        }
        ++checked;
    }
    QVERIFY(checked > 0);
}

QTEST_MAIN(TestDissector)
#include "tst_dissector.moc"
