// The tool's converter tests end to end, against theory: recordings of the
// simulated board made with `record`, and converters built by the tests
// with code widths of their choosing, analysed with --sine-fit,
// --histogram and the coherence advice. Also the series over the windows
// (--per-window, --start, --duration) and files analysed in parallel.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/tools/tool_fixture.h"

namespace {

using nlohmann::json;

constexpr double kPi = 3.141592653589793;

class ConverterRoundTrip : public ToolTest {
protected:
    std::string record(const std::vector<std::string>& settings, const std::string& seconds, const std::string& name) {
        const std::string config = boardSettings(name + ".cfg", settings);
        const std::string file = path(name);
        const ToolRun made = run({"record", "--config", config, "--seconds", seconds, file});
        EXPECT_EQ(made.exitCode, kExitDone) << made.err;
        return file;
    }

    static json analyse(const std::vector<std::string>& arguments, std::string* err = nullptr) {
        std::vector<std::string> all = {"--json", "-q"};
        all.insert(all.end(), arguments.begin(), arguments.end());
        const ToolRun result = run(all);
        EXPECT_EQ(result.exitCode, kExitDone) << result.err;
        if (err) *err = result.err;
        return json::parse(result.out);
    }

    static double number(const std::map<std::string, std::string>& row, const char* column) {
        return std::strtod(row.at(column).c_str(), nullptr);
    }
};

TEST_F(ConverterRoundTrip, SineFitOfAnIdealQuantizerGivesItsBits) {
    // Quantization noise of LSB / sqrt 12 gives an ENOB of exactly B.
    for (int bits : {8, 12, 16}) {
        SCOPED_TRACE(std::to_string(bits) + " bits");
        const std::string file =
            record({"Channels = 1", "Rate = 65536", "FullScale = 10", "Ch0Frequency = 1021", "Ch0Amplitude = 9.95",
                    "Ch0Noise = 0", "Ch0Harmonics =", "Ch0Bits = " + std::to_string(bits)},
                   "2", "fit" + std::to_string(bits) + ".MRF");
        const json records = analyse({"-n", "64K", "--sine-fit", file});
        ASSERT_EQ(records.size(), 1u);
        const json& r = records[0];
        EXPECT_NEAR(r["fit_enob"].get<double>(), bits, 0.05);
        const double lsb = std::ldexp(10.0, 1 - bits);
        EXPECT_NEAR(r["fit_frequency_hz"].get<double>(), 1021.0, 1e-4);
        EXPECT_NEAR(r["fit_amplitude_v"].get<double>(), 9.95, lsb / 4);
        EXPECT_NEAR(r["fit_sinad_db"].get<double>(), 6.02 * bits + 1.76 + 20 * std::log10(9.95 / 10.0), 0.35);
        EXPECT_EQ(r["fit_enob_min"], r["fit_enob_max"]);  // two windows alike
        EXPECT_EQ(r["fit_enob"], r["fit_enob_mean"]);
    }
}

TEST_F(ConverterRoundTrip, HistogramOfAnIdealQuantizerIsFlat) {
    // A slightly overdriven tone whose phases never repeat exactly.
    const std::string file = record({"Channels = 1", "Rate = 65536", "FullScale = 10", "Ch0Frequency = 1000.37",
                                     "Ch0Amplitude = 10.2", "Ch0Noise = 0", "Ch0Harmonics =", "Ch0Bits = 8"},
                                    "4", "flat.MRF");
    const std::string histogram = path("flat.csv");
    const json records = analyse({"-n", "64K", "-w", "12", "--histogram", histogram, "--bits", "8", file});
    ASSERT_EQ(records.size(), 1u);
    const json& r = records[0];
    EXPECT_GE(r["dnl_min_lsb"].get<double>(), -0.05);
    EXPECT_LE(r["dnl_max_lsb"].get<double>(), 0.05);
    EXPECT_GE(r["inl_min_lsb"].get<double>(), -0.05);
    EXPECT_LE(r["inl_max_lsb"].get<double>(), 0.05);
    EXPECT_EQ(r["missing_codes"], json::array());
    const auto rows = csvRecords(readBytes(histogram));
    ASSERT_EQ(rows.size(), 256u);
    uint64_t total = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].at("code"), std::to_string(int(i) - 128));
        total += std::stoull(rows[i].at("count"));
    }
    EXPECT_EQ(total, 4u * 65536u);
    EXPECT_EQ(rows.front().at("dnl_lsb"), "nan");  // the end codes gather the overdrive
    EXPECT_EQ(rows.back().at("dnl_lsb"), "nan");
}

TEST_F(ConverterRoundTrip, HistogramFindsKnownCodeWidthsAndAMissingCode) {
    // An 8-bit converter of 10 V built here: ideal transition levels
    // (c - 0.5) LSB, except that code 10 is 1.5 LSB wide and code 11 0.5,
    // and code -20 never occurs (its lower level raised to the next one,
    // so code -21 is 2 LSB wide). Each sample is written as its code's
    // centre, which the tool reads back as that code.
    const double lsb = 10.0 / 128.0;
    auto level = [](int code) {  // lower transition level of `code`, in LSB
        if (code == 11) return 11.0;
        if (code == -20) return -19.5;
        return code - 0.5;
    };
    auto convert = [&](double volts) {
        int code = -128;
        while (code < 127 && volts / lsb >= level(code + 1)) ++code;
        return float(code * lsb);
    };
    const double rate = 100000.0, frequency = 1745.9337 * std::sqrt(2.0) / 1.41, amplitude = 10.15;
    writeBytes(path("widths.MRF"), recordingBytes(1, rate, 1 << 20, [&](int64_t r, uint32_t) {
                   return convert(amplitude * std::sin(2 * kPi * frequency * double(r) / rate + 0.3));
               }));
    const std::string histogram = path("widths.csv");
    const json records = analyse({"-n", "64K", "--histogram", histogram, "--bits", "8", path("widths.MRF")});
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["missing_codes"], json::array({-20}));
    std::map<int, double> dnl;
    for (const auto& row : csvRecords(readBytes(histogram))) dnl[std::stoi(row.at("code"))] = number(row, "dnl_lsb");
    const std::map<int, double> expected = {{10, 0.5}, {11, -0.5}, {-20, -1.0}, {-21, 1.0}};
    for (int code = -127; code <= 126; ++code) {
        SCOPED_TRACE("code " + std::to_string(code));
        const auto known = expected.find(code);
        EXPECT_NEAR(dnl.at(code), known == expected.end() ? 0.0 : known->second, 0.1);
    }
    EXPECT_NEAR(records[0]["dnl_max_lsb"].get<double>(), 1.0, 0.1);
    EXPECT_NEAR(records[0]["dnl_min_lsb"].get<double>(), -1.0, 0.1);
}

TEST_F(ConverterRoundTrip, HistogramRefusesASignalThatMissesTheEndCodes) {
    const std::string file =
        record({"Channels = 1", "Rate = 65536", "Ch0Amplitude = 9", "Ch0Noise = 0"}, "1", "small.MRF");
    const ToolRun result = run({"-q", "-n", "64K", "--histogram", path("small.csv"), "--bits", "8", file});
    EXPECT_EQ(result.exitCode, kExitFailed);
    EXPECT_NE(result.err.find("channel 1: no histogram test: "), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("slightly overdriven sine"), std::string::npos) << result.err;
    const ToolRun noBits = run({"--histogram", path("small.csv"), file});
    EXPECT_EQ(noBits.exitCode, kExitUsage);
    EXPECT_NE(noBits.err.find("--bits B"), std::string::npos) << noBits.err;
}

TEST_F(ConverterRoundTrip, ToneOffABinGetsTheNearestCoherentCycles) {
    // 4096 Hz and N = 4096: one bin per Hz.
    struct Case {
        const char* frequency;
        double offset;
        int64_t cycles;
    };
    const Case cases[] = {{"100.37", 0.37, 101}, {"200.63", -0.37, 201}, {"1000.37", 0.37, 1001}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frequency);
        const std::string file = record({"Channels = 1", "Rate = 4096", std::string("Ch0Frequency = ") + c.frequency,
                                         "Ch0Amplitude = 9", "Ch0Noise = 0", "Ch0Harmonics ="},
                                        "2", "tone.MRF");
        for (const char* window : {"Rectangle", "12"}) {
            SCOPED_TRACE(window);
            std::string err;
            const json records = analyse({"-n", "4K", "-w", window, file}, &err);
            ASSERT_EQ(records.size(), 1u);
            EXPECT_NEAR(records[0]["tone_bin_offset"].get<double>(), c.offset, 1e-3);
            EXPECT_EQ(records[0]["coherent_cycles"], c.cycles);
            EXPECT_EQ(records[0]["coherent_frequency_hz"].get<double>(), double(c.cycles));
            const bool leaks = std::string(window) == "Rectangle";
            EXPECT_EQ(err.find("leaks with the Rectangle window: set " + std::to_string(c.cycles) + " Hz (" +
                               std::to_string(c.cycles) + " cycles in 4096 samples)") != std::string::npos,
                      leaks)
                << err;
        }
    }
    // On a bin: no advice to give.
    const std::string onBin = record(
        {"Channels = 1", "Rate = 4096", "Ch0Frequency = 101", "Ch0Amplitude = 9", "Ch0Noise = 0", "Ch0Harmonics ="},
        "1", "bin.MRF");
    std::string err;
    analyse({"-n", "4K", onBin}, &err);
    EXPECT_EQ(err.find("leaks"), std::string::npos) << err;
}

TEST_F(ConverterRoundTrip, ToneWithinTheMainLobeOfAnEdgeIsWarnedOf) {
    struct Case {
        const char* frequency;
        const char* edge;
    };
    const Case cases[] = {{"3", "of DC"}, {"2045", "of Nyquist"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frequency);
        const std::string file = record({"Channels = 1", "Rate = 4096", std::string("Ch0Frequency = ") + c.frequency,
                                         "Ch0Amplitude = 9", "Ch0Noise = 1e-4", "Ch0Harmonics ="},
                                        "1", "edge.MRF");
        std::string err;
        analyse({"-n", "4K", "-w", "12", file}, &err);
        EXPECT_NE(err.find(std::string("lies within the main lobe of the Blackman-Harris 7term, 7bin window")),
                  std::string::npos)
            << err;
        EXPECT_NE(err.find(c.edge), std::string::npos) << err;
    }
}

TEST_F(ConverterRoundTrip, PerWindowRowsAndTheirSpread) {
    // 2 channels, 8 windows of 4K; a noisy channel so that the windows differ.
    const std::string file =
        record({"Channels = 2", "Rate = 8192", "Ch0Noise = 0.01", "Ch1Noise = 0.05"}, "8", "series.MRF");
    const std::string windows = path("windows.csv");
    const json records = analyse({"-n", "4K", "-w", "12", "--sine-fit", "--per-window", windows, file});
    ASSERT_EQ(records.size(), 2u);
    const auto rows = csvRecords(readBytes(windows));
    ASSERT_EQ(rows.size(), 16u);
    for (size_t ch = 0; ch < 2; ++ch) {
        SCOPED_TRACE(ch + 1);
        std::vector<double> sinad, fitEnob;
        for (const auto& row : rows) {
            if (row.at("channel") != std::to_string(ch + 1)) continue;
            EXPECT_EQ(row.at("first_row"), std::to_string(sinad.size() * 4096));
            EXPECT_EQ(number(row, "start_s"), double(sinad.size()) * 4096.0 / 4096.0);
            sinad.push_back(number(row, "sinad_db"));
            fitEnob.push_back(number(row, "fit_enob"));
        }
        ASSERT_EQ(sinad.size(), 8u);
        const json& r = records[ch];
        double mean = 0, squares = 0;
        for (double v : sinad) mean += v / 8;
        for (double v : sinad) squares += (v - mean) * (v - mean);
        EXPECT_NEAR(r["sinad_db_mean"].get<double>(), mean, 1e-9);
        EXPECT_NEAR(r["sinad_db_std"].get<double>(), std::sqrt(squares / 7), 1e-9);
        EXPECT_EQ(r["sinad_db_min"].get<double>(), *std::min_element(sinad.begin(), sinad.end()));
        EXPECT_EQ(r["sinad_db_max"].get<double>(), *std::max_element(sinad.begin(), sinad.end()));
        EXPECT_GT(r["sinad_db_std"].get<double>(), 0.0);
        // The record's own figures are the last window's.
        EXPECT_EQ(r["sinad_db"].get<double>(), sinad.back());
        EXPECT_EQ(r["fit_enob"].get<double>(), fitEnob.back());
    }

    // A time range: from 2 s for 4 s of 4096 rows each, two windows of 8K.
    const json ranged = analyse({"-n", "8K", "--start", "2", "--duration", "4", "--per-window", windows, file});
    EXPECT_EQ(ranged[0]["windows"], 2);
    const auto rangedRows = csvRecords(readBytes(windows));
    ASSERT_EQ(rangedRows.size(), 4u);
    EXPECT_EQ(rangedRows[0].at("first_row"), "8192");
    EXPECT_EQ(rangedRows[2].at("first_row"), "16384");
    EXPECT_EQ(rangedRows[2].at("window"), "1");
    const ToolRun late = run({"-n", "1K", "--start", "9", file});
    EXPECT_EQ(late.exitCode, kExitFailed);
    EXPECT_NE(late.err.find("--start 9 s is at or after the end (8 s)"), std::string::npos) << late.err;
}

TEST_F(ConverterRoundTrip, FilesInParallelGiveTheOutputsOfOneThread) {
    std::vector<std::string> files;
    for (int k = 0; k < 5; ++k) {
        files.push_back(record({"Channels = " + std::to_string(1 + k % 3), "Rate = 30000",
                                "Ch0Frequency = " + std::to_string(500 + 37 * k), "Ch0Noise = 0.001"},
                               "1", "f" + std::to_string(k) + ".MRF"));
    }
    files.insert(files.begin() + 2, path("missing.MRF"));  // an error among them, in its place
    auto outputs = [&](const std::string& jobs) {
        std::vector<std::string> arguments = {"-j",           jobs,
                                              "-n",           "4K",
                                              "--sine-fit",   "--csv",
                                              "--spectrum",   path("s" + jobs + ".csv"),
                                              "--per-window", path("w" + jobs + ".csv"),
                                              "--plot",       path("p" + jobs + ".svg")};
        arguments.insert(arguments.end(), files.begin(), files.end());
        const ToolRun result = run(arguments);
        EXPECT_EQ(result.exitCode, kExitFailed);
        return std::vector<std::string>{result.out, result.err, readBytes(path("s" + jobs + ".csv")),
                                        readBytes(path("w" + jobs + ".csv")), readBytes(path("p" + jobs + ".svg"))};
    };
    const std::vector<std::string> one = outputs("1");
    const std::vector<std::string> three = outputs("3");
    const char* names[] = {"results", "messages", "spectrum", "per-window", "plot"};
    for (size_t k = 0; k < one.size(); ++k) {
        SCOPED_TRACE(names[k]);
        EXPECT_FALSE(one[k].empty());
        EXPECT_TRUE(one[k] == three[k]);
    }
}

}  // namespace
