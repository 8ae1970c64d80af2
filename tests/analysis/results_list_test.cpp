#include "analysis/results_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Channel records with every value set; channel i is hardware channel
// 10 + i.
class ResultsBench {
public:
    ResultsBench() {
        for (int i = 0; i < kChannelRecordCount; ++i) {
            ChannelRecord& c = channels[i];
            c.channelNumber = 10 + i;
            c.gain = 1;
            c.min = -1.25;
            c.max = 2.5;
            c.avg = 0.125;
            c.rms = 1.0624;
            c.ueff = 1.5;
            c.freq = 1000.0;
            c.ampl0 = 2.0;
            c.total = 1.375;
            c.sinad = 70.25;
            c.enb = 11.375;
            c.sfdr = 80.5;
            c.snr = 72.0;
            c.thd = -75.125;
        }
    }

    std::vector<std::string> build(int activeChannelCount, int viewMode) {
        const auto lines = std::make_unique<ResultsLines>();
        buildResultsLines(channels, shown, activeChannelCount, static_cast<ViewMode>(viewMode), *lines);
        return std::vector<std::string>(lines->line, lines->line + lines->count);
    }

    ChannelRecord channels[kChannelRecordCount];
    int32_t shown[kChannelRecordCount] = {};
};

TEST(ResultsLines, SpectrumViewBlock) {
    ResultsBench bench;
    bench.shown[0] = 1;
    const std::vector<std::string> want = {
        "---- Channel \xB9"
        "11, Gain =  1 --------",
        "Min   =  -1.250 V",
        "Max   =   2.500 V",
        "Freq  = 1000.000 Hz",
        "Ampl0 =   2.000 V",
        "Ampl0 =   1.414 RMS",
        "Total =   1.375 RMS",
        "SINAD =  70.250",
        "ENB   =  11.375",
        "PP    =   8.675",
        "SFDR  =  80.500",
        "SNR   =  72.000",
        "THD   = -75.125",
    };
    for (int view : {1, 2, 3, -1}) {
        SCOPED_TRACE(view);
        EXPECT_EQ(bench.build(1, view), want);
    }
}

TEST(ResultsLines, OscilloscopeViewBlock) {
    ResultsBench bench;
    bench.shown[0] = 1;
    const std::vector<std::string> want = {
        "---- Channel \xB9"
        "11, Gain =  1 --------",
        "Min   =  -1.250 V",
        "Max   =   2.500 V",
        "Avg   =   0.125 V",
        "RMS   =   1.062 V",
        "Ueff  =   1.500 V AC",
    };
    EXPECT_EQ(bench.build(1, 0), want);
}

// One line of a block, by its position, for single values.
TEST(ResultsLines, FormattingExamples) {
    const struct {
        const char* name;
        void (*set)(ChannelRecord&);
        size_t line;
        const char* want;
    } cases[] = {
        {"channel 5, gain 260",
         [](ChannelRecord& c) {
             c.channelNumber = 5;
             c.gain = 260;
         },
         0, "---- Channel \xB9 6, Gain =  4 --------"},
        {"channel 31, gain 0x1FF",
         [](ChannelRecord& c) {
             c.channelNumber = 31;
             c.gain = 0x1FF;
         },
         0,
         "---- Channel \xB9"
         "32, Gain = 255 --------"},
        {"ENB 10.5", [](ChannelRecord& c) { c.enb = 10.5; }, 9, "PP    =   7.800"},
        {"width 7 is a minimum", [](ChannelRecord& c) { c.freq = 1234.5678; }, 3, "Freq  = 1234.568 Hz"},
        {"negative", [](ChannelRecord& c) { c.sfdr = -0.0004; }, 10, "SFDR  =  -0.000"},
        // Volt values are shown as stored: the samples are already divided
        // by the gain.
        {"gain 4, min",
         [](ChannelRecord& c) {
             c.gain = 4;
             c.min = -1.5;
         },
         1, "Min   =  -1.500 V"},
        {"gain 4, ampl0",
         [](ChannelRecord& c) {
             c.gain = 4;
             c.ampl0 = 3.0;
         },
         4, "Ampl0 =   3.000 V"},
        {"gain 4, ampl0 RMS",
         [](ChannelRecord& c) {
             c.gain = 4;
             c.ampl0 = 3.0;
         },
         5, "Ampl0 =   2.121 RMS"},
        {"gain 4, total",
         [](ChannelRecord& c) {
             c.gain = 4;
             c.total = 0.5;
         },
         6, "Total =   0.500 RMS"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResultsBench bench;
        bench.shown[0] = 1;
        c.set(bench.channels[0]);
        const std::vector<std::string> lines = bench.build(1, 1);
        ASSERT_EQ(lines.size(), 13u);
        EXPECT_EQ(lines[c.line], c.want);
    }
    ResultsBench bench;
    bench.shown[0] = 1;
    bench.channels[0].gain = 4;
    bench.channels[0].ueff = 2.0;
    EXPECT_EQ(bench.build(1, 0)[5], "Ueff  =   2.000 V AC");
}

// A value too large for the line is cut at 255 characters.
TEST(ResultsLines, HugeValuesAreCutToTheLine) {
    ResultsBench bench;
    bench.shown[0] = 1;
    bench.channels[0].freq = 1e300;
    const std::vector<std::string> lines = bench.build(1, 1);
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[3].size(), 255u);
    EXPECT_EQ(lines[3].substr(0, 10), "Freq  = 10");
}

TEST(ResultsLines, WhichChannelsAndHowManyLines) {
    const struct {
        const char* name;
        int activeChannels;
        std::vector<int> shown;
        int view;
        std::vector<int> wantChannels;  // hardware numbers + 1 in the headers
        size_t wantLines;
    } cases[] = {
        {"no channel in use", 0, {0, 1}, 1, {}, 1},
        {"negative count", -3, {0}, 0, {}, 1},
        {"channels, none shown", 4, {}, 1, {}, 0},
        {"shown in order", 8, {6, 2, 3}, 1, {13, 14, 17}, 3 * 13},
        {"oscilloscope", 8, {6, 2, 3}, 0, {13, 14, 17}, 3 * 6},
        {"shown beyond the count", 3, {1, 5}, 2, {12}, 13},
        {"count above 32", 40, {0, 31}, 3, {11, 42}, 2 * 13},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResultsBench bench;
        for (int i : c.shown) bench.shown[i] = 1;
        const std::vector<std::string> lines = bench.build(c.activeChannels, c.view);
        ASSERT_EQ(lines.size(), c.wantLines);
        if (c.wantLines == 1) {
            EXPECT_EQ(lines[0], "");
            continue;
        }
        std::vector<int> headers;
        for (const std::string& line : lines)
            if (line.rfind("---- Channel \xB9", 0) == 0) headers.push_back(std::stoi(line.substr(14, 2)));
        EXPECT_EQ(headers, c.wantChannels);
    }
}

}  // namespace
