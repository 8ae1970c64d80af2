// The option texts of quorvel-analyse: window lengths in the Size list's
// spellings, windows by id or name, views, channel lists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/fft_window.h"
#include "tools/quorvel-analyse/option_values.h"

namespace {

TEST(SizeText, SpellingsOfOneLengthReadAlike) {
    struct Case {
        const char* text;
        int32_t length;
    };
    const Case cases[] = {
        {"32", 32},        {"512", 512},    {"0.5K", 512},      {"1024", 1024},    {"1.0K", 1024},
        {"1K", 1024},      {" 1k ", 1024},  {"64.0K", 65536},   {"64K", 65536},    {"65536", 65536},
        {"2.0M", 2097152}, {"2M", 2097152}, {"2048K", 2097152}, {"0.25M", 262144}, {"1024.0M", 1 << 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        int32_t length = 0;
        std::string reason;
        EXPECT_TRUE(parseSizeText(c.text, length, reason)) << reason;
        EXPECT_EQ(length, c.length);
    }
}

TEST(SizeText, EveryLengthOfTheSizeListReadsBack) {
    for (int64_t twice = kMinToolWindow; twice <= kMaxToolWindow; twice *= 2) {
        const auto length = static_cast<int32_t>(twice);
        const std::string text = sizeText(length);
        SCOPED_TRACE(text);
        int32_t read = 0;
        std::string reason;
        EXPECT_TRUE(parseSizeText(text, read, reason)) << reason;
        EXPECT_EQ(read, length);
    }
}

TEST(SizeText, MalformedOrUnusableLengthsAreRefused) {
    const char* texts[] = {"",      "K",    "1000", "1.5K", "16",  "0",   "2048M", "2G",         "abc",
                           "1.0KK", "-64K", "1e3",  "64 K", ".5K", "1.K", "0x400", "99999999999"};
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        int32_t length = 12345;
        std::string reason;
        EXPECT_FALSE(parseSizeText(text, length, reason));
        EXPECT_EQ(length, 12345);
        EXPECT_NE(reason.find("power of two"), std::string::npos) << reason;
    }
}

TEST(WindowText, IdsNamesAndPartsOfNames) {
    struct Case {
        const char* text;
        int32_t id;
    };
    const Case cases[] = {
        {"0", 0},        {"12", 12},   {"13", 13},     {"Rectangle", 0},  {" blackman-harris 7TERM, 7bin ", 12},
        {"HFT248D", 11}, {"hft95", 4}, {"Cosine", 13}, {"Nuttall-4C", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        int32_t id = -1;
        std::string reason;
        EXPECT_TRUE(parseWindowText(c.text, id, reason)) << reason;
        EXPECT_EQ(id, c.id);
    }
    for (int32_t id = 0; id < kFftWindowCount; ++id) {
        SCOPED_TRACE(kFftWindowNames[id]);
        int32_t read = -1;
        std::string reason;
        EXPECT_TRUE(parseWindowText(kFftWindowNames[id], read, reason)) << reason;
        EXPECT_EQ(read, id);
    }
}

TEST(WindowText, UnknownOrAmbiguousNamesAreRefused) {
    struct Case {
        const char* text;
        const char* reason;  // a part of the reason given
    };
    const Case cases[] = {
        {"Hann", "unknown window name 'Hann'"},
        {"", "unknown window name"},
        {"14", "window id 14 does not exist"},
        {"Blackman-Harris", "fits several windows: 1 Blackman-Harris 92, 4bin; 12 Blackman-Harris 7term, 7bin"},
        {"Nuttall", "fits several windows"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        int32_t id = -1;
        std::string reason;
        EXPECT_FALSE(parseWindowText(c.text, id, reason));
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
    }
}

TEST(ViewText, SpellingsOfEachView) {
    struct Case {
        const char* text;
        ViewMode view;
    };
    const Case cases[] = {
        {"scope", ViewMode::Scope},
        {"  Oscilloscope", ViewMode::Scope},
        {"0", ViewMode::Scope},
        {"volts", ViewMode::SpectrumVolts},
        {"Spectre FFT V", ViewMode::SpectrumVolts},
        {"db0", ViewMode::SpectrumDb0},
        {"  Spectre FFT dB0", ViewMode::SpectrumDb0},
        {"DB", ViewMode::SpectrumDb},
        {"3", ViewMode::SpectrumDb},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ViewMode view = ViewMode::SpectrumVolts;
        std::string reason;
        EXPECT_TRUE(parseViewText(c.text, view, reason)) << reason;
        EXPECT_EQ(view, c.view);
    }
    for (const char* text : {"", "spectrum", "4", "dB1"}) {
        SCOPED_TRACE(text);
        ViewMode view = ViewMode::Scope;
        std::string reason;
        EXPECT_FALSE(parseViewText(text, view, reason));
    }
}

TEST(ChannelList, NumbersAndRangesAsTheListShowsThem) {
    struct Case {
        const char* text;
        std::vector<int32_t> channels;  // 0-based
    };
    const Case cases[] = {
        {"1", {0}},   {"1,3-5", {0, 2, 3, 4}},   {" 2 , 1 ", {0, 1}}, {"3-3,3", {2}},
        {"32", {31}}, {"30 - 32", {29, 30, 31}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<int32_t> channels;
        std::string reason;
        EXPECT_TRUE(parseChannelList(c.text, channels, reason)) << reason;
        EXPECT_EQ(channels, c.channels);
    }
    for (const char* text : {"", "0", "33", "5-2", "a", "1,,2", "1-", "-3", "1.5"}) {
        SCOPED_TRACE(text);
        std::vector<int32_t> channels;
        std::string reason;
        EXPECT_FALSE(parseChannelList(text, channels, reason));
        EXPECT_FALSE(reason.empty());
    }
}

}  // namespace
