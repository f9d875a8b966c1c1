// The status decoder on its own: version gates, thresholds, derived checks
// and malformed replies, without a window; and the watched unit that feeds
// it the datagrams of one unit.
#include "channel/commandtext.h"
#include "channel/statuslayout.h"
#include "monitor/statusdecoder.h"
#include "monitor/watchedunit.h"
#include "sim/statusencoder.h"
#include "sim/unitdefaults.h"
#include "sim/unitmodel.h"

#include <QtTest>

namespace L = StatusLayout;
using StatusDecoder::AssemblyContext;

namespace {

// A status reply as the simulator's encoder writes it for a factory-fresh
// HV4K (UltimoX-class paging model, assembly index 2), with MACs and names
// fixed so that cases can name them; single fields are then overwritten
// byte by byte.
class Reply
{
public:
    explicit Reply(const QByteArray &header = "HV4K v2.09\r", int size = L::FullReplySize)
    {
        UnitStatus unit = UnitDefaults::factoryState(*UnitModels::find(QStringLiteral("HV4K")),
                                                     QStringLiteral("2.09"), QHostAddress("192.168.0.254"));
        unit.danteMac = {0x00, 0x1D, 0xC1, 0xAB, 0xCD, 0xEF};
        unit.danteName = QStringLiteral("HV4K-ABCDEF");
        unit.controlMac = {0x02, 0x4B, 0x7D, 0x00, 0x12, 0x34};
        unit.localName = QStringLiteral("Station-001234");
        unit.danteFirmwareVersion = {4, 1, 2, 1};
        m_bytes = StatusEncoder::encode(header, unit, size);
    }

    Reply &set(const L::Field &field, std::initializer_list<int> values)
    {
        int i = field.offset;
        for (int value : values)
            m_bytes[i++] = char(value);
        return *this;
    }
    Reply &text(const L::Field &field, const QByteArray &text)
    {
        m_bytes.replace(field.offset, field.size, text.leftJustified(field.size, '\0', true));
        return *this;
    }
    QByteArray block() const { return m_bytes.mid(L::HeaderSize); }
    QByteArray datagram() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

const AssemblyContext Hv4k{2, false, true};
const AssemblyContext Tk4k{7, true, true};
const AssemblyContext Hv16{4, false, false};

UnitStatus decoded(const Reply &reply, const AssemblyContext &assembly = Hv4k,
                   UnitStatus status = UnitStatus())
{
    StatusDecoder::decode(status, QStringLiteral("HV4K v2.09"), reply.block(), assembly);
    return status;
}

} // namespace

class TestStatusDecoder : public QObject
{
    Q_OBJECT

private slots:
    void versionGate_data();
    void versionGate();
    void updateRequiredKeptWhileUnsupported();
    void malformedHeader_data();
    void malformedHeader();
    void assemblyForModel_data();
    void assemblyForModel();
    void textOnlyReply_data();
    void textOnlyReply();
    void blockLength_data();
    void blockLength();
    void fieldsDecoded();
    void roundTripEveryModel();
    void readyUnitHasNoConditions();
    void danteFirmwareThresholds_data();
    void danteFirmwareThresholds();
    void compatibilityAssemblyOnUltimoX();
    void danteImageProduct();
    void macPrefixes_data();
    void macPrefixes();
    void namesAgainstMacs_data();
    void namesAgainstMacs();
    void settingsChecks_data();
    void settingsChecks();
    void dipSwitches_data();
    void dipSwitches();
    void ledIntensity_data();
    void ledIntensity();
    void bootloader_data();
    void bootloader();
    void unitErrorCodeKept();
    void ultimoBusRequiredOffline();
    void featureIndicatorFirmware_data();
    void featureIndicatorFirmware();
    void macTypeBox_data();
    void macTypeBox();
    void watchedUnit_data();
    void watchedUnit();
};

void TestStatusDecoder::versionGate_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<unsigned>("code");
    QTest::addColumn<bool>("supported");
    QTest::addColumn<bool>("updateRequired");

    QTest::newRow("1.12") << "HV4 v1.12" << 112u << false << false;
    QTest::newRow("1.13") << "HV4 v1.13" << 113u << true << true;
    QTest::newRow("1.14") << "HV4 v1.14" << 114u << true << true;
    QTest::newRow("1.15") << "HV4 v1.15" << 115u << true << false;
    QTest::newRow("1.99") << "HV4 v1.99" << 199u << true << false;
    QTest::newRow("2.00") << "HV4 v2.00" << 200u << false << false;
    QTest::newRow("2.04") << "HV4 v2.04" << 204u << false << false;
    QTest::newRow("2.05") << "HV4 v2.05" << 205u << true << true;
    QTest::newRow("2.08") << "HV4 v2.08" << 208u << true << true;
    QTest::newRow("2.09") << "HV4 v2.09" << 209u << true << false;
    QTest::newRow("3.00") << "HV4 v3.00" << 300u << true << false;
    QTest::newRow("V1.5 is 105") << "HV4 V1.5" << 105u << false << false;
    QTest::newRow("minor is an integer") << "TK4K v1.150" << 250u << true << false;
    QTest::newRow("no v") << "TK4K 2.12" << 212u << true << false;
}

void TestStatusDecoder::versionGate()
{
    QFETCH(QString, header);
    QFETCH(unsigned, code);
    QFETCH(bool, supported);
    QFETCH(bool, updateRequired);

    UnitStatus status;
    StatusDecoder::readHeader(status, header);
    QCOMPARE(status.firmwareVersionCode, code);
    QCOMPARE(StatusDecoder::applyVersionGate(status), supported);
    QCOMPARE(status.hasCondition(FirmwareUnsupported), !supported);
    QCOMPARE(status.hasCondition(FirmwareUpdateRequired), updateRequired);
}

void TestStatusDecoder::updateRequiredKeptWhileUnsupported()
{
    UnitStatus status;
    status.setCondition(FirmwareUpdateRequired, true);
    StatusDecoder::readHeader(status, QStringLiteral("HV4 v2.01"));
    QVERIFY(!StatusDecoder::applyVersionGate(status));
    QVERIFY(status.hasCondition(FirmwareUpdateRequired));

    StatusDecoder::readHeader(status, QStringLiteral("HV4 v2.10"));
    QVERIFY(StatusDecoder::applyVersionGate(status));
    QVERIFY(!status.hasCondition(FirmwareUpdateRequired));
}

void TestStatusDecoder::malformedHeader_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("model");
    QTest::addColumn<unsigned>("code");

    QTest::newRow("empty") << "" << "" << 0u;
    QTest::newRow("model only") << "HV4K" << "HV4K" << 0u;
    QTest::newRow("no dot") << "HV4K v2" << "HV4K" << 200u;
    QTest::newRow("dot only") << "HV4K ." << "HV4K" << 0u;
    QTest::newRow("two blanks") << "HV4K  v2.09" << "HV4K" << 0u;
    QTest::newRow("letters") << "HV4K vx.y" << "HV4K" << 0u;
    QTest::newRow("negative") << "HV4K v-1.20" << "HV4K" << 20u;
    QTest::newRow("third part ignored") << "HV4K v1.15.7" << "HV4K" << 115u;
    QTest::newRow("trailing text") << "Halvo v1.20 build" << "Halvo" << 120u;
}

void TestStatusDecoder::malformedHeader()
{
    QFETCH(QString, header);
    QFETCH(QString, model);
    QFETCH(unsigned, code);

    UnitStatus status;
    const StatusDecoder::Outcome outcome =
        StatusDecoder::decode(status, header, QByteArray(), Hv4k);
    QCOMPARE(status.modelToken, model);
    QCOMPARE(status.firmwareVersionCode, code);
    QVERIFY(!outcome.blockDecoded);
}

void TestStatusDecoder::assemblyForModel_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("index");

    QTest::newRow("HV4") << "HV4" << 0;
    QTest::newRow("Halvo is HV4") << "Halvo" << 0;
    QTest::newRow("TK32K") << "TK32K" << 9;
    QTest::newRow("case matters") << "hv4k" << -1;
    QTest::newRow("no prefix match") << "HV4KX" << -1;
    QTest::newRow("empty") << "" << -1;
}

void TestStatusDecoder::assemblyForModel()
{
    QFETCH(QString, model);
    QFETCH(int, index);
    const QStringList names{"HV4",  "HV4X",  "HV4K", "HV12X", "HV16",   "HV16K",
                            "HV32K", "TK4K", "TK12X", "TK32K", "UNKNOWN"};
    QCOMPARE(StatusDecoder::assemblyIndexForModel(model, names), index);
}

void TestStatusDecoder::textOnlyReply_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<int>("conditions");

    QTest::newRow("1.15") << "HV4 v1.15" << int(DataTruncated);
    QTest::newRow("1.14") << "HV4 v1.14" << int(FirmwareUpdateRequired);
    QTest::newRow("1.10") << "HV4 v1.10" << int(FirmwareUnsupported);
}

void TestStatusDecoder::textOnlyReply()
{
    QFETCH(QString, header);
    QFETCH(int, conditions);

    UnitStatus status;
    status.localName = QStringLiteral("kept");
    StatusDecoder::decode(status, header, QByteArray(), Hv4k);
    QCOMPARE(int(status.conditionFlags), conditions);
    QCOMPARE(status.localName, QStringLiteral("kept"));
}

void TestStatusDecoder::blockLength_data()
{
    QTest::addColumn<int>("datagramSize");
    QTest::addColumn<bool>("decoded");
    QTest::addColumn<bool>("colours");
    QTest::addColumn<bool>("features");

    QTest::newRow("240: 208-byte block") << 240 << false << false << false;
    QTest::newRow("250") << 250 << false << false << false;
    QTest::newRow("251") << 251 << true << false << false;
    QTest::newRow("254") << 254 << true << false << false;
    QTest::newRow("255") << 255 << true << true << false;
    QTest::newRow("256") << 256 << true << true << true;
    QTest::newRow("300") << 300 << true << true << true;
}

void TestStatusDecoder::blockLength()
{
    QFETCH(int, datagramSize);
    QFETCH(bool, decoded);
    QFETCH(bool, colours);
    QFETCH(bool, features);

    Reply reply("HV4K v2.09", datagramSize);
    if (colours)
        reply.text(L::LedColours, "GRY?");
    if (features)
        reply.set(L::FeatureBits, {0x05});
    UnitStatus status;
    status.ledColours = {'x', 'x', 'x', 'x'};
    status.featureBits = 0x80;
    const StatusDecoder::Outcome outcome =
        StatusDecoder::decode(status, QStringLiteral("HV4K v2.09"), reply.block(), Hv4k);

    QCOMPARE(outcome.blockDecoded, decoded);
    QCOMPARE(status.hasCondition(DataTruncated), !decoded);
    QCOMPARE(status.danteName, decoded ? QStringLiteral("HV4K-ABCDEF") : QString());
    QCOMPARE(status.hasLedColours, colours);
    QCOMPARE(QByteArray(status.ledColours.data(), 4), QByteArray(colours ? "GRY?" : "xxxx"));
    QCOMPARE(status.hasFeatureBits, features);
    QCOMPARE(int(status.featureBits), features ? 0x05 : 0x80);
}

void TestStatusDecoder::fieldsDecoded()
{
    Reply reply;
    reply.set(L::DanteImageVersion, {1, 0, 3, 9})
        .set(L::DanteFirmwareVersion, {4, 1, 2, 1})
        .set(L::DanteIp, {10, 1, 2, 3})
        .set(L::Uninterpreted, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})
        .set(L::DanteSubnetMask, {255, 255, 0, 0})
        .set(L::DanteGateway, {10, 1, 0, 1})
        .set(L::NetworkStatus, {0x04})
        .set(L::DanteIpMode, {7})
        .set(L::ControlIpCurrent, {192, 168, 0, 99})
        .set(L::ControlSubnetMask, {255, 255, 255, 0})
        .set(L::ControlGateway, {192, 168, 0, 1})
        .set(L::LocalPort, {0x13, 0x88})
        .set(L::QsysCoreIp, {192, 168, 0, 5})
        .set(L::StationId, {0x01, 0x02})
        .set(L::DefaultGroup, {3})
        .set(L::GroupRevertSeconds, {0x00, 0x1E})
        .set(L::QsysPingIntervalSeconds, {0x00, 0x05})
        .set(L::KiroLinkTimeoutSeconds, {0x01, 0x00})
        .set(L::QsysPingTimeoutSeconds, {0x00, 0x0A})
        .set(L::PowerCycleCount, {0x89, 0xAB, 0xCD, 0xEF})
        .set(L::PttState, {2})
        .set(L::RingerState, {0})
        .set(L::HandsetMuted, {1})
        .set(L::InputBits, {0xFE, 0xFF, 0xFF, 0x7F})
        .set(L::DipSwitches, {0, 1, 0, 9})
        .set(L::LedBits, {0x01, 0x00, 0x00, 0x80})
        .text(L::DanteName, QByteArray(32, 'N'))          // full width, no NUL
        .text(L::DanteChipModel, "Ultimo\0X2");           // ends at the NUL

    const UnitStatus s = decoded(reply);
    QCOMPARE(s.bootloaderVersionCode, 1004u);
    QCOMPARE(s.danteImageVersion, (std::array<quint8, 3>{1, 0, 3}));
    QCOMPARE(s.danteFirmwareCode, 40102u);
    QCOMPARE(int(s.danteFirmwareVersion[3]), 1);
    QCOMPARE(s.danteImageProduct, QStringLiteral("HALVO"));
    QCOMPARE(s.danteChipModel, QStringLiteral("Ultimo"));
    QCOMPARE(s.danteName, QString(32, 'N'));
    QCOMPARE(s.danteMacText, QStringLiteral("00:1D:C1:AB:CD:EF"));
    QCOMPARE(s.controlMacText, QStringLiteral("02:4B:7D:00:12:34"));
    QCOMPARE(s.danteIp, 0x0A010203u);
    QCOMPARE(s.danteSubnetMask, 0xFFFF0000u);
    QCOMPARE(s.danteGateway, 0x0A010001u);
    QCOMPARE(int(s.networkStatus), 0x04);
    QCOMPARE(int(s.danteIpMode), 7);
    QCOMPARE(s.controlIpCurrent, 0xC0A80063u);
    QCOMPARE(s.controlIpStored, 0xC0A800FEu);
    QCOMPARE(s.controlSubnetMask, 0xFFFFFF00u);
    QCOMPARE(s.controlGateway, 0xC0A80001u);
    QCOMPARE(int(s.localPort), 5000);
    QCOMPARE(s.qsysCoreIp, 0xC0A80005u);
    QCOMPARE(int(s.qsysCorePort), 4099);
    QCOMPARE(int(s.stationId), 258);
    QCOMPARE(int(s.defaultGroup), 3);
    QCOMPARE(int(s.groupRevertSeconds), 30);
    QCOMPARE(int(s.qsysPingIntervalSeconds), 5);
    QCOMPARE(int(s.kiroLinkTimeoutSeconds), 256);
    QCOMPARE(int(s.qsysPingTimeoutSeconds), 10);
    QCOMPARE(s.powerCycleCount, 0x89ABCDEFu);
    QCOMPARE(s.localName, QStringLiteral("Station-001234"));
    QVERIFY(s.pttState);
    QVERIFY(!s.ringerOn);
    QVERIFY(s.handsetMuted);
    QCOMPARE(s.inputBits, (std::array<quint8, 4>{0xFE, 0xFF, 0xFF, 0x7F}));
    QCOMPARE(s.dipSwitchOff, (std::array<bool, 4>{false, true, false, true}));
    QCOMPARE(s.ledBits, (std::array<quint8, 4>{0x01, 0x00, 0x00, 0x80}));
}

// What the simulated units send decodes back into the state they hold.
void TestStatusDecoder::roundTripEveryModel()
{
    for (const UnitModel &model : UnitModels::all()) {
        UnitStatus sent = UnitDefaults::factoryState(model, QStringLiteral("2.12"), QHostAddress("192.168.0.21"));
        sent.inputBits = {0x12, 0x34, 0x56, 0x78};
        sent.ledBits = {0x9A, 0xBC, 0xDE, 0xF0};
        sent.powerCycleCount = 4000000000u;
        sent.ledColours = {'G', 'R', 'Y', 'X'};
        sent.featureBits = 0x06;
        const QByteArray datagram =
            StatusEncoder::encode(StatusEncoder::versionText(model.name, QStringLiteral("2.12")), sent,
                                  L::FeatureReplySize);
        UnitStatus got;
        const AssemblyContext assembly{model.assemblyCode - 1, model.intercom, model.ultimoX};
        QString header = QString::fromUtf8(datagram.left(32).constData()); // up to the NUL
        header.remove(QLatin1Char('\r'));
        QVERIFY(StatusDecoder::decode(got, header, datagram.mid(32), assembly).blockDecoded);

        const QByteArray name = model.name.toLatin1();
        QVERIFY2(got.modelToken == model.name, name);
        QVERIFY2(got.firmwareVersionCode == 212, name);
        QVERIFY2(got.danteMacText == sent.danteMacText && got.controlMacText == sent.controlMacText, name);
        QVERIFY2(got.danteName == sent.danteName && got.localName == sent.localName, name);
        QVERIFY2(got.danteChipModel == sent.danteChipModel, name);
        QVERIFY2(got.controlIpStored == sent.controlIpStored && got.qsysCorePort == sent.qsysCorePort, name);
        QVERIFY2(got.inputBits == sent.inputBits && got.ledBits == sent.ledBits, name);
        QVERIFY2(got.powerCycleCount == sent.powerCycleCount, name);
        QVERIFY2(got.hasLedColours && got.ledColours == sent.ledColours, name);
        QVERIFY2(got.hasFeatureBits && got.featureBits == 0x06, name);
        // A factory-fresh unit of any model is ready to ship.
        QVERIFY2(got.conditionFlags == 0, qPrintable(name + " " + QByteArray::number(got.conditionFlags, 16)));
    }
}

void TestStatusDecoder::readyUnitHasNoConditions()
{
    const UnitStatus s = decoded(Reply());
    QCOMPARE(int(s.conditionFlags), 0);
    QVERIFY(!s.danteNameMismatch && !s.localNameMismatch && !s.danteStaticConfig
            && !s.controlStaticConfig && !s.controlIpNotFactory && !s.qsysPortUnexpected);

    UnitStatus tk;
    Reply tkReply;
    tkReply.text(L::DanteImageProduct, "TESK").set(L::QsysCorePort, {0x13, 0xEB}); // 5099
    StatusDecoder::decode(tk, QStringLiteral("TK4K v2.09"), tkReply.block(), Tk4k);
    QCOMPARE(int(tk.conditionFlags), 0);
}

void TestStatusDecoder::danteFirmwareThresholds_data()
{
    QTest::addColumn<QByteArray>("chip");
    QTest::addColumn<QByteArray>("firmware");
    QTest::addColumn<int>("bits");

    const int ultimo = UltimoFirmwareOutdated;
    const int ultimoX = UltimoXFirmwareOutdated;
    QTest::newRow("Ultimo 3.10.4.0") << QByteArray("Ultimo") << QByteArray("\x03\x0A\x04\x00", 4) << 0;
    QTest::newRow("Ultimo 3.10.3.9") << QByteArray("Ultimo") << QByteArray("\x03\x0A\x03\x09", 4) << ultimo;
    QTest::newRow("UltimoX2 4.1.1.0") << QByteArray("UltimoX2") << QByteArray("\x04\x01\x01\x00", 4) << 0;
    QTest::newRow("UltimoX2 4.1.0.9") << QByteArray("UltimoX2") << QByteArray("\x04\x01\x00\x09", 4) << ultimoX;
    QTest::newRow("UltimoX2 3.99.99") << QByteArray("UltimoX2") << QByteArray("\x03\x63\x63\x00", 4) << ultimoX;
    QTest::newRow("unknown chip") << QByteArray("UltimoX") << QByteArray("\x09\x00\x00\x00", 4) << (ultimo | ultimoX);
    QTest::newRow("no chip") << QByteArray() << QByteArray("\x00\x00\x00\x00", 4) << 0;
    QTest::newRow("case matters") << QByteArray("ultimo") << QByteArray("\x09\x00\x00\x00", 4) << (ultimo | ultimoX);
}

void TestStatusDecoder::danteFirmwareThresholds()
{
    QFETCH(QByteArray, chip);
    QFETCH(QByteArray, firmware);
    QFETCH(int, bits);

    Reply reply;
    reply.text(L::DanteChipModel, chip)
        .set(L::DanteFirmwareVersion, {firmware[0], firmware[1], firmware[2], firmware[3]});
    UnitStatus stale;
    stale.conditionFlags = UltimoFirmwareOutdated | UltimoXFirmwareOutdated;
    const UnitStatus s = decoded(reply, Hv4k, stale);
    QCOMPARE(s.conditionFlags & (UltimoFirmwareOutdated | UltimoXFirmwareOutdated), bits);
}

void TestStatusDecoder::compatibilityAssemblyOnUltimoX()
{
    Reply ultimoX2;
    QVERIFY(decoded(ultimoX2, Hv16).hasCondition(CompatibilityAssemblyOnUltimoX));
    QVERIFY(decoded(ultimoX2, AssemblyContext{0, false, false}).hasCondition(CompatibilityAssemblyOnUltimoX));
    UnitStatus flagged = decoded(ultimoX2, Hv16);
    QVERIFY(!decoded(ultimoX2, Hv4k, flagged).hasCondition(CompatibilityAssemblyOnUltimoX));

    // Other chips leave the bit as it was.
    Reply ultimo;
    ultimo.text(L::DanteChipModel, "Ultimo");
    QVERIFY(decoded(ultimo, Hv4k, flagged).hasCondition(CompatibilityAssemblyOnUltimoX));
    QVERIFY(!decoded(ultimo, Hv16).hasCondition(CompatibilityAssemblyOnUltimoX));
    Reply noChip;
    noChip.text(L::DanteChipModel, "");
    QVERIFY(decoded(noChip, Hv4k, flagged).hasCondition(CompatibilityAssemblyOnUltimoX));
}

void TestStatusDecoder::danteImageProduct()
{
    Reply tesk;
    tesk.text(L::DanteImageProduct, "TESK");
    QVERIFY(decoded(tesk, Hv4k).hasCondition(DanteImageMismatch));
    QVERIFY(!decoded(tesk, Tk4k).hasCondition(DanteImageMismatch));
    QVERIFY(decoded(Reply(), Tk4k).hasCondition(DanteImageMismatch));
    Reply lower;
    lower.text(L::DanteImageProduct, "halvo");
    QVERIFY(decoded(lower, Hv4k).hasCondition(DanteImageMismatch));
}

void TestStatusDecoder::macPrefixes_data()
{
    QTest::addColumn<QByteArray>("danteMac");
    QTest::addColumn<QByteArray>("controlMac");
    QTest::addColumn<int>("bits");

    QTest::newRow("both good") << QByteArray::fromHex("001DC1ABCDEF") << QByteArray::fromHex("024B7D001234") << 0;
    QTest::newRow("dante third byte") << QByteArray::fromHex("001DC2ABCDEF") << QByteArray::fromHex("024B7D001234")
                                      << int(DanteMacInvalid);
    QTest::newRow("control fourth byte") << QByteArray::fromHex("001DC1ABCDEF") << QByteArray::fromHex("024B7D011234")
                                         << int(ControlMacInvalid);
    QTest::newRow("all zero") << QByteArray(6, '\0') << QByteArray(6, '\0')
                              << int(DanteMacInvalid | ControlMacInvalid);
}

void TestStatusDecoder::macPrefixes()
{
    QFETCH(QByteArray, danteMac);
    QFETCH(QByteArray, controlMac);
    QFETCH(int, bits);

    Reply reply;
    reply.text(L::DanteMac, danteMac).text(L::ControlMac, controlMac);
    // Keep the names in step with the MACs so that only the prefixes differ.
    reply.text(L::DanteName, "x-" + danteMac.right(3).toHex().toUpper())
        .text(L::LocalName, "x-" + controlMac.right(3).toHex().toUpper());
    const UnitStatus s = decoded(reply);
    QCOMPARE(s.conditionFlags & (DanteMacInvalid | ControlMacInvalid), bits);
    QVERIFY(!s.hasCondition(SettingsNotDefault));
}

void TestStatusDecoder::namesAgainstMacs_data()
{
    QTest::addColumn<QByteArray>("danteName");
    QTest::addColumn<QByteArray>("localName");
    QTest::addColumn<bool>("danteMismatch");
    QTest::addColumn<bool>("localMismatch");

    QTest::newRow("lower case name matches") << QByteArray("unit-abcdef") << QByteArray("Station-001234") << false << false;
    QTest::newRow("exactly six") << QByteArray("ABCDEF") << QByteArray("001234") << false << false;
    QTest::newRow("five characters") << QByteArray("BCDEF") << QByteArray("01234") << true << true;
    QTest::newRow("empty") << QByteArray() << QByteArray() << true << true;
    QTest::newRow("wrong suffix") << QByteArray("unit-ABCDEE") << QByteArray("Station-001235") << true << true;
    QTest::newRow("suffix not at end") << QByteArray("ABCDEF-1") << QByteArray("001234 ") << true << true;
}

void TestStatusDecoder::namesAgainstMacs()
{
    QFETCH(QByteArray, danteName);
    QFETCH(QByteArray, localName);
    QFETCH(bool, danteMismatch);
    QFETCH(bool, localMismatch);

    Reply reply;
    reply.text(L::DanteName, danteName).text(L::LocalName, localName);
    const UnitStatus s = decoded(reply);
    QCOMPARE(s.danteNameMismatch, danteMismatch);
    QCOMPARE(s.localNameMismatch, localMismatch);
    QCOMPARE(s.hasCondition(SettingsNotDefault), danteMismatch || localMismatch);
}

void TestStatusDecoder::settingsChecks_data()
{
    QTest::addColumn<int>("networkStatus");
    QTest::addColumn<int>("ipMode");
    QTest::addColumn<bool>("busOnline");
    QTest::addColumn<bool>("ultimoXModel");
    QTest::addColumn<QByteArray>("storedIp");
    QTest::addColumn<int>("qsysPort");
    QTest::addColumn<QString>("expected"); // the derived checks that hold

    const QByteArray factory = QByteArray::fromHex("C0A800FE");
    QTest::newRow("defaults") << 0 << 0 << true << true << factory << 4099 << "";
    QTest::newRow("dante dhcp off") << 0x10 << 0 << true << true << factory << 4099 << "danteStatic";
    QTest::newRow("dante static mode") << 0 << 4 << false << true << factory << 4099 << "danteStatic";
    QTest::newRow("dante static, no dante side") << 0x10 << 4 << false << false << factory << 4099 << "";
    QTest::newRow("dante static, bus online") << 0 << 4 << true << false << factory << 4099 << "danteStatic";
    QTest::newRow("dante mode 5 is not static") << 0 << 5 << true << true << factory << 4099 << "";
    QTest::newRow("control static") << 0x02 << 0 << true << true << factory << 4099 << "controlStatic";
    QTest::newRow("linked bit alone") << 0x04 << 0 << true << true << factory << 4099 << "";
    QTest::newRow("stored ip 192.168.1") << 0 << 0 << true << true << QByteArray::fromHex("C0A801FE") << 4099 << "controlIp";
    QTest::newRow("stored ip 10.x") << 0 << 0 << true << true << QByteArray::fromHex("0AA800FE") << 4099 << "controlIp";
    QTest::newRow("intercom port on paging") << 0 << 0 << true << true << factory << 5099 << "qsysPort";
    QTest::newRow("port 0") << 0 << 0 << true << true << factory << 0 << "qsysPort";
}

void TestStatusDecoder::settingsChecks()
{
    QFETCH(int, networkStatus);
    QFETCH(int, ipMode);
    QFETCH(bool, busOnline);
    QFETCH(bool, ultimoXModel);
    QFETCH(QByteArray, storedIp);
    QFETCH(int, qsysPort);
    QFETCH(QString, expected);

    Reply reply;
    reply.set(L::NetworkStatus, {networkStatus})
        .set(L::DanteIpMode, {ipMode})
        .set(L::UltimoBusOnline, {busOnline ? 1 : 0})
        .set(L::UltimoBusRequired, {0})
        .text(L::ControlIpStored, storedIp)
        .set(L::QsysCorePort, {qsysPort >> 8, qsysPort & 0xFF});
    const UnitStatus s = decoded(reply, AssemblyContext{ultimoXModel ? 2 : 0, false, ultimoXModel});

    QStringList holding;
    if (s.danteStaticConfig)
        holding << "danteStatic";
    if (s.controlStaticConfig)
        holding << "controlStatic";
    if (s.controlIpNotFactory)
        holding << "controlIp";
    if (s.qsysPortUnexpected)
        holding << "qsysPort";
    QCOMPARE(holding.join(','), expected);
    QCOMPARE(s.hasCondition(SettingsNotDefault), !expected.isEmpty());
}

void TestStatusDecoder::dipSwitches_data()
{
    QTest::addColumn<QByteArray>("switches");
    QTest::addColumn<bool>("notOff");

    QTest::newRow("1,1,1,1") << QByteArray("\x01\x01\x01\x01", 4) << false;
    QTest::newRow("any non-zero is off") << QByteArray("\xFF\x02\x80\x01", 4) << false;
    QTest::newRow("switch 1 on") << QByteArray("\x00\x01\x01\x01", 4) << true;
    QTest::newRow("switch 4 on") << QByteArray("\x01\x01\x01\x00", 4) << true;
    QTest::newRow("all on") << QByteArray(4, '\0') << true;
}

void TestStatusDecoder::dipSwitches()
{
    QFETCH(QByteArray, switches);
    QFETCH(bool, notOff);
    Reply reply;
    reply.text(L::DipSwitches, switches);
    QCOMPARE(decoded(reply).hasCondition(DipSwitchesNotOff), notOff);
}

void TestStatusDecoder::ledIntensity_data()
{
    QTest::addColumn<int>("intensity");
    QTest::addColumn<bool>("low");
    QTest::newRow("0") << 0 << true;
    QTest::newRow("89") << 89 << true;
    QTest::newRow("90") << 90 << false;
    QTest::newRow("100") << 100 << false;
    QTest::newRow("255") << 255 << false;
}

void TestStatusDecoder::ledIntensity()
{
    QFETCH(int, intensity);
    QFETCH(bool, low);
    Reply reply;
    reply.set(L::LedIntensity, {intensity});
    const UnitStatus s = decoded(reply);
    QCOMPARE(int(s.ledIntensity), intensity);
    QCOMPARE(s.hasCondition(LedIntensityLow), low);
}

void TestStatusDecoder::bootloader_data()
{
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<unsigned>("code");
    QTest::addColumn<bool>("outdated");
    QTest::newRow("1.0.3") << QByteArray("\x01\x00\x03", 3) << 1003u << true;
    QTest::newRow("1.0.4") << QByteArray("\x01\x00\x04", 3) << 1004u << false;
    QTest::newRow("0.9.99") << QByteArray("\x00\x09\x63", 3) << 999u << true;
    QTest::newRow("2.0.0") << QByteArray("\x02\x00\x00", 3) << 2000u << false;
}

void TestStatusDecoder::bootloader()
{
    QFETCH(QByteArray, version);
    QFETCH(unsigned, code);
    QFETCH(bool, outdated);
    Reply reply;
    reply.text(L::BootloaderVersion, version);
    const UnitStatus s = decoded(reply);
    QCOMPARE(s.bootloaderVersionCode, code);
    QCOMPARE(s.hasCondition(BootloaderOutdated), outdated);
}

void TestStatusDecoder::unitErrorCodeKept()
{
    Reply failing;
    failing.set(L::UnitErrorCode, {0x2A});
    UnitStatus s = decoded(failing);
    QVERIFY(s.hasCondition(UnitErrorReported));
    QCOMPARE(int(s.unitErrorCode), 0x2A);

    s = decoded(Reply(), Hv4k, s);
    QVERIFY(!s.hasCondition(UnitErrorReported));
    QCOMPARE(int(s.unitErrorCode), 0x2A);

    failing.set(L::UnitErrorCode, {0x07});
    QCOMPARE(int(decoded(failing, Hv4k, s).unitErrorCode), 0x07);
}

void TestStatusDecoder::ultimoBusRequiredOffline()
{
    Reply reply;
    reply.set(L::UltimoBusOnline, {0}).set(L::UltimoBusRequired, {1});
    QVERIFY(decoded(reply).hasCondition(UltimoBusRequiredOffline));
    reply.set(L::UltimoBusRequired, {0});
    QVERIFY(!decoded(reply).hasCondition(UltimoBusRequiredOffline));
    reply.set(L::UltimoBusOnline, {1}).set(L::UltimoBusRequired, {1});
    QVERIFY(!decoded(reply).hasCondition(UltimoBusRequiredOffline));
}

void TestStatusDecoder::featureIndicatorFirmware_data()
{
    QTest::addColumn<unsigned>("code");
    QTest::addColumn<bool>("shown");
    QTest::newRow("1.14") << 114u << false;
    QTest::newRow("1.15") << 115u << true;
    QTest::newRow("1.99") << 199u << true;
    QTest::newRow("2.00") << 200u << false;
    QTest::newRow("2.11") << 211u << false;
    QTest::newRow("2.12") << 212u << true;
}

void TestStatusDecoder::featureIndicatorFirmware()
{
    QFETCH(unsigned, code);
    QFETCH(bool, shown);
    QCOMPARE(StatusDecoder::reportsFeatureIndicators(code), shown);
}

void TestStatusDecoder::macTypeBox_data()
{
    QTest::addColumn<bool>("ultimoXModel");
    QTest::addColumn<bool>("busOnline");
    QTest::addColumn<bool>("online");
    QTest::addColumn<bool>("privateMode");
    QTest::addColumn<bool>("wanted");

    QTest::newRow("compatibility model, bus down, online, private") << false << false << true << true << true;
    QTest::newRow("UltimoX-class model") << true << false << true << true << false;
    QTest::newRow("bus online") << false << true << true << true << false;
    QTest::newRow("offline") << false << false << false << true << false;
    QTest::newRow("not private") << false << false << true << false << false;
}

void TestStatusDecoder::macTypeBox()
{
    QFETCH(bool, ultimoXModel);
    QFETCH(bool, busOnline);
    QFETCH(bool, online);
    QFETCH(bool, privateMode);
    QFETCH(bool, wanted);
    QCOMPARE(StatusDecoder::macTypeBoxWanted(ultimoXModel, busOnline, online, privateMode), wanted);
}

QTEST_GUILESS_MAIN(TestStatusDecoder)
// When the datagrams of one unit leave its state readable (a complete
// block) and settled (two replies in a row, same condition word), from
// when judging last began.
void TestStatusDecoder::watchedUnit_data()
{
    QTest::addColumn<int>("assembly");
    QTest::addColumn<QList<QByteArray>>("datagrams");
    QTest::addColumn<int>("afreshAfter"); // judgeAfresh() after this many datagrams; -1: never
    QTest::addColumn<int>("replies");
    QTest::addColumn<bool>("lastBlockComplete");
    QTest::addColumn<bool>("statusRead");
    QTest::addColumn<bool>("settled");
    QTest::addColumn<int>("judgedAs");
    QTest::addColumn<bool>("versionQuery");

    const int unknown = 10;
    const QByteArray full = Reply().datagram();
    const QByteArray failing = Reply().set(L::UnitErrorCode, {0x2A}).datagram();
    const QByteArray truncated = Reply("HV4K v2.09\r", L::FullReplySize - 1).datagram();
    const QByteArray textOnly = "HV4K v2.09\r";
    const QByteArray nulLed("\0HV4K v2.09\r", 12);

    QTest::newRow("one complete reply") << unknown << QList<QByteArray>{full} << -1 << 1 << true << true << false
                                        << 2 << false;
    QTest::newRow("two alike") << unknown << QList<QByteArray>{full, full} << -1 << 2 << true << true << true << 2
                               << false;
    QTest::newRow("condition word changed")
        << unknown << QList<QByteArray>{full, failing} << -1 << 2 << true << true << false << 2 << false;
    QTest::newRow("changed, then alike")
        << unknown << QList<QByteArray>{full, failing, failing} << -1 << 3 << true << true << true << 2 << false;
    QTest::newRow("text-only replies alike: settled, not read")
        << unknown << QList<QByteArray>{textOnly, textOnly} << -1 << 2 << false << false << true << 2 << false;
    QTest::newRow("complete, then one byte short")
        << unknown << QList<QByteArray>{full, truncated} << -1 << 2 << false << true << false << 2 << false;
    QTest::newRow("a result code counts as a reply")
        << unknown << QList<QByteArray>{full, "R"} << -1 << 2 << true << true << true << 2 << false;
    QTest::newRow("empty and NUL-led datagrams are no reply")
        << unknown << QList<QByteArray>{full, QByteArray(), nulLed, full} << -1 << 2 << true << true << true << 2
        << false;
    QTest::newRow("unsupported firmware: version query")
        << unknown << QList<QByteArray>{"E04\r", "E04\r"} << -1 << 2 << false << false << true << unknown << true;
    QTest::newRow("a refusal that keeps the status request")
        << unknown << QList<QByteArray>{"E12\r"} << -1 << 1 << false << false << false << unknown << false;
    QTest::newRow("judged as the assembly given")
        << 7 << QList<QByteArray>{full, full} << -1 << 2 << true << true << true << 7 << false;
    QTest::newRow("afresh: what came before does not count")
        << unknown << QList<QByteArray>{full, full, "R"} << 2 << 3 << true << false << false << 2 << false;
    QTest::newRow("afresh: two more replies settle it")
        << unknown << QList<QByteArray>{full, full, full, full} << 2 << 4 << true << true << true << 2 << false;
}

void TestStatusDecoder::watchedUnit()
{
    QFETCH(int, assembly);
    QFETCH(QList<QByteArray>, datagrams);
    QFETCH(int, afreshAfter);

    WatchedUnit unit(assembly);
    QCOMPARE(unit.request(), CommandText::statusRequest());
    for (int i = 0; i < datagrams.size(); ++i) {
        if (i == afreshAfter)
            unit.judgeAfresh();
        unit.take(datagrams.at(i));
    }

    QTEST(unit.replies(), "replies");
    QTEST(unit.lastBlockComplete(), "lastBlockComplete");
    QTEST(unit.statusRead(), "statusRead");
    QTEST(unit.settled(), "settled");
    QTEST(unit.assembly().assemblyIndex, "judgedAs");
    QFETCH(bool, versionQuery);
    QCOMPARE(unit.request(), versionQuery ? CommandText::versionQuery() : CommandText::statusRequest());
    if (unit.statusRead())
        QCOMPARE(unit.status().danteName, QStringLiteral("HV4K-ABCDEF"));
}

#include "tst_statusdecoder.moc"
