// The inputs beside the bench's recordings: WAV files (the tool's own reader
// against libsndfile where the build has it), FLAC, and raw binary rows,
// each analysed as the recording of the same volts is.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/tools/tool_fixture.h"
#include "tools/quorvel-analyse/input_files.h"
#include "tools/quorvel-analyse/wav_file.h"

#if !defined(_WIN32)
#include <sndfile.h>
#endif

namespace {

using nlohmann::json;

void put16(std::string& bytes, uint32_t v) {
    bytes += char(v & 0xFF);
    bytes += char((v >> 8) & 0xFF);
}
void put32(std::string& bytes, uint32_t v) {
    put16(bytes, v & 0xFFFF);
    put16(bytes, v >> 16);
}

// A WAV file of `rows` rows of `channels` samples, each sample's bytes
// given by `sample` (little-endian, bits / 8 of them).
std::string wavBytes(uint16_t format, uint16_t bits, uint16_t channels, uint32_t rate, uint32_t rows,
                     const std::function<std::string(uint32_t, uint16_t)>& sample, bool extensible = false) {
    std::string data;
    for (uint32_t r = 0; r < rows; ++r) {
        for (uint16_t c = 0; c < channels; ++c) data += sample(r, c);
    }
    std::string fmt;
    put16(fmt, extensible ? 0xFFFE : format);
    put16(fmt, channels);
    put32(fmt, rate);
    put32(fmt, rate * channels * bits / 8);
    put16(fmt, uint16_t(channels * bits / 8));
    put16(fmt, bits);
    if (extensible) {
        put16(fmt, 22);
        put16(fmt, bits);
        put32(fmt, 0);
        put16(fmt, format);  // the sub-format GUID's first two bytes
        fmt += std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
    }
    std::string bytes = "RIFF";
    put32(bytes, uint32_t(4 + 8 + fmt.size() + 8 + 6 + 8 + data.size()));
    bytes += "WAVE";
    bytes += "fmt ";
    put32(bytes, uint32_t(fmt.size()));
    bytes += fmt;
    bytes += "LIST";  // a chunk the reader passes over, of odd length with its pad byte
    put32(bytes, 5);
    bytes += std::string("INFOx\0", 6);
    bytes += "data";
    put32(bytes, uint32_t(data.size()));
    return bytes + data;
}

std::string little(int64_t value, int bytes) {
    std::string text;
    for (int b = 0; b < bytes; ++b) text += char((uint64_t(value) >> (8 * b)) & 0xFF);
    return text;
}

std::vector<float> readAll(SampleSource& source) {
    std::vector<float> values(size_t(source.rowCount()) * source.channelCount());
    EXPECT_TRUE(source.readRows(values.data(), size_t(source.rowCount())));
    return values;
}

class InputFiles : public ToolTest {};

TEST_F(InputFiles, WavSamplesReadAsVoltsOfTheFullScale) {
    // Codes that cover each format's ends and middle, channel 1 negated.
    const int32_t steps[] = {-4, -1, 0, 1, 3};
    struct Case {
        const char* name;
        uint16_t format, bits;
        bool extensible;
        double fullCode;  // the code of 1.0
        std::function<std::string(int64_t)> encode;
    };
    const Case cases[] = {
        {"8-bit unsigned", 1, 8, false, 128, [](int64_t code) { return little(code + 128, 1); }},
        {"16-bit", 1, 16, false, 32768, [](int64_t code) { return little(code, 2); }},
        {"24-bit, extensible", 1, 24, true, 8388608, [](int64_t code) { return little(code, 3); }},
        {"32-bit", 1, 32, false, 2147483648.0, [](int64_t code) { return little(code, 4); }},
        {"float", 3, 32, false, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto value = [&](uint32_t r, uint16_t ch) {  // as a fraction of the full scale
            const double v = steps[r % 5] * 0.25;
            return ch == 0 ? v : -v;
        };
        const std::string file = path("t.wav");
        writeBytes(file, wavBytes(
                             c.format, c.bits, 2, 48000, 10,
                             [&](uint32_t r, uint16_t ch) {
                                 if (!c.encode) {
                                     const float f = float(value(r, ch));
                                     uint32_t bits;
                                     std::memcpy(&bits, &f, 4);
                                     return little(bits, 4);
                                 }
                                 // -1.0 is the lowest code; +1.0 is one code beyond the highest.
                                 const double code =
                                     std::max(-c.fullCode, std::min(c.fullCode - 1, value(r, ch) * c.fullCode));
                                 return c.encode(int64_t(code));
                             },
                             c.extensible));
        WavFile own;
        std::string reason;
        ASSERT_TRUE(own.open(file, 5.0, reason)) << reason;
        EXPECT_EQ(own.channelCount(), 2u);
        EXPECT_EQ(own.channelRate(), 48000.0);
        ASSERT_EQ(own.rowCount(), 10u);
        const std::vector<float> mine = readAll(own);
        for (uint32_t r = 0; r < 10; ++r) {
            for (uint16_t ch = 0; ch < 2; ++ch) {
                const double want =
                    std::min(value(r, ch) * 5.0, c.fullCode ? 5.0 * (c.fullCode - 1) / c.fullCode : 5.0);
                EXPECT_NEAR(mine[r * 2 + ch], want, 1e-6) << "row " << r << ", channel " << ch;
            }
        }
        // The reader the tool uses in this build reads the same volts.
        std::unique_ptr<SampleSource> used;
        InputOptions options;
        options.fullScale = 5.0;
        ASSERT_TRUE(openSampleSource(file, options, used, reason)) << reason;
        const std::vector<float> theirs = readAll(*used);
        ASSERT_EQ(theirs.size(), mine.size());
        for (size_t i = 0; i < mine.size(); ++i) EXPECT_NEAR(theirs[i], mine[i], 1e-6 * 5.0) << i;
    }
}

TEST_F(InputFiles, MalformedWavFilesAreRefusedWithAReason) {
    const std::string good = wavBytes(1, 16, 1, 1000, 4, [](uint32_t r, uint16_t) { return little(r, 2); });
    struct Case {
        const char* name;
        std::string bytes;
        const char* reason;
    };
    std::string noData = good.substr(0, good.find("data"));
    std::string manyChannels = good;
    manyChannels[22] = 40;  // channels
    std::string adpcm = good;
    adpcm[20] = 2;  // format tag
    const Case cases[] = {
        {"no data chunk", noData, "no data chunk"},
        {"too many channels", manyChannels, "40 channels"},
        {"compressed samples", adpcm, "format 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(path("bad.wav"), c.bytes);
        WavFile file;
        std::string reason;
        EXPECT_FALSE(file.open(path("bad.wav"), 1.0, reason));
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
    }
    // Cut inside its data: the whole rows are read, the rest reported.
    writeBytes(path("cut.wav"), good.substr(0, good.size() - 3));
    WavFile cut;
    std::string reason;
    ASSERT_TRUE(cut.open(path("cut.wav"), 1.0, reason)) << reason;
    EXPECT_EQ(cut.rowCount(), 2u);
    EXPECT_EQ(cut.partialRowBytes(), 1u);
}

// A tone of 1 channel: as a recording, as a 24-bit WAV file and as raw int32
// codes the same volts give the same figures.
TEST_F(InputFiles, EveryInputOfTheSameVoltsGivesTheSameFigures) {
    const double rate = 8192.0;
    const int rows = 16384;
    auto code = [&](int r) {  // 16-bit codes, so that every input holds them exactly
        return int32_t(std::lround(30000.0 * std::sin(2 * 3.141592653589793 * 300.25 * r / rate)));
    };
    writeBytes(path("tone.MRF"), recordingBytes(1, rate, rows, [&](int64_t r, uint32_t) {
                   return float(code(int(r)) * 10.0 / 32768.0);
               }));
    writeBytes(path("tone.wav"), wavBytes(1, 24, 1, uint32_t(rate), rows, [&](uint32_t r, uint16_t) {
                   return little(int64_t(code(int(r))) * 256, 3);
               }));
    std::string raw16, raw32, rawFloat;
    for (int r = 0; r < rows; ++r) {
        raw16 += little(code(r), 2);
        raw32 += little(int64_t(code(r)) * 65536, 4);
        const float volts = float(code(r) * 10.0 / 32768.0);
        uint32_t bits;
        std::memcpy(&bits, &volts, 4);
        rawFloat += little(bits, 4);
    }
    writeBytes(path("tone.i16"), raw16);
    writeBytes(path("tone.i32"), raw32 + "xy");  // a cut row at the end
    writeBytes(path("tone.f32"), rawFloat);
    auto figures = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--json", "-n", "4K", "-w", "12", "--sine-fit"});
        const ToolRun result = run(arguments);
        EXPECT_EQ(result.exitCode, kExitDone) << result.err;
        json records = json::parse(result.out);
        records[0].erase("file");
        return records[0];
    };
    const json recording = figures({path("tone.MRF")});
    EXPECT_NEAR(recording["freq_hz"].get<double>(), 300.25, 0.1);
    const std::vector<std::pair<const char*, std::vector<std::string>>> others = {
        {"WAV", {path("tone.wav")}},
        {"raw int16", {"--raw", "int16", "--rate", "8192", path("tone.i16")}},
        {"raw int32", {"--raw", "INT32", "--rate", "8192", "--in-channels", "1", path("tone.i32")}},
        {"raw float32", {"--raw", "float32", "--rate", "8192", path("tone.f32")}},
    };
    for (const auto& [name, arguments] : others) {
        SCOPED_TRACE(name);
        EXPECT_EQ(figures(arguments), recording);
    }
    const ToolRun noRate = run({"--raw", "int16", path("tone.i16")});
    EXPECT_EQ(noRate.exitCode, kExitUsage);
    EXPECT_NE(noRate.err.find("--rate HZ"), std::string::npos) << noRate.err;
    const ToolRun badType = run({"--raw", "int8", "--rate", "1", path("tone.i16")});
    EXPECT_NE(badType.err.find("'int8' is not a raw sample type (int16, int32 or float32)"), std::string::npos);
}

#if defined(_WIN32)
TEST_F(InputFiles, FlacIsRefusedWithWhatToDo) {
    writeBytes(path("s.flac"), std::string("fLaC") + std::string(60, '\0'));
    const ToolRun result = run({path("s.flac")});
    EXPECT_EQ(result.exitCode, kExitFailed);
    EXPECT_NE(result.err.find("FLAC files are read by the Linux build of the tool only"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("convert the file to WAV"), std::string::npos) << result.err;
}
#else
TEST_F(InputFiles, FlacReadsAsTheWavOfTheSameSamples) {
    const int rows = 8192;
    std::vector<short> samples(size_t(rows) * 2);
    for (int r = 0; r < rows; ++r) {
        samples[size_t(r) * 2] = short(std::lround(32000.0 * std::sin(2 * 3.141592653589793 * 440.0 * r / 44100.0)));
        samples[size_t(r) * 2 + 1] = short(-samples[size_t(r) * 2] / 3);
    }
    for (const auto& [name, format] : {std::pair{"s.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
                                       std::pair{"s.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16}}) {
        SF_INFO info{};
        info.samplerate = 44100;
        info.channels = 2;
        info.format = format;
        SNDFILE* file = sf_open(path(name).c_str(), SFM_WRITE, &info);
        ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
        ASSERT_EQ(sf_writef_short(file, samples.data(), rows), rows);
        sf_close(file);
    }
    const ToolRun flac = run({"--csv", "-n", "2K", path("s.flac")});
    const ToolRun wav = run({"--csv", "-n", "2K", path("s.wav")});
    ASSERT_EQ(flac.exitCode, kExitDone) << flac.err;
    ASSERT_EQ(wav.exitCode, kExitDone) << wav.err;
    std::string flacRows = flac.out, wavRows = wav.out;
    for (std::string* text : {&flacRows, &wavRows}) {
        for (size_t at; (at = text->find(path(""))) != std::string::npos;) text->erase(at, text->find(',', at) - at);
    }
    EXPECT_EQ(flacRows, wavRows);
}
#endif

}  // namespace
