#pragma once
// The data file that recording writes: a 116-byte header of three sections,
// then sample rows to the end of the file. All numbers little-endian.
//
//   offset  size  content
//        0    32  section "MirnelFFS", payload length 0
//       32    32  section "SAMPLES_FORMAT", payload length 20
//       64    20  RecordFormat: code 7, channel count, rate of one channel
//       84    32  section "SAMPLES_RECORD", payload length all ones (the
//                 rows run to the end of the file; never rewritten)
//      116     …  rows: one float32 per channel, channels 0.. in order, volts
#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

// A section header: the name padded with blanks, no terminator.
struct SectionHeader {
    char name[24];
    uint64_t payloadBytes;  // kPayloadToEnd: runs to the end of the file
};
static_assert(sizeof(SectionHeader) == 32);
static_assert(offsetof(SectionHeader, payloadBytes) == 24);

// Payload of the SAMPLES_FORMAT section.
struct RecordFormat {
    uint32_t formatCode;    // kRecordFormatCode: rows of float32 volts
    uint32_t channelCount;  // values per row, 1..32
    double channelRate;     // Hz, samples per second of one channel
    uint8_t flags[4];       // 1, 0, 0, 1
};
static_assert(sizeof(RecordFormat) == 20);

struct RecordHeader {
    SectionHeader file;           // "MirnelFFS", payload 0
    SectionHeader formatSection;  // "SAMPLES_FORMAT", payload sizeof(RecordFormat)
    RecordFormat format;
    SectionHeader samples;  // "SAMPLES_RECORD", payload kPayloadToEnd
};

#pragma pack(pop)

static_assert(sizeof(RecordHeader) == 116);
static_assert(offsetof(RecordHeader, formatSection) == 32);
static_assert(offsetof(RecordHeader, formatSection.payloadBytes) == 56);
static_assert(offsetof(RecordHeader, format) == 64);
static_assert(offsetof(RecordHeader, format.channelCount) == 68);
static_assert(offsetof(RecordHeader, format.channelRate) == 72);
static_assert(offsetof(RecordHeader, format.flags) == 80);
static_assert(offsetof(RecordHeader, samples) == 84);
static_assert(offsetof(RecordHeader, samples.payloadBytes) == 108);

inline constexpr char kFileSectionName[] = "MirnelFFS";
inline constexpr char kFormatSectionName[] = "SAMPLES_FORMAT";
inline constexpr char kSamplesSectionName[] = "SAMPLES_RECORD";
inline constexpr uint32_t kRecordFormatCode = 7;
inline constexpr uint64_t kPayloadToEnd = ~uint64_t(0);
inline constexpr size_t kRecordHeaderBytes = sizeof(RecordHeader);
inline constexpr char kRecordExtension[] = ".MRF";

// Sets the name, padded with blanks to 24 bytes (a longer one is cut), and a
// payload length of 0.
void initSectionHeader(SectionHeader& section, const char* name);

// The header of a file of `channelCount` channels sampled at `channelRate` Hz
// each.
RecordHeader makeRecordHeader(uint32_t channelCount, double channelRate);

// Reads a header from 116 bytes: true when the three section names, the
// format code and a channel count of 1..32 are those a recording holds.
bool parseRecordHeader(const void* bytes, size_t length, RecordHeader& header);
