// Round trips: the simulated board recorded with `record`, read back and
// analysed, against what theory says of the signal: an ideal b-bit
// quantizer of a coherent full-scale tone has a SINAD of 6.02 b + 1.76 dB
// (ENB b), and harmonics at -60 and -70 dBc give a THD of
// 10 log10(1e-6 + 1e-7) = -59.59 dB and an SFDR of 60 dB.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "recording/record_format.h"
#include "tests/tools/tool_fixture.h"

namespace {

using nlohmann::json;

class RoundTrip : public ToolTest {
protected:
    // One channel at 65536 Hz: bin 1021 of a 64K window is 1021 Hz, a whole
    // number of cycles prime to N, so every sample of the window sits at
    // another phase of the tone and the quantization error is spread evenly.
    std::string idealQuantizer(int bits, const std::string& harmonics) {
        return boardSettings("SimBoard.cfg", {"Channels = 1", "Rate = 65536", "FullScale = 10", "Ch0Frequency = 1021",
                                              "Ch0Amplitude = 9.95", "Ch0Noise = 0", "Ch0Harmonics = " + harmonics,
                                              "Ch0Bits = " + std::to_string(bits)});
    }

    std::string record(const std::string& config, const std::string& seconds, const std::string& name) {
        const std::string file = path(name);
        const ToolRun made = run({"record", "--config", config, "--seconds", seconds, file});
        EXPECT_EQ(made.exitCode, kExitDone) << made.err;
        return file;
    }

    // The JSON records of an analysis.
    static json analyse(const std::vector<std::string>& arguments) {
        std::vector<std::string> all = {"--json"};
        all.insert(all.end(), arguments.begin(), arguments.end());
        const ToolRun result = run(all);
        EXPECT_EQ(result.exitCode, kExitDone) << result.err;
        return json::parse(result.out);
    }
};

TEST_F(RoundTrip, IdealQuantizerGivesItsBits) {
    for (int bits : {8, 12, 16}) {
        const std::string file = record(idealQuantizer(bits, ""), "2", "q" + std::to_string(bits) + ".MRF");
        for (const char* window : {"Rectangle", "12"}) {
            SCOPED_TRACE(std::to_string(bits) + " bits, window " + window);
            const json records = analyse({"--size", "64K", "--window", window, "--averaging", "2", file});
            ASSERT_EQ(records.size(), 1u);
            const json& r = records[0];
            EXPECT_EQ(r["windows"], 2);
            EXPECT_NEAR(r["enb"].get<double>(), bits, 0.1);
            EXPECT_NEAR(r["freq_hz"].get<double>(), 1021.0, 1e-3);
            EXPECT_NEAR(r["ampl0_v"].get<double>(), 9.95, 0.01);
        }
    }
}

TEST_F(RoundTrip, HarmonicsGiveTheirDistortion) {
    const std::string file = record(idealQuantizer(16, "-60 -70"), "2", "harmonics.MRF");
    const double thd = 10.0 * std::log10(1e-6 + 1e-7);
    for (const char* window : {"0", "Blackman-Harris 7term, 7bin"}) {
        SCOPED_TRACE(window);
        const json records = analyse({"--size", "64K", "--window", window, file});
        ASSERT_EQ(records.size(), 1u);
        EXPECT_NEAR(records[0]["thd_db"].get<double>(), -59.6, 0.1);
        EXPECT_NEAR(records[0]["thd_db"].get<double>(), thd, 0.05);
        EXPECT_NEAR(records[0]["sfdr_db"].get<double>(), 60.0, 0.1);
    }
}

TEST_F(RoundTrip, RecordingHoldsTheFramesOfItsSeconds) {
    struct Case {
        const char* name;
        std::vector<std::string> settings;
        const char* seconds;
        uint32_t channels;
        double channelRate;
        uint64_t frames;
    };
    const Case cases[] = {
        {"defaults", {}, "1", 2, 50000.0, 50000},
        {"paired channels", {"Channels = 4", "Paired = 1", "Rate = 100000"}, "0.5", 4, 50000.0, 25000},
        {"longer than a block", {"Channels = 3", "Rate = 300000"}, "1.3", 3, 100000.0, 130000},
        {"a block and two frames", {"Channels = 1", "Rate = 65538"}, "1", 1, 65538.0, 65538},
        {"one frame", {"Channels = 1", "Rate = 10"}, "0.1", 1, 10.0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string config = boardSettings("board.cfg", c.settings);
        const std::string file = record(config, c.seconds, "made.MRF");
        const std::string bytes = readBytes(file);
        ASSERT_GE(bytes.size(), kRecordHeaderBytes);
        RecordHeader header;
        ASSERT_TRUE(parseRecordHeader(bytes.data(), bytes.size(), header));
        EXPECT_EQ(header.format.channelCount, c.channels);
        EXPECT_EQ(header.format.channelRate, c.channelRate);
        EXPECT_EQ(bytes.size(), kRecordHeaderBytes + c.frames * c.channels * sizeof(float));
    }
}

TEST_F(RoundTrip, RowsFollowTheSignalAcrossBlocks) {
    // 70000 frames: a block of 65536 and the rest. Without noise each value
    // is its channel's tone rounded to a 16-bit code of 10 V.
    const std::string config =
        boardSettings("tones.cfg", {"Channels = 2", "Rate = 140000", "Ch0Frequency = 1000", "Ch0Amplitude = 8",
                                    "Ch1Frequency = 250", "Ch1Amplitude = 3", "Ch1Dc = 1", "Ch0Noise = 0",
                                    "Ch1Noise = 0", "Ch0Harmonics =", "Ch1Harmonics ="});
    const std::string bytes = readBytes(record(config, "1", "tones.MRF"));
    const int64_t frames = 70000;
    ASSERT_EQ(bytes.size(), kRecordHeaderBytes + size_t(frames) * 2 * sizeof(float));
    const double volt = 10.0 / 32768.0;
    const double pi = 3.141592653589793;
    int64_t wrong = 0;
    for (int64_t r = 0; r < frames; ++r) {
        const double want[2] = {8.0 * std::sin(2 * pi * 1000.0 * r / 70000.0),
                                1.0 + 3.0 * std::sin(2 * pi * 250.0 * r / 70000.0)};
        for (int c = 0; c < 2; ++c) {
            float got;
            std::memcpy(&got, bytes.data() + kRecordHeaderBytes + (size_t(r) * 2 + c) * sizeof(float), sizeof got);
            if (std::fabs(got - want[c]) > 0.5 * volt + 1e-6 && wrong++ < 5) {
                ADD_FAILURE() << "row " << r << ", channel " << c + 1 << ": got " << got << ", want " << want[c];
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(RoundTrip, GainIsUndoneAsTheBenchDoes) {
    // 2 V through a gain of 4 reach the converter as 8 V and are recorded as
    // 2 V again; 3 V would be 12 V there and clip at the full scale, 10 V,
    // recorded as 2.5 V less one count.
    struct Case {
        const char* amplitude;
        double max;
    };
    const Case cases[] = {{"2", 2.0}, {"3", (32767.0 * 10.0 / 32768.0) / 4.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.amplitude);
        const std::string config =
            boardSettings("gain.cfg", {"Channels = 1", "Rate = 65536", "Ch0Frequency = 1021", "Ch0Noise = 0",
                                       "Ch0Gain = 4", "Ch0Harmonics =", std::string("Ch0Amplitude = ") + c.amplitude});
        const std::string file = record(config, "1", "gain.MRF");
        const json records = analyse({"--size", "64K", "--view", "scope", file});
        ASSERT_EQ(records.size(), 1u);
        EXPECT_NEAR(records[0]["max_v"].get<double>(), c.max, 10.0 / 32768.0 / 4.0);
        EXPECT_NEAR(records[0]["min_v"].get<double>(), -c.max, 10.0 / 32768.0 / 4.0);
    }
}

TEST_F(RoundTrip, OutputNamedExactlyAsGiven) {
    // Folders with a dot and names without the .MRF extension: the bench's
    // own naming would cut them at the first dot.
    std::filesystem::create_directory(path("run.1"));
    const std::string config = boardSettings("SimBoard.cfg", {"Channels = 1"});
    struct Case {
        std::string name;
        bool noted;
    };
    const Case cases[] = {{"run.1/sim.MRF", false}, {"run.1/sim.mrf", false}, {"run.1/sim.v2.dat", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = path(c.name);
        const ToolRun made = run({"record", "--config", config, "--seconds", "0.01", file});
        EXPECT_EQ(made.exitCode, kExitDone) << made.err;
        EXPECT_TRUE(std::filesystem::is_regular_file(file));
        EXPECT_EQ(made.err.find("does not end in .MRF") != std::string::npos, c.noted) << made.err;
        EXPECT_EQ(made.out.find(file + ": 1 channel at 100000 Hz, 1000 rows (0.01 s)"), 0u) << made.out;
    }
    EXPECT_FALSE(std::filesystem::exists(path("run.MRF")));
}

TEST_F(RoundTrip, MissingBoardSettings) {
    const std::string config = path("NoSuch.cfg");
    const ToolRun made = run({"record", "--config", config, "--seconds", "1", path("x.MRF")});
    EXPECT_EQ(made.exitCode, kExitFailed);
    EXPECT_EQ(made.err, "quorvel-analyse: " + config + ": cannot read the board settings: no such file\n");
    EXPECT_FALSE(std::filesystem::exists(path("x.MRF")));
}

}  // namespace
