#include "monitor/statusdecoder.h"
#include "sim/statusencoder.h"
#include "sim/unitdefaults.h"

#include <QtTest>

using namespace StatusLayout;

namespace {

QByteArray bytesAt(const QByteArray &reply, const Field &field)
{
    return reply.mid(field.offset, field.size);
}

UnitStatus distinctState()
{
    UnitStatus s;
    s.bootloaderVersion = {1, 0, 4};
    s.danteImageVersion = {1, 2, 3};
    s.danteFirmwareVersion = {4, 1, 1, 7};
    s.danteImageProduct = "HALVO";
    s.danteChipModel = "UltimoX2";
    s.danteName = "HV4K-0700FE";
    s.danteMac = {0x00, 0x1D, 0xC1, 0x07, 0x00, 0xFE};
    s.danteIp = 0x0A010203;        // 10.1.2.3
    s.danteSubnetMask = 0xFFFF0000;
    s.danteGateway = 0x0A010201;
    s.networkStatus = 0x16;
    s.danteIpMode = 4;
    s.ultimoBusOnline = true;
    s.ultimoBusRequired = false;
    s.controlMac = {0x02, 0x4B, 0x7D, 0x00, 0x12, 0x34};
    s.controlIpCurrent = 0xC0A800FE; // 192.168.0.254
    s.controlIpStored = 0xC0A80015;
    s.controlSubnetMask = 0xFFFFFF00;
    s.controlGateway = 0xC0A80001;
    s.localPort = 0x1F41;
    s.qsysCoreIp = 0xC0A8000A;
    s.qsysCorePort = 4099;
    s.unitErrorCode = 0x5A;
    s.stationId = 0x1234;
    s.defaultGroup = 3;
    s.groupRevertSeconds = 0x0102;
    s.qsysPingIntervalSeconds = 0x0304;
    s.kiroLinkTimeoutSeconds = 0x0506;
    s.qsysPingTimeoutSeconds = 0x0708;
    s.ledIntensity = 89;
    s.powerCycleCount = 0x01020304;
    s.localName = "Lobby 1234";
    s.pttState = true;
    s.ringerOn = false;
    s.handsetMuted = true;
    s.inputBits = {0xFE, 0x01, 0x80, 0x7F};
    s.dipSwitchOff = {true, false, true, true};
    s.ledBits = {0x0F, 0x00, 0xF0, 0x81};
    s.ledColours = {'G', 'R', 'Y', 'X'};
    s.featureBits = 0x05;
    return s;
}

} // namespace

class TestStatusEncoder : public QObject
{
    Q_OBJECT

private slots:
    void length_data();
    void length();
    void header_data();
    void header();
    void versionText_data();
    void versionText();
    void numbersAndAddresses_data();
    void numbersAndAddresses();
    void texts_data();
    void texts();
    void optionalTailFollowsLength();
    void uninterpretedBytesStayZero();
    void decoderReadsWhatWasEncoded();
    void factoryUnitIsReadyToShip_data();
    void factoryUnitIsReadyToShip();
};

void TestStatusEncoder::length_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("full block") << FullReplySize;
    QTest::newRow("with LED colours") << ColourReplySize;
    QTest::newRow("with feature byte") << FeatureReplySize;
    QTest::newRow("header alone") << HeaderSize;
    QTest::newRow("short block") << 240;
    QTest::newRow("longer than the layout") << 300;
    QTest::newRow("empty") << 0;
}

void TestStatusEncoder::length()
{
    QFETCH(int, length);
    const QByteArray reply = StatusEncoder::encode("HV4K v2.09\r", distinctState(), length);
    QCOMPARE(reply.size(), length);
    const QByteArray full = StatusEncoder::encode("HV4K v2.09\r", distinctState(), FeatureReplySize);
    QCOMPARE(reply.left(FeatureReplySize), full.left(length));
    if (length > FeatureReplySize)
        QCOMPARE(reply.mid(FeatureReplySize), QByteArray(length - FeatureReplySize, '\0'));
}

void TestStatusEncoder::header_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("short text padded")
        << QByteArray("HV4K v2.09\r") << QByteArray("HV4K v2.09\r") + QByteArray(21, '\0');
    QTest::newRow("exactly 32") << QByteArray(32, 'A') << QByteArray(32, 'A');
    QTest::newRow("longer cut") << QByteArray(40, 'B') << QByteArray(32, 'B');
    QTest::newRow("empty") << QByteArray() << QByteArray(32, '\0');
}

void TestStatusEncoder::header()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    QCOMPARE(StatusEncoder::header(text), expected);
    QCOMPARE(bytesAt(StatusEncoder::encode(text, UnitStatus{}), Header), expected);
}

void TestStatusEncoder::versionText_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("paging") << "HV4K" << "2.09" << QByteArray("HV4K v2.09\r");
    QTest::newRow("intercom") << "TK12X" << "2.12" << QByteArray("TK12X v2.12\r");
    QTest::newRow("old model word") << "Halvo" << "1.12" << QByteArray("Halvo v1.12\r");
    QTest::newRow("v already given") << "HV16" << "V1.5" << QByteArray("HV16 V1.5\r");
}

void TestStatusEncoder::versionText()
{
    QFETCH(QString, model);
    QFETCH(QString, firmware);
    QFETCH(QByteArray, expected);
    QCOMPARE(StatusEncoder::versionText(model, firmware), expected);
}

void TestStatusEncoder::numbersAndAddresses_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("expected");
    const auto row = [](const char *name, const Field &field, const QByteArray &bytes) {
        QVERIFY(bytes.size() == field.size);
        QTest::newRow(name) << field.offset << bytes;
    };
    row("bootloader", BootloaderVersion, QByteArray::fromHex("010004"));
    row("Dante image, fourth byte unused", DanteImageVersion, QByteArray::fromHex("01020300"));
    row("Dante firmware", DanteFirmwareVersion, QByteArray::fromHex("04010107"));
    row("Dante MAC", DanteMac, QByteArray::fromHex("001DC10700FE"));
    row("Dante IP first octet first", DanteIp, QByteArray::fromHex("0A010203"));
    row("Dante mask", DanteSubnetMask, QByteArray::fromHex("FFFF0000"));
    row("Dante gateway", DanteGateway, QByteArray::fromHex("0A010201"));
    row("network status", NetworkStatus, QByteArray::fromHex("16"));
    row("Dante IP mode", DanteIpMode, QByteArray::fromHex("04"));
    row("Ultimo bus online", UltimoBusOnline, QByteArray::fromHex("01"));
    row("Ultimo bus required", UltimoBusRequired, QByteArray::fromHex("00"));
    row("control MAC", ControlMac, QByteArray::fromHex("024B7D001234"));
    row("control IP current", ControlIpCurrent, QByteArray::fromHex("C0A800FE"));
    row("control IP stored", ControlIpStored, QByteArray::fromHex("C0A80015"));
    row("control mask", ControlSubnetMask, QByteArray::fromHex("FFFFFF00"));
    row("control gateway", ControlGateway, QByteArray::fromHex("C0A80001"));
    row("local port big-endian", LocalPort, QByteArray::fromHex("1F41"));
    row("Q-SYS core IP", QsysCoreIp, QByteArray::fromHex("C0A8000A"));
    row("Q-SYS port 4099", QsysCorePort, QByteArray::fromHex("1003"));
    row("unit error", UnitErrorCode, QByteArray::fromHex("5A"));
    row("station ID big-endian", StationId, QByteArray::fromHex("1234"));
    row("default group", DefaultGroup, QByteArray::fromHex("03"));
    row("group revert", GroupRevertSeconds, QByteArray::fromHex("0102"));
    row("ping interval", QsysPingIntervalSeconds, QByteArray::fromHex("0304"));
    row("Kiro link timeout", KiroLinkTimeoutSeconds, QByteArray::fromHex("0506"));
    row("ping timeout", QsysPingTimeoutSeconds, QByteArray::fromHex("0708"));
    row("LED intensity", LedIntensity, QByteArray::fromHex("59"));
    row("power cycles big-endian", PowerCycleCount, QByteArray::fromHex("01020304"));
    row("PTT", PttState, QByteArray::fromHex("01"));
    row("ringer", RingerState, QByteArray::fromHex("00"));
    row("handset muted", HandsetMuted, QByteArray::fromHex("01"));
    row("inputs as held", InputBits, QByteArray::fromHex("FE01807F"));
    row("DIP switch 2 on", DipSwitches, QByteArray::fromHex("01000101"));
    row("LEDs as held", LedBits, QByteArray::fromHex("0F00F081"));
    row("LED colours", LedColours, QByteArray("GRYX"));
    row("feature bits", FeatureBits, QByteArray::fromHex("05"));
}

void TestStatusEncoder::numbersAndAddresses()
{
    QFETCH(int, offset);
    QFETCH(QByteArray, expected);
    const QByteArray reply = StatusEncoder::encode("HV4K v2.09\r", distinctState(), FeatureReplySize);
    QCOMPARE(reply.mid(offset, expected.size()).toHex(' '), expected.toHex(' '));
}

void TestStatusEncoder::texts_data()
{
    QTest::addColumn<int>("field"); // 0 image product, 1 chip, 2 Dante name, 3 local name
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("product padded") << 0 << "HALVO" << QByteArray("HALVO\0\0\0", 8);
    QTest::newRow("chip full width, no NUL") << 1 << "UltimoX2" << QByteArray("UltimoX2");
    QTest::newRow("chip cut to width") << 1 << "UltimoX2plus" << QByteArray("UltimoX2");
    QTest::newRow("empty text all NUL") << 2 << "" << QByteArray(32, '\0');
    QTest::newRow("Dante name cut to 32") << 2 << QString(40, 'd') << QByteArray(32, 'd');
    QTest::newRow("local name padded to 64")
        << 3 << "Lobby" << QByteArray("Lobby") + QByteArray(59, '\0');
    QTest::newRow("local name of 65 cut to 64") << 3 << QString(65, 'n') << QByteArray(64, 'n');
    // 31 ASCII bytes and a two-byte character: the character does not fit.
    QTest::newRow("UTF-8 not split")
        << 2 << QString(31, 'a') + QChar(0xFC) << QByteArray(31, 'a') + QByteArray(1, '\0');
}

void TestStatusEncoder::texts()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);
    UnitStatus state = distinctState();
    const Field fields[] = {DanteImageProduct, DanteChipModel, DanteName, LocalName};
    QString *targets[] = {&state.danteImageProduct, &state.danteChipModel, &state.danteName,
                          &state.localName};
    *targets[field] = text;
    const QByteArray reply = StatusEncoder::encode("HV4K v2.09\r", state);
    QCOMPARE(bytesAt(reply, fields[field]), expected);
    // The neighbours stay intact.
    QCOMPARE(reply.at(fields[field].offset - 1),
             StatusEncoder::encode("HV4K v2.09\r", distinctState()).at(fields[field].offset - 1));
    QCOMPARE(reply.at(fields[field].end()),
             StatusEncoder::encode("HV4K v2.09\r", distinctState()).at(fields[field].end()));
}

void TestStatusEncoder::optionalTailFollowsLength()
{
    const UnitStatus state = distinctState();
    const QByteArray full = StatusEncoder::encode("TK4K v2.12\r", state, FullReplySize);
    QCOMPARE(full.size(), 251);
    QCOMPARE(full.right(4), QByteArray::fromHex("0F00F081")); // ends with the LED bits
    const QByteArray colours = StatusEncoder::encode("TK4K v2.12\r", state, ColourReplySize);
    QCOMPARE(colours.right(4), QByteArray("GRYX"));
    const QByteArray features = StatusEncoder::encode("TK4K v2.12\r", state, FeatureReplySize);
    QCOMPARE(features.right(5), QByteArray("GRYX\x05"));
}

void TestStatusEncoder::uninterpretedBytesStayZero()
{
    const QByteArray reply = StatusEncoder::encode("HV4K v2.09\r", distinctState());
    QCOMPARE(bytesAt(reply, Uninterpreted), QByteArray(12, '\0'));
    QCOMPARE(reply.at(Uninterpreted.offset - 1), '\x03'); // last byte of the Dante IP
    QCOMPARE(reply.at(Uninterpreted.end()), '\xFF');      // first byte of the Dante mask
}

// The decoder reads back every field the encoder wrote, byte order and all.
void TestStatusEncoder::decoderReadsWhatWasEncoded()
{
    const UnitStatus sent = distinctState();
    UnitStatus read;
    const QByteArray reply = StatusEncoder::encode("HV4K v2.09\r", sent, FeatureReplySize);
    const StatusDecoder::Outcome outcome =
        StatusDecoder::decode(read, "HV4K v2.09", reply.mid(HeaderSize), {2, false, true});
    QVERIFY(outcome.blockDecoded);
    QCOMPARE(read.modelToken, QString("HV4K"));
    QCOMPARE(read.firmwareVersionCode, 209u);
    QCOMPARE(read.bootloaderVersion, sent.bootloaderVersion);
    QCOMPARE(read.danteFirmwareVersion, sent.danteFirmwareVersion);
    QCOMPARE(read.danteImageProduct, sent.danteImageProduct);
    QCOMPARE(read.danteChipModel, sent.danteChipModel);
    QCOMPARE(read.danteName, sent.danteName);
    QCOMPARE(read.danteMac, sent.danteMac);
    QCOMPARE(read.danteIp, sent.danteIp);
    QCOMPARE(read.danteSubnetMask, sent.danteSubnetMask);
    QCOMPARE(read.danteGateway, sent.danteGateway);
    QCOMPARE(read.networkStatus, sent.networkStatus);
    QCOMPARE(read.danteIpMode, sent.danteIpMode);
    QCOMPARE(read.ultimoBusOnline, sent.ultimoBusOnline);
    QCOMPARE(read.controlMac, sent.controlMac);
    QCOMPARE(read.controlIpCurrent, sent.controlIpCurrent);
    QCOMPARE(read.controlIpStored, sent.controlIpStored);
    QCOMPARE(read.controlSubnetMask, sent.controlSubnetMask);
    QCOMPARE(read.controlGateway, sent.controlGateway);
    QCOMPARE(read.localPort, sent.localPort);
    QCOMPARE(read.qsysCoreIp, sent.qsysCoreIp);
    QCOMPARE(read.qsysCorePort, sent.qsysCorePort);
    QCOMPARE(read.unitErrorCode, sent.unitErrorCode);
    QCOMPARE(read.stationId, sent.stationId);
    QCOMPARE(read.defaultGroup, sent.defaultGroup);
    QCOMPARE(read.groupRevertSeconds, sent.groupRevertSeconds);
    QCOMPARE(read.qsysPingIntervalSeconds, sent.qsysPingIntervalSeconds);
    QCOMPARE(read.kiroLinkTimeoutSeconds, sent.kiroLinkTimeoutSeconds);
    QCOMPARE(read.qsysPingTimeoutSeconds, sent.qsysPingTimeoutSeconds);
    QCOMPARE(read.ledIntensity, sent.ledIntensity);
    QCOMPARE(read.powerCycleCount, sent.powerCycleCount);
    QCOMPARE(read.localName, sent.localName);
    QCOMPARE(read.pttState, sent.pttState);
    QCOMPARE(read.ringerOn, sent.ringerOn);
    QCOMPARE(read.handsetMuted, sent.handsetMuted);
    QCOMPARE(read.inputBits, sent.inputBits);
    QCOMPARE(read.dipSwitchOff, sent.dipSwitchOff);
    QCOMPARE(read.ledBits, sent.ledBits);
    QCOMPARE(read.ledColours, sent.ledColours);
    QCOMPARE(read.featureBits, sent.featureBits);
}

void TestStatusEncoder::factoryUnitIsReadyToShip_data()
{
    QTest::addColumn<QString>("model");
    for (const UnitModel &model : UnitModels::all())
        QTest::newRow(qPrintable(model.name)) << model.name;
}

// A new simulated unit of any model, read with its own assembly, raises no
// condition of the readiness checklist.
void TestStatusEncoder::factoryUnitIsReadyToShip()
{
    QFETCH(QString, model);
    const UnitModel info = *UnitModels::find(model);
    const UnitStatus state = UnitDefaults::factoryState(info, "2.09", QHostAddress("192.168.0.33"));
    UnitStatus read;
    const QByteArray reply = StatusEncoder::encode(StatusEncoder::versionText(model, "2.09"), state);
    const StatusDecoder::Outcome outcome = StatusDecoder::decode(
        read, model + " v2.09", reply.mid(HeaderSize), {info.assemblyCode - 1, info.intercom, info.ultimoX});
    QVERIFY(outcome.supported && outcome.blockDecoded);
    QCOMPARE(QString::number(read.conditionFlags, 16), QString("0"));
    QVERIFY(!read.danteNameMismatch && !read.localNameMismatch);
    QVERIFY(!read.danteStaticConfig && !read.controlStaticConfig);
    QVERIFY(!read.controlIpNotFactory && !read.qsysPortUnexpected);
}

QTEST_GUILESS_MAIN(TestStatusEncoder)
#include "tst_statusencoder.moc"
