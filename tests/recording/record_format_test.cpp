// The data file's header: its bytes against a table written out by hand,
// and the reader's acceptance of good headers and refusal of damaged ones.
#include "recording/record_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The header of a file of 3 channels at 50 kHz each.
const uint8_t kHeader3At50k[] = {
    // 0: "MirnelFFS" padded with blanks, payload 0
    'M',
    'i',
    'r',
    'n',
    'e',
    'l',
    'F',
    'F',
    'S',
    ' ',
    ' ',
    ' ',
    ' ',
    ' ',
    ' ',
    ' ',
    ' ',
    ' ',
    ' ',
    ' ',
    ' ',
    ' ',
    ' ',
    ' ',
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    // 32: "SAMPLES_FORMAT" padded with blanks, payload 20
    'S',
    'A',
    'M',
    'P',
    'L',
    'E',
    'S',
    '_',
    'F',
    'O',
    'R',
    'M',
    'A',
    'T',
    ' ',
    ' ',
    ' ',
    ' ',
    ' ',
    ' ',
    ' ',
    ' ',
    ' ',
    ' ',
    20,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    // 64: format code 7, 3 channels, 50000.0 as f64, bytes 1 0 0 1
    7,
    0,
    0,
    0,
    3,
    0,
    0,
    0,
    0x00,
    0x00,
    0x00,
    0x00,
    0x00,
    0x6A,
    0xE8,
    0x40,
    1,
    0,
    0,
    1,
    // 84: "SAMPLES_RECORD" padded with blanks, payload all ones
    'S',
    'A',
    'M',
    'P',
    'L',
    'E',
    'S',
    '_',
    'R',
    'E',
    'C',
    'O',
    'R',
    'D',
    ' ',
    ' ',
    ' ',
    ' ',
    ' ',
    ' ',
    ' ',
    ' ',
    ' ',
    ' ',
    0xFF,
    0xFF,
    0xFF,
    0xFF,
    0xFF,
    0xFF,
    0xFF,
    0xFF,
};
static_assert(sizeof kHeader3At50k == 116);

std::vector<uint8_t> bytesOf(const RecordHeader& header) {
    const auto* p = reinterpret_cast<const uint8_t*>(&header);
    return std::vector<uint8_t>(p, p + sizeof header);
}

TEST(RecordFormat, HeaderBytesAreTheFileLayout) {
    EXPECT_EQ(bytesOf(makeRecordHeader(3, 50000.0)),
              std::vector<uint8_t>(std::begin(kHeader3At50k), std::end(kHeader3At50k)));
}

TEST(RecordFormat, ChannelCountAndRateLandInTheirBytes) {
    struct Case {
        const char* name;
        uint32_t channels;
        double rate;
        std::vector<uint8_t> bytes68to79;  // channel count u32, rate f64
    };
    const Case cases[] = {
        {"one channel at 1 MHz", 1, 1e6, {1, 0, 0, 0, 0x00, 0x00, 0x00, 0x00, 0x80, 0x84, 0x2E, 0x41}},
        {"32 channels at 0.5 Hz", 32, 0.5, {32, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xE0, 0x3F}},
        {"a rate with a fraction", 2, 48828.125, {2, 0, 0, 0, 0, 0, 0, 0, 0x84, 0xD7, 0xE7, 0x40}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> bytes = bytesOf(makeRecordHeader(c.channels, c.rate));
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 68, bytes.begin() + 80), c.bytes68to79);
        // Everything else is the same as in any other header.
        std::vector<uint8_t> rest = bytes;
        std::vector<uint8_t> want(std::begin(kHeader3At50k), std::end(kHeader3At50k));
        std::fill(rest.begin() + 68, rest.begin() + 80, 0);
        std::fill(want.begin() + 68, want.begin() + 80, 0);
        EXPECT_EQ(rest, want);
    }
}

TEST(RecordFormat, SectionNamesArePaddedWithBlanksAndCut) {
    struct Case {
        const char* name;
        const char* given;
        std::string want;
    };
    const Case cases[] = {
        {"empty", "", std::string(24, ' ')},
        {"null", nullptr, std::string(24, ' ')},
        {"short", "ABC", "ABC" + std::string(21, ' ')},
        {"exactly 24", "ABCDEFGHIJKLMNOPQRSTUVWX", "ABCDEFGHIJKLMNOPQRSTUVWX"},
        {"longer than 24 is cut", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", "ABCDEFGHIJKLMNOPQRSTUVWX"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SectionHeader section;
        std::memset(&section, 0x5A, sizeof section);
        initSectionHeader(section, c.given);
        EXPECT_EQ(std::string(section.name, sizeof section.name), c.want);
        EXPECT_EQ(uint64_t{section.payloadBytes}, 0u);
    }
}

// The header's fields are packed: they are copied out ({}) before a check
// takes them by reference.
TEST(RecordFormat, ParseAcceptsRecordedHeaders) {
    RecordHeader header;
    ASSERT_TRUE(parseRecordHeader(kHeader3At50k, sizeof kHeader3At50k, header));
    EXPECT_EQ(uint32_t{header.format.channelCount}, 3u);
    EXPECT_EQ(double{header.format.channelRate}, 50000.0);
    EXPECT_EQ(uint64_t{header.samples.payloadBytes}, kPayloadToEnd);

    // The channel counts at both ends, and a header followed by rows.
    for (uint32_t channels : {1u, 32u}) {
        SCOPED_TRACE(channels);
        std::vector<uint8_t> file = bytesOf(makeRecordHeader(channels, 1000.0));
        file.resize(file.size() + 4 * channels * 10, 0x3F);
        RecordHeader read;
        ASSERT_TRUE(parseRecordHeader(file.data(), file.size(), read));
        EXPECT_EQ(uint32_t{read.format.channelCount}, channels);
        EXPECT_EQ(double{read.format.channelRate}, 1000.0);
    }
}

TEST(RecordFormat, ParseRefusesDamagedHeaders) {
    struct Case {
        const char* name;
        size_t offset;
        uint8_t value;
    };
    const Case cases[] = {
        {"file section misnamed", 0, 'm'},
        {"file section name ended with a zero", 9, 0},
        {"format section misnamed", 39, '-'},
        {"format section name ended with a zero", 46, 0},
        {"format payload of 21 bytes", 56, 21},
        {"format payload above 4 GB", 60, 1},
        {"format code 6", 64, 6},
        {"no channels", 68, 0},
        {"33 channels", 68, 33},
        {"259 channels", 69, 1},
        {"samples section misnamed", 84, 'X'},
        {"samples section name ended with a zero", 98, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes(std::begin(kHeader3At50k), std::end(kHeader3At50k));
        bytes[c.offset] = c.value;
        RecordHeader header;
        EXPECT_FALSE(parseRecordHeader(bytes.data(), bytes.size(), header));
    }

    RecordHeader header;
    EXPECT_FALSE(parseRecordHeader(kHeader3At50k, sizeof kHeader3At50k - 1, header));
    EXPECT_FALSE(parseRecordHeader(nullptr, sizeof kHeader3At50k, header));
}

}  // namespace
