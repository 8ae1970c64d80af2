// The recorder on the platform's own files: a recording read back from disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "config/settings.h"
#include "tests/recording/recorder_fixture.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;

// Runs each test in a fresh temporary directory as the current directory
// (the File setting is then a plain relative name, whatever the temporary
// path looks like), removed with its files afterwards.
class RecorderOnDisk : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        previous_ = fs::current_path();
        fs::current_path(path(""));
    }

    void TearDown() override {
        std::error_code error;
        fs::current_path(previous_, error);
        TempDirTest::TearDown();
    }

private:
    fs::path previous_;
};

TEST_F(RecorderOnDisk, ARecordingReadsBackFromTheDisk) {
    // File 001 exists already and must survive.
    {
        std::ofstream keep("rec001.MRF", std::ios::binary);
        keep << "keep";
    }
    const int32_t n = 512, blockLength = 256;
    const int channels = 3, blocks = 4;
    RecorderBench b(true);
    const int32_t gains[channels] = {1, 2, 4};
    for (int c = 0; c < channels; ++c) {
        b.channels[c].gain = gains[c];
        ASSERT_TRUE(b.channels[c].allocateBuffers(n));
    }
    b.recorder.buildRecordName();
    b.recorder.setRecording(true);
    for (int i = 0; i < blocks; ++i) ASSERT_TRUE(b.recordStreamBlock(channels, blockLength));
    EXPECT_EQ(b.recorder.samplesWritten, int64_t(blocks) * blockLength * channels);
    b.recorder.halt();
    EXPECT_TRUE(b.errors.empty());
    EXPECT_EQ(b.recorder.fileNumber(), 3);

    EXPECT_EQ(readBytes("rec001.MRF"), "keep");
    const std::string bytes = readBytes("rec002.MRF");
    const size_t rows = size_t(blocks) * blockLength;
    ASSERT_EQ(bytes.size(), kRecordHeaderBytes + rows * channels * sizeof(float));
    RecordHeader header;
    ASSERT_TRUE(parseRecordHeader(bytes.data(), bytes.size(), header));
    EXPECT_EQ(uint32_t{header.format.channelCount}, uint32_t(channels));
    EXPECT_EQ(double{header.format.channelRate}, kChannelRate);
    EXPECT_EQ(bytes.substr(0, kRecordHeaderBytes), headerBytes(channels, kChannelRate));

    // The first N - B rows are the zeros the windows held at the start.
    expectRows(rowValues(bytes), channels, [&](int64_t row, int c) {
        const int64_t k = row - (n - blockLength);
        return k < 0 ? 0.0f : static_cast<float>(streamVolts(streamCode(k, c), gains[c]));
    });
}

// FileAutoIncrement as Quorvel.cfg gives it and the recorder numbers the
// files: a value outside 0..999 turns numbering on from 001 (a negative one
// counted up to 0 and then replaced one file; the int32 limit overflowed).
TEST_F(RecorderOnDisk, TheConfiguredFileNumberNamesTheFiles) {
    struct Case {
        const char* value;
        std::vector<std::string> files;  // of three recordings, in order
    };
    const Case cases[] = {
        {"1", {"RUN001.MRF", "RUN002.MRF", "RUN003.MRF"}},
        {"998", {"RUN998.MRF", "RUN999.MRF", "RUN001.MRF"}},
        {"0", {"RUN.MRF", "RUN.MRF", "RUN.MRF"}},
        {"-2", {"RUN001.MRF", "RUN002.MRF", "RUN003.MRF"}},
        {"-1", {"RUN001.MRF", "RUN002.MRF", "RUN003.MRF"}},
        {"1000", {"RUN001.MRF", "RUN002.MRF", "RUN003.MRF"}},
        {"2147483647", {"RUN001.MRF", "RUN002.MRF", "RUN003.MRF"}},
        {"-2147483648", {"RUN001.MRF", "RUN002.MRF", "RUN003.MRF"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        writeBytes("Quorvel.cfg", std::string("File = RUN.dat\r\nFileAutoIncrement = ") + c.value + "\r\n");
        Settings settings{};
        presetConstructorDefaults(settings);
        presetDefaults(settings, SystemColours{0, 0});
        loadConfig(settings, "Quorvel.cfg");

        RecorderBench b;
        b.recorder.setFile(settings.fileName, settings.fileAutoIncrement);
        b.fillWindows(1, 256);
        for (const std::string& file : c.files) {
            b.recorder.buildRecordName();
            b.recorder.setRecording(true);
            ASSERT_TRUE(b.write(b.block(1, 256)));
            b.recorder.setRecording(false);
            EXPECT_EQ(b.disk.creations.back().path, file);
        }
        EXPECT_TRUE(b.errors.empty());
    }
}

}  // namespace
