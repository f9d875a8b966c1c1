#pragma once

// Byte layout of a unit's status reply ("GSHV" answer). Offsets count from the
// start of the datagram; numbers are big-endian, addresses are four bytes with
// the first octet first, texts are NUL-padded to their width. The decoder and
// the simulator's encoder both use this one table.
namespace StatusLayout {

struct Field
{
    int offset;
    int size;
    constexpr int blockOffset() const { return offset - 32; }
    constexpr int end() const { return offset + size; }
};

constexpr int HeaderSize = 32;
constexpr int SplitThreshold = 219;   // datagrams this long or longer carry a block
constexpr int MinimumBlockSize = 219; // shorter blocks are reported, not decoded
constexpr int ColourBlockSize = 223;  // block carries the LED colour letters
constexpr int FeatureBlockSize = 224; // block carries the feature byte

constexpr Field Header{0, 32};
constexpr Field BootloaderVersion{32, 3};
constexpr Field DanteImageVersion{35, 4};
constexpr Field DanteFirmwareVersion{39, 4};
constexpr Field DanteImageProduct{43, 8};
constexpr Field DanteChipModel{51, 8};
constexpr Field DanteName{59, 32};
constexpr Field DanteMac{91, 6};
constexpr Field DanteIp{97, 4};
constexpr Field Uninterpreted{101, 12};
constexpr Field DanteSubnetMask{113, 4};
constexpr Field DanteGateway{117, 4};
constexpr Field NetworkStatus{121, 1};
constexpr Field DanteIpMode{122, 1};
constexpr Field UltimoBusOnline{123, 1};
constexpr Field UltimoBusRequired{124, 1};
constexpr Field ControlMac{125, 6};
constexpr Field ControlIpCurrent{131, 4};
constexpr Field ControlIpStored{135, 4};
constexpr Field ControlSubnetMask{139, 4};
constexpr Field ControlGateway{143, 4};
constexpr Field LocalPort{147, 2};
constexpr Field QsysCoreIp{149, 4};
constexpr Field QsysCorePort{153, 2};
constexpr Field UnitErrorCode{155, 1};
constexpr Field StationId{156, 2};
constexpr Field DefaultGroup{158, 1};
constexpr Field GroupRevertSeconds{159, 2};
constexpr Field QsysPingIntervalSeconds{161, 2};
constexpr Field KiroLinkTimeoutSeconds{163, 2};
constexpr Field QsysPingTimeoutSeconds{165, 2};
constexpr Field LedIntensity{167, 1};
constexpr Field PowerCycleCount{168, 4};
constexpr Field LocalName{172, 64};
constexpr Field PttState{236, 1};
constexpr Field RingerState{237, 1};
constexpr Field HandsetMuted{238, 1};
constexpr Field InputBits{239, 4};
constexpr Field DipSwitches{243, 4};
constexpr Field LedBits{247, 4};
constexpr Field LedColours{251, 4};
constexpr Field FeatureBits{255, 1};

constexpr int FullReplySize = LedBits.end();         // 251
constexpr int ColourReplySize = LedColours.end();    // 255
constexpr int FeatureReplySize = FeatureBits.end();  // 256

static_assert(FullReplySize == HeaderSize + MinimumBlockSize, "full reply");
static_assert(ColourReplySize == HeaderSize + ColourBlockSize, "colour reply");
static_assert(FeatureReplySize == HeaderSize + FeatureBlockSize, "feature reply");

} // namespace StatusLayout
