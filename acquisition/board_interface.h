#pragma once
// The board components: records exchanged with them and their interfaces.
//
// Every record begins with a 32-bit type code and its own size in bytes; all
// fields are little-endian and packed exactly as the components expect.
#include <cstddef>
#include <cstdint>

#include "platform/component_abi.h"

#pragma pack(push, 1)

// One of the 64 channel entries of BoardParameters (20 bytes).
struct BoardChannelEntry {
    uint8_t unused0[8];
    uint8_t shown;  // nonzero: the channel is shown
    uint8_t unused9[3];
    uint32_t colour;  // display colour, 0x00BBGGRR
    uint8_t unused16[4];
};
static_assert(sizeof(BoardChannelEntry) == 20);
static_assert(offsetof(BoardChannelEntry, shown) == 8);
static_assert(offsetof(BoardChannelEntry, colour) == 12);

// Acquisition settings handed to IADCUtility::Start (type 100, 56 bytes).
struct AcquisitionParameters {
    uint32_t type;         // kAcquisitionParametersType
    uint32_t size;         // sizeof(AcquisitionParameters)
    uint32_t startFlags;   // bit 1 set by the program before Start
    uint32_t reserved12;   // 0 before Start
    uint32_t reserved16;   // 1 before Start
    uint32_t modeBits;     // bit 4: paired channel mode
    uint32_t reserved24;   // 0 before Start
    double aggregateRate;  // Hz, all channels together (unaligned)
    uint32_t reserved36;   // 0 before Start
    uint32_t reserved40;   // 0 before Start
    uint32_t pairCount;    // channel pairs in paired mode
    uint8_t unused48[8];
};
static_assert(sizeof(AcquisitionParameters) == 56);
static_assert(offsetof(AcquisitionParameters, startFlags) == 8);
static_assert(offsetof(AcquisitionParameters, modeBits) == 20);
static_assert(offsetof(AcquisitionParameters, aggregateRate) == 28);
static_assert(offsetof(AcquisitionParameters, pairCount) == 44);

// The board description that IADCDevice::Control fills (type 190, 1908 bytes).
struct BoardParameters {
    uint32_t type;  // kBoardParametersType
    uint32_t size;  // sizeof(BoardParameters)
    uint32_t channelCount;
    uint8_t unused12[48];
    BoardChannelEntry channels[64];
    uint32_t gainWords[64];     // low 24 bits: gain; paired mode: word i =
                                // gain of 2i (low 16) | gain of 2i+1 (high 16)
    uint32_t channelWords[64];  // low 6 bits: physical channel number from 0
    AcquisitionParameters acquisition;
};
static_assert(sizeof(BoardParameters) == 1908);
static_assert(offsetof(BoardParameters, channelCount) == 8);
static_assert(offsetof(BoardParameters, channels) == 60);
static_assert(offsetof(BoardParameters, gainWords) == 1340);
static_assert(offsetof(BoardParameters, channelWords) == 1596);
static_assert(offsetof(BoardParameters, acquisition) == 1852);

// Shown flags and colours of the channels (type 191, 268 bytes).
struct ChannelList {
    uint32_t type;         // kChannelListType
    uint32_t size;         // sizeof(ChannelList)
    uint32_t count;        // entries in use
    uint32_t entries[64];  // (shown flag << 24) | colour 0x00BBGGRR
};
static_assert(sizeof(ChannelList) == 268);
static_assert(offsetof(ChannelList, entries) == 12);

#pragma pack(pop)

inline constexpr uint32_t kAcquisitionParametersType = 100;
inline constexpr uint32_t kBoardParametersType = 190;
inline constexpr uint32_t kChannelListType = 191;

// An empty board record: both headers set, everything else zero, as the
// program holds it before the board first fills it.
inline BoardParameters emptyBoardParameters() {
    BoardParameters p{};
    p.type = kBoardParametersType;
    p.size = sizeof(BoardParameters);
    p.acquisition.type = kAcquisitionParametersType;
    p.acquisition.size = sizeof(AcquisitionParameters);
    return p;
}

// The capability record whose address GetProperty(kDevicePropertyCapabilities)
// hands out. Only the words the program tests are named.
struct BoardCapabilities {
    uint32_t word0;
    uint32_t word1;  // bits 8 and 9 set: supported
    uint32_t word2;  // bit 2 and bits 24, 25 set: supported
};
inline constexpr uint32_t kCapabilityWord1Mask = 0x300;
inline constexpr uint32_t kCapabilityWord2Bit = 0x4;
inline constexpr uint32_t kCapabilityWord2Mask = 0x3000000;

// IADCDevice::GetProperty codes.
inline constexpr int32_t kDevicePropertyStatus = 17;        // out: uint32, bit 0 = ready
inline constexpr int32_t kDevicePropertyCapabilities = 21;  // out: const BoardCapabilities*
inline constexpr int32_t kDevicePropertyFullScale = 53;     // out: float, volts

// IADCDevice::Control commands.
inline constexpr int32_t kControlRead = 0;        // fill the record
inline constexpr int32_t kControlWrite = 1;       // take BoardParameters
inline constexpr int32_t kControlStartList = 10;  // ChannelList header only, at start
inline constexpr int32_t kControlApplyList = 19;  // after a channel-list read

// IADCUtility::Property codes.
inline constexpr int32_t kUtilityPropertyReadyBlocks = 8;  // out: int32 blocks waiting
inline constexpr int32_t kUtilityPropertyConnected = 11;   // out: int32, <= 0 disconnected
inline constexpr int32_t kUtilityPropertyBlockSize = 27;   // in: samples per block, all channels
inline constexpr int32_t kUtilityPropertyReset = 22;       // null value
inline constexpr int32_t kUtilityPropertyStatus = 3;       // result and value unused
inline constexpr int32_t kUtilityPropertyDevice = 100;     // out: IADCDevice*

// The board driver: describes the board and its channels.
struct IADCDevice {
    virtual int32_t QV_CALL AddRef() = 0;
    virtual int32_t QV_CALL Release() = 0;
    virtual int32_t QV_CALL Control(int32_t command, void* record, int32_t reserved) = 0;
    virtual int32_t QV_CALL GetProperty(int32_t code, void* out) = 0;
};

// The board utility: opens the board, runs the acquisition, hands out blocks.
struct IADCUtility {
    virtual int32_t QV_CALL AddRef() = 0;
    virtual int32_t QV_CALL Release() = 0;
    // Success: result >= 1. The program passes reserved = 0, blockHint = 1024.
    virtual int32_t QV_CALL Open(const char* deviceName, int32_t base, int32_t reserved, int32_t blockHint) = 0;
    // Success: result > 0. The program passes mode = 2.
    virtual int32_t QV_CALL Start(AcquisitionParameters* parameters, int32_t mode) = 0;
    // result > 0: *block addresses block length x channel count int16 samples,
    // interleaved by channel, valid until ReleaseBlock.
    virtual int32_t QV_CALL GetBlock(const int16_t** block, int32_t* auxiliary) = 0;
    virtual int32_t QV_CALL ReleaseBlock() = 0;
    virtual int32_t QV_CALL Property(int32_t code, void* value) = 0;
    virtual int32_t QV_CALL Stop() = 0;
};
