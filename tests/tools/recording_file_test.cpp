// Files that are no usable recording, options that cannot be followed and
// outputs that cannot be written: each is one line naming the file and a
// nonzero exit code, never a crash; a cut-short last row and rows that do
// not fill a window are said once and the rest is analysed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tests/tools/tool_fixture.h"
#include "tools/quorvel-analyse/recording_file.h"

namespace {

class RecordingErrors : public ToolTest {
protected:
    // The header of a 2-channel, 1 kHz recording with `bytes` written over
    // it at `offset`.
    static std::string patchedHeader(size_t offset, const void* bytes, size_t length) {
        std::string header = headerBytes(2, 1000.0);
        header.replace(offset, length, static_cast<const char*>(bytes), length);
        return header;
    }
    template <typename T>
    static std::string headerWith(size_t offset, T value) {
        return patchedHeader(offset, &value, sizeof value);
    }

    // The error is one line: "quorvel-analyse: <file>: <text>".
    static void expectOneLineError(const ToolRun& result, const std::string& file, const std::string& text) {
        EXPECT_EQ(result.exitCode, kExitFailed);
        EXPECT_EQ(result.err.find(file), std::string("quorvel-analyse: ").size()) << result.err;
        EXPECT_NE(result.err.find(text), std::string::npos) << "got: " << result.err << "want: " << text;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
        EXPECT_EQ(result.out, "");
    }
};

TEST_F(RecordingErrors, MalformedFilesAreRefusedWithTheirReason) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    const std::string full = headerBytes(2, 1000.0);
    struct Case {
        const char* name;
        std::string bytes;
        std::string message;
    };
    const Case cases[] = {
        {"empty file", "", "truncated header: 0 of 116 bytes"},
        {"a text", "hello, world\n", "not a recording: the first section is not \"MirnelFFS\""},
        {"header cut in the first name", full.substr(0, 5), "truncated header: 5 of 116 bytes"},
        {"header cut after the format", full.substr(0, 84), "truncated header: 84 of 116 bytes"},
        {"header less its last byte", full.substr(0, 115), "truncated header: 115 of 116 bytes"},
        {"first section's length", headerWith<uint64_t>(24, 1),
         "not a recording: the \"MirnelFFS\" section's length is not 0"},
        {"second section's name", patchedHeader(32, "SAMPLES_FORMAX", 14),
         "not a recording: the second section is not \"SAMPLES_FORMAT\""},
        {"format section's length", headerWith<uint64_t>(56, 21),
         "not a recording: the \"SAMPLES_FORMAT\" section's length is not 20"},
        {"format code", headerWith<uint32_t>(64, 8), "not a recording: the format code is not 7"},
        {"third section's name", patchedHeader(84, "SAMPLES_RECORDS", 15),
         "not a recording: the third section is not \"SAMPLES_RECORD\""},
        {"rows' length", headerWith<uint64_t>(108, 1000),
         "not a recording: the \"SAMPLES_RECORD\" section's length is not all ones"},
        {"cut inside a wrong name", patchedHeader(0, "Mx", 2).substr(0, 10),
         "not a recording: the first section is not"},
        {"no channel", headerWith<uint32_t>(68, 0), "channel count 0 (a recording has 1 to 32)"},
        {"33 channels", headerWith<uint32_t>(68, 33), "channel count 33 (a recording has 1 to 32)"},
        {"huge channel count", headerWith<uint32_t>(68, 0xFFFFFFFF), "channel count 4294967295"},
        {"rate 0", headerWith<double>(72, 0.0), "channel rate 0 Hz (it must be finite and above 0)"},
        {"negative rate", headerWith<double>(72, -1000.0), "channel rate -1000 Hz"},
        {"rate not a number", headerWith<double>(72, nan), "channel rate nan Hz"},
        {"infinite rate", headerWith<double>(72, infinity), "channel rate inf Hz"},
        {"rows without a header", std::string(1000, '\0'), "not a recording: the first section is not"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = path("bad.MRF");
        writeBytes(file, c.bytes);
        expectOneLineError(run({file}), file, c.message);
    }
}

TEST_F(RecordingErrors, CheckedHeaderMatchesTheRecorderLayout) {
    // Every header that the bench writes passes, whatever its channel count.
    for (uint32_t channels : {1u, 2u, 31u, 32u}) {
        SCOPED_TRACE(channels);
        const RecordHeader header = makeRecordHeader(channels, 12345.5);
        EXPECT_EQ(checkRecordHeader(&header, sizeof header), "");
    }
}

TEST_F(RecordingErrors, MissingFile) {
    const std::string file = path("none.MRF");
    expectOneLineError(run({file}), file, "cannot open");
}

TEST_F(RecordingErrors, SizeLongerThanTheRecordingSaysTheRows) {
    struct Case {
        const char* size;
        int64_t rows;
        std::string message;
    };
    const Case cases[] = {
        {"64", 63, "the size 64 is longer than the recording (63 rows)"},
        {"1K", 1, "the size 1.0K is longer than the recording (1 row)"},
        {"32", 0, "the size 32 is longer than the recording (0 rows)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const std::string file = path("short.MRF");
        writeBytes(file, recordingBytes(3, 1000.0, c.rows, [](int64_t r, uint32_t) { return float(r % 7); }));
        expectOneLineError(run({"--size", c.size, file}), file, c.message);
    }
}

TEST_F(RecordingErrors, ChannelNotInTheRecording) {
    const std::string file = path("two.MRF");
    writeBytes(file, recordingBytes(2, 1000.0, 64, [](int64_t r, uint32_t) { return float(r % 5); }));
    expectOneLineError(run({"--size", "32", "--channels", "1,3", file}), file,
                       "no channel 3 (the recording has 2 channels)");
}

TEST_F(RecordingErrors, CutShortRowAndIncompleteWindowAreSaidAndLeftOut) {
    // 64 whole rows, 6 more and 5 bytes of a row: two windows of 32, each
    // holding 8 whole cycles of a tone (no other message to give).
    const std::string whole = path("whole.MRF");
    const std::string longer = path("longer.MRF");
    auto value = [](int64_t r, uint32_t c) { return float(std::sin(2 * 3.141592653589793 * 8 * double(r) / 32 + c)); };
    writeBytes(whole, recordingBytes(2, 1000.0, 64, value));
    writeBytes(longer, recordingBytes(2, 1000.0, 70, value) + std::string(5, '\x40'));

    const ToolRun reference = run({"--size", "32", "--csv", whole});
    ASSERT_EQ(reference.exitCode, kExitDone) << reference.err;
    EXPECT_EQ(reference.err, "");
    const ToolRun result = run({"--size", "32", "--csv", longer});
    ASSERT_EQ(result.exitCode, kExitDone) << result.err;
    const std::vector<std::string> lines = splitLines(result.err);
    ASSERT_EQ(lines.size(), 2u) << result.err;
    EXPECT_EQ(lines[0], "quorvel-analyse: " + longer +
                            ": warning: the last 5 bytes are part of a row that was cut short and were ignored");
    EXPECT_EQ(lines[1], "quorvel-analyse: " + longer +
                            ": note: the last 6 rows do not fill a window of 32 and were not analysed");
    std::string expected = reference.out;
    for (size_t at; (at = expected.find(whole)) != std::string::npos;) expected.replace(at, whole.size(), longer);
    EXPECT_EQ(result.out, expected);
}

TEST_F(RecordingErrors, BadFileDoesNotStopTheOthers) {
    const std::string good = path("good.MRF");
    const std::string bad = path("bad.MRF");
    writeBytes(good, recordingBytes(1, 1000.0, 32, [](int64_t r, uint32_t) { return float(r % 3); }));
    writeBytes(bad, "not a recording");
    const ToolRun result = run({"--size", "32", "-v", "scope", bad, good});
    EXPECT_EQ(result.exitCode, kExitFailed);
    EXPECT_EQ(splitLines(result.err).size(), 1u) << result.err;
    EXPECT_NE(result.err.find(bad + ": not a recording"), std::string::npos) << result.err;
    EXPECT_NE(result.out.find("==== " + good), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find(bad), std::string::npos) << result.out;
}

TEST_F(RecordingErrors, OptionsThatCannotBeFollowed) {
    const std::string file = path("fine.MRF");
    const std::string config = boardSettings("board.cfg", {"Channels = 2", "Rate = 100000"});
    writeBytes(file, recordingBytes(1, 1000.0, 64, [](int64_t r, uint32_t) { return float(r % 3); }));
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const Case cases[] = {
        {{"--window", "Hann", file}, "quorvel-analyse: --window: unknown window name 'Hann'"},
        {{"--size", "1000", file}, "quorvel-analyse: --size: '1000' is not a power of two"},
        {{"--view", "spectrum", file}, "quorvel-analyse: --view: unknown view 'spectrum'"},
        {{"--channels", "0", file}, "quorvel-analyse: --channels: '0' in the channel list"},
        {{"--averaging", "41", file}, "--averaging"},
        {{"--csv", "--json", file}, "excludes --json"},
        {{"--bogus", file}, "--bogus"},
        {{"--full-scale", "nan", file}, "quorvel-analyse: --full-scale: nan is not a number of volts above 0"},
        {{"--full-scale", "inf", file}, "quorvel-analyse: --full-scale: inf is not a number of volts above 0"},
        {{"--full-scale", "-10", file}, "quorvel-analyse: --full-scale: -10 is not a number of volts above 0"},
        {{"--full-scale", "0", file}, "quorvel-analyse: --full-scale: 0 is not a number of volts above 0"},
        {{}, "no recording given"},
        {{"record", "--config", config, file}, "--seconds"},
        {{"record", "--config", config, "--seconds", "0", file}, "--seconds: 0 is not a number of seconds above 0"},
        {{"record", "--config", config, "--seconds", "nan", file}, "--seconds"},
        {{"record", "--config", config, "--seconds", "1e-9", file},
         "--seconds: 1e-09 s give no frame at 50000 Hz per channel"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const ToolRun result = run(c.arguments);
        EXPECT_EQ(result.exitCode, kExitUsage);
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    }
}

TEST_F(RecordingErrors, OutputsThatCannotBeWritten) {
    const std::string file = path("fine.MRF");
    writeBytes(file, recordingBytes(1, 1000.0, 64, [](int64_t r, uint32_t) { return float(r % 3); }));
    const std::string nowhere = path("no-such-folder/out.MRF");
    const std::vector<std::vector<std::string>> cases = {
        {"--output", nowhere, file},
        {"--spectrum", nowhere, file},
        {"--plot", nowhere, file},
        {"record", "--config", path("fine.cfg"), "--seconds", "0.01", nowhere},
    };
    writeBytes(path("fine.cfg"), "Channels = 1\r\n");
    for (const std::vector<std::string>& arguments : cases) {
        SCOPED_TRACE(arguments[0]);
        const ToolRun result = run(arguments);
        EXPECT_EQ(result.exitCode, kExitFailed);
        EXPECT_EQ(result.err.find("quorvel-analyse: " + nowhere + ": cannot be written"), 0u) << result.err;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    }
    // A recording that cannot be written leaves no file behind.
    const std::string folder = path("folder.MRF");
    std::filesystem::create_directory(folder);
    const ToolRun result = run({"record", "--config", path("fine.cfg"), "--seconds", "0.01", folder});
    EXPECT_EQ(result.exitCode, kExitFailed);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

}  // namespace
