// The recorder on an in-memory disk: which values a block's rows hold and how
// they are written, what a full disk or a refused file leaves behind, the
// file names and numbers, and the disk texts.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tests/recording/recorder_fixture.h"

namespace {

std::string numbered(const char* base, int number) {
    char name[64];
    std::snprintf(name, sizeof name, "%s%03d.MRF", base, number);
    return name;
}

// ---------------------------------------------------------------- rows

TEST(RecorderRows, BlocksAreWrittenInRunsOfAtMost1024Rows) {
    struct Case {
        const char* name;
        int32_t windowLength;  // N
        int32_t blockLength;   // B
        int channels;
        std::vector<size_t> runs;  // rows of each write after the header
    };
    const Case cases[] = {
        {"B 256 in a window of 256", 256, 256, 2, {256}},
        {"B 4096 in a window of 4096", 4096, 4096, 3, {1024, 1024, 1024, 1024}},
        {"B 2048 in a window of 8192", 8192, 2048, 1, {1024, 1024}},
        {"B 1024 of 32 channels", 1024, 1024, 32, {1024}},
        {"B 4096 of 11 channels in a window of 8192", 8192, 4096, 11, {1024, 1024, 1024, 1024}},
        {"B 256 of 8 channels", 256, 256, 8, {256}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecorderBench b;
        b.fillWindows(c.channels, c.windowLength);
        ASSERT_TRUE(b.write(b.block(c.channels, c.blockLength)));

        std::vector<size_t> want{kRecordHeaderBytes};
        for (size_t rows : c.runs) want.push_back(rows * c.channels * sizeof(float));
        EXPECT_EQ(b.disk.writeLengths, want);

        // The rows are the B oldest values of every window, channels in order.
        const std::string bytes = b.disk.bytesOf("rec001.MRF");
        EXPECT_EQ(bytes.substr(0, kRecordHeaderBytes), headerBytes(c.channels, kChannelRate));
        const std::vector<float> values = rowValues(bytes);
        ASSERT_EQ(values.size(), static_cast<size_t>(c.blockLength) * c.channels);
        expectRows(values, c.channels,
                   [](int64_t row, int ch) { return static_cast<float>(windowValue(ch, static_cast<int32_t>(row))); });
        EXPECT_EQ(b.recorder.samplesWritten, int64_t(c.blockLength) * c.channels);
        EXPECT_TRUE(b.errors.empty());
    }
}

// With N > B each sample is written as it is about to leave its window: the
// file trails the stream by N - B samples, which right after a start are the
// zeros of the cleared windows.
TEST(RecorderRows, ALongerWindowIsWrittenAsItsSamplesLeave) {
    const int32_t n = 1024, blockLength = 256;
    const int channels = 2;
    const int blocks = 8;
    RecorderBench b;
    for (int c = 0; c < channels; ++c) ASSERT_TRUE(b.channels[c].allocateBuffers(n));
    b.channels[0].gain = 2;
    b.channels[1].gain = 4;
    for (int i = 0; i < blocks; ++i) ASSERT_TRUE(b.recordStreamBlock(channels, blockLength));

    const std::vector<float> values = rowValues(b.disk.bytesOf("rec001.MRF"));
    ASSERT_EQ(values.size(), static_cast<size_t>(blocks) * blockLength * channels);
    expectRows(values, channels, [&](int64_t row, int c) {
        const int64_t k = row - (n - blockLength);  // stream sample in this row
        return k < 0 ? 0.0f : static_cast<float>(streamVolts(streamCode(k, c), b.channels[c].gain));
    });
}

// A block longer than its window comes from the codes, every sample once,
// scaled by the volts per count and the channel's gain (0 or less as 1); a
// channel without a window writes zeros in both cases.
TEST(RecorderRows, BlocksLongerThanTheirWindowsAndChannelsWithoutWindows) {
    struct Case {
        const char* name;
        int32_t windowLength;
        int32_t blockLength;
        std::vector<int32_t> gains;  // one per channel
        int withoutWindow;           // channel without buffers, or -1
    };
    const Case cases[] = {
        {"B 1024 over windows of 256", 256, 1024, {2, 0, -3}, -1},
        {"B 2048 over windows of 1024, more than one run", 1024, 2048, {1, 4}, -1},
        {"B 1024 over windows of 256, channel 1 without a window", 256, 1024, {2, 1, 4}, 1},
        {"B = N, channel 0 without a window", 512, 512, {1, 2}, 0},
        {"B 512 over windows of 256, 10 channels", 256, 512, {1, 2, 4, 0, 1, 2, 4, -1, 2, 1}, -1},
        {"B = N, 9 channels, channel 3 without a window", 512, 512, {1, 2, 4, 1, 2, 4, 1, 2, 4}, 3},
        {"B = N, 12 channels, channel 10 without a window", 256, 256, {1, 2, 4, 1, 2, 4, 1, 2, 4, 1, 2, 4}, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecorderBench b;
        const int channels = static_cast<int>(c.gains.size());
        for (int ch = 0; ch < channels; ++ch) {
            b.channels[ch].gain = c.gains[ch];
            if (ch != c.withoutWindow) {
                ASSERT_TRUE(b.channels[ch].allocateBuffers(c.windowLength));
            }
        }
        ASSERT_TRUE(b.recordStreamBlock(channels, c.blockLength));
        ASSERT_TRUE(b.recordStreamBlock(channels, c.blockLength));

        const std::vector<float> values = rowValues(b.disk.bytesOf("rec001.MRF"));
        ASSERT_EQ(values.size(), static_cast<size_t>(2 * c.blockLength) * channels);
        // A window at least as long as the block delays the stream by N - B rows.
        const int32_t delay = c.blockLength > c.windowLength ? 0 : c.windowLength - c.blockLength;
        expectRows(values, channels, [&](int64_t row, int ch) {
            const int64_t k = row - delay;
            if (ch == c.withoutWindow || k < 0) return 0.0f;
            return static_cast<float>(streamVolts(streamCode(k, ch), c.gains[ch]));
        });
        EXPECT_EQ(b.recorder.samplesWritten, int64_t(2) * c.blockLength * channels);
    }
}

// ---------------------------------------------------------------- failures

// A disk that fills up during a block: the block fails with its message, the
// file is cut back to its last whole row, and the halt that follows closes
// it and takes the next number.
TEST(RecorderFailures, AWriteThatFallsShortLeavesWholeRows) {
    const int channels = 3;
    const size_t rowBytes = channels * sizeof(float);
    const size_t runBytes = 1024 * rowBytes;
    struct Case {
        const char* name;
        uint64_t roomAfterHeader;  // bytes the disk takes after the header
        bool shortWriteSucceeds;   // the write reports success all the same
        size_t wholeRows;          // rows left in the file
        size_t writes;             // row writes tried
    };
    const Case cases[] = {
        {"disk full within the first run", 1000, false, 83, 1},
        {"a short write that reports success", 1000, true, 83, 1},
        {"disk full within the third run", 2 * runBytes + 5, false, 2048, 3},
        {"short and reported as success in the third run", 2 * runBytes + 5, true, 2048, 3},
        {"disk full on a row boundary", runBytes + 10 * rowBytes, false, 1034, 2},
        {"nothing written", 0, false, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecorderBench b;
        b.fillWindows(channels, 4096);
        b.disk.diskRoom = kRecordHeaderBytes + c.roomAfterHeader;
        b.disk.shortWritesSucceed = c.shortWriteSucceeds;
        b.recorder.setRecording(true);

        EXPECT_FALSE(b.write(b.block(channels, 4096)));
        EXPECT_EQ(b.errors, std::vector<std::string>{cannotWriteText()});
        EXPECT_EQ(b.disk.writeLengths.size(), 1 + c.writes);

        const std::string bytes = b.disk.bytesOf("rec001.MRF");
        EXPECT_EQ(bytes.size(), kRecordHeaderBytes + c.wholeRows * rowBytes);
        EXPECT_EQ(bytes.substr(0, kRecordHeaderBytes), headerBytes(channels, kChannelRate));
        expectRows(rowValues(bytes), channels,
                   [](int64_t row, int ch) { return static_cast<float>(windowValue(ch, static_cast<int32_t>(row))); });

        EXPECT_EQ(b.recorder.fileNumber(), 1);
        b.recorder.halt();
        EXPECT_FALSE(b.recorder.isRecording());
        EXPECT_EQ(b.recorder.recordFile, kInvalidFile);
        EXPECT_TRUE(b.disk.open.empty());
        EXPECT_EQ(b.recorder.fileNumber(), 2);
        EXPECT_EQ(b.disk.bytesOf("rec001.MRF").size(), bytes.size());
        EXPECT_EQ(b.disk.misuses, 0);
    }
}

// A file that cannot be created: the open message, no file, and the number
// and name as they were, so that the next try goes for the same file.
TEST(RecorderFailures, AFileThatCannotBeCreatedKeepsTheNumber) {
    RecorderBench b;
    b.fillWindows(2, 256);
    b.recorder.setFile("rec", 7);
    b.recorder.buildRecordName();
    b.disk.refusedPaths.insert("rec007.MRF");
    b.recorder.setRecording(true);

    EXPECT_FALSE(b.write(b.block(2, 256)));
    EXPECT_EQ(b.errors, std::vector<std::string>{cannotOpenText()});
    EXPECT_EQ(b.recorder.recordFile, kInvalidFile);
    EXPECT_TRUE(b.disk.files.empty());
    ASSERT_EQ(b.disk.creations.size(), 1u);  // no other number is tried
    EXPECT_EQ(b.recorder.fileNumber(), 7);
    EXPECT_STREQ(b.recorder.recordName(), "rec007");

    b.recorder.halt();
    EXPECT_EQ(b.recorder.fileNumber(), 7);

    b.disk.refusedPaths.clear();
    b.recorder.setRecording(true);
    EXPECT_TRUE(b.write(b.block(2, 256)));
    EXPECT_EQ(b.disk.bytesOf("rec007.MRF").size(), kRecordHeaderBytes + 256 * 2 * sizeof(float));
}

// A refusal after taken numbers were skipped leaves the number where it was.
TEST(RecorderFailures, ARefusalAfterSkippedNumbersKeepsTheNumber) {
    RecorderBench b;
    b.fillWindows(1, 256);
    b.recorder.setFile("rec", 7);
    b.disk.files["rec007.MRF"] = "old";
    b.disk.files["rec008.MRF"] = "old";
    b.disk.refusedPaths.insert("rec009.MRF");
    b.recorder.setRecording(true);

    EXPECT_FALSE(b.write(b.block(1, 256)));
    EXPECT_EQ(b.errors, std::vector<std::string>{cannotOpenText()});
    EXPECT_EQ(b.disk.creations.size(), 3u);
    EXPECT_EQ(b.recorder.fileNumber(), 7);
    EXPECT_STREQ(b.recorder.recordName(), "rec007");
    EXPECT_EQ(b.disk.files.size(), 2u);
}

// A header that does not reach the disk whole: the write message, the file
// closed and removed, the number unchanged; the next block starts afresh.
TEST(RecorderFailures, AFailedHeaderLeavesNoFile) {
    struct Case {
        const char* name;
        uint64_t room;
        bool shortWriteSucceeds;
    };
    const Case cases[] = {
        {"disk full", 0, false},
        {"header cut short", 50, false},
        {"header cut short, reported as success", 50, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecorderBench b;
        b.fillWindows(2, 256);
        b.disk.diskRoom = c.room;
        b.disk.shortWritesSucceed = c.shortWriteSucceeds;
        b.recorder.setRecording(true);

        EXPECT_FALSE(b.write(b.block(2, 256)));
        EXPECT_EQ(b.errors, std::vector<std::string>{cannotWriteText()});
        EXPECT_EQ(b.recorder.recordFile, kInvalidFile);
        EXPECT_TRUE(b.disk.files.empty());
        EXPECT_TRUE(b.disk.open.empty());
        EXPECT_EQ(b.disk.writeLengths, std::vector<size_t>{kRecordHeaderBytes});
        EXPECT_EQ(b.recorder.fileNumber(), 1);
        EXPECT_STREQ(b.recorder.recordName(), "rec001");
        EXPECT_EQ(b.disk.misuses, 0);

        b.disk.diskRoom = UINT64_MAX;
        EXPECT_TRUE(b.write(b.block(2, 256)));
        const std::string bytes = b.disk.bytesOf("rec001.MRF");
        EXPECT_EQ(bytes.size(), kRecordHeaderBytes + 256 * 2 * sizeof(float));
        EXPECT_EQ(bytes.substr(0, kRecordHeaderBytes), headerBytes(2, kChannelRate));
        b.recorder.halt();
        EXPECT_EQ(b.recorder.fileNumber(), 2);
    }
}

// ---------------------------------------------------------------- names

TEST(RecorderNames, NameIsTheFileSettingUpToItsFirstDotAndTheNumber) {
    struct Case {
        const char* name;
        const char* file;
        int32_t number;
        const char* recordName;
        const char* fileAfter;
    };
    const Case cases[] = {
        {"extension cut", "C:\\data\\run.dat", 1, "C:\\data\\run001", "C:\\data\\run"},
        {"a dot in a directory cuts there", "D:\\old.data\\x", 1, "D:\\old001", "D:\\old"},
        {"several dots", "a.b.c", 7, "a007", "a"},
        {"no dot", "Dat", 42, "Dat042", "Dat"},
        {"number 999", "Dat", 999, "Dat999", "Dat"},
        {"empty", "", 5, "005", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecorderBench b;
        b.fillWindows(1, 256);
        b.recorder.setFile(c.file, c.number);
        b.recorder.buildRecordName();
        EXPECT_STREQ(b.recorder.recordName(), c.recordName);
        EXPECT_STREQ(b.recorder.fileName(), c.fileAfter);

        ASSERT_TRUE(b.write(b.block(1, 256)));
        ASSERT_EQ(b.disk.creations.size(), 1u);
        EXPECT_EQ(b.disk.creations[0].path, std::string(c.recordName) + ".MRF");
        EXPECT_FALSE(b.disk.creations[0].replace);
    }
}

// Closing a written file takes the next number, 999 wrapping to 1; a Record
// pressed and released before any block creates nothing and keeps it.
TEST(RecorderNames, ClosingAWrittenFileAdvancesTheNumber) {
    struct Case {
        const char* name;
        int32_t number;
        bool writeABlock;
        int32_t after;
        const char* nextName;
    };
    const Case cases[] = {
        {"1 -> 2", 1, true, 2, "rec002"},
        {"998 -> 999", 998, true, 999, "rec999"},
        {"999 -> 1", 999, true, 1, "rec001"},
        {"armed only", 5, false, 5, "rec005"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecorderBench b;
        b.fillWindows(1, 256);
        b.recorder.setFile("rec", c.number);
        b.recorder.buildRecordName();
        b.recorder.setRecording(true);
        EXPECT_TRUE(b.recorder.isRecording());
        if (c.writeABlock) {
            ASSERT_TRUE(b.write(b.block(1, 256)));
        }
        b.recorder.setRecording(false);

        EXPECT_FALSE(b.recorder.isRecording());
        EXPECT_EQ(b.recorder.samplesWritten, 0);
        EXPECT_EQ(b.recorder.fileNumber(), c.after);
        EXPECT_EQ(b.disk.creations.size(), c.writeABlock ? 1u : 0u);
        EXPECT_TRUE(b.disk.open.empty());

        // The next recording takes the new number, the name not rebuilt since.
        b.recorder.setRecording(true);
        ASSERT_TRUE(b.write(b.block(1, 256)));
        EXPECT_EQ(b.disk.creations.back().path, std::string(c.nextName) + ".MRF");
        EXPECT_STREQ(b.recorder.recordName(), c.nextName);
        b.recorder.halt();
    }

    // A halt while armed, or a second close, leaves the number too.
    RecorderBench b;
    b.recorder.setRecording(true);
    b.recorder.halt();
    b.recorder.closeRecordFile();
    EXPECT_EQ(b.recorder.fileNumber(), 1);
    EXPECT_TRUE(b.disk.creations.empty());
}

// A file choice, confirmed or cancelled, restarts the numbering at 1 when
// it is on; a confirmed one also takes the chosen path as the base name.
TEST(RecorderNames, AFileChoiceRestartsTheNumbering) {
    const std::pair<int32_t, int32_t> cases[] = {{57, 1}, {999, 1}, {1, 1}, {0, 0}};
    for (const auto& [number, after] : cases) {
        for (const char* chosen : {static_cast<const char*>(nullptr), "D:\\run.dat"}) {
            SCOPED_TRACE(std::to_string(number) + (chosen ? " confirmed" : " cancelled"));
            RecorderBench b;
            b.recorder.setFile("rec", number);
            b.recorder.chooseFile(chosen);
            EXPECT_EQ(b.recorder.fileNumber(), after);
            EXPECT_STREQ(b.recorder.fileName(), chosen ? chosen : "rec");
        }
    }
}

// A numbered file never replaces one that exists: the next free number is
// taken (after 999 comes 1) and the numbering goes on from there.
TEST(RecorderNames, ExistingFilesAreSkipped) {
    struct Case {
        const char* name;
        int32_t number;
        std::vector<int> existing;
        int32_t taken;
    };
    const Case cases[] = {
        {"two taken", 1, {1, 2}, 3},
        {"a gap is used", 1, {1, 3}, 2},
        {"wraps after 999", 998, {998, 999}, 1},
        {"wraps and skips on", 999, {999, 1, 2}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecorderBench b;
        b.fillWindows(1, 256);
        for (int n : c.existing) b.disk.files[numbered("rec", n)] = "old";
        b.recorder.setFile("rec", c.number);
        b.recorder.buildRecordName();

        ASSERT_TRUE(b.write(b.block(1, 256)));
        EXPECT_TRUE(b.errors.empty());
        EXPECT_EQ(b.recorder.fileNumber(), c.taken);
        EXPECT_EQ(b.recorder.recordName(), numbered("rec", c.taken).substr(0, 6));
        EXPECT_EQ(b.disk.bytesOf(numbered("rec", c.taken)).size(), kRecordHeaderBytes + 256 * sizeof(float));
        for (int n : c.existing) {
            EXPECT_EQ(b.disk.bytesOf(numbered("rec", n)), "old") << n;
        }
        for (const FakeStorage::Creation& creation : b.disk.creations) EXPECT_FALSE(creation.replace);

        b.recorder.halt();
        EXPECT_EQ(b.recorder.fileNumber(), c.taken == 999 ? 1 : c.taken + 1);
    }
}

TEST(RecorderNames, EveryNumberTakenRefusesToRecord) {
    RecorderBench b;
    b.fillWindows(1, 256);
    for (int n = 1; n <= 999; ++n) b.disk.files[numbered("rec", n)] = "old";
    b.recorder.setFile("rec", 5);
    b.recorder.buildRecordName();
    b.recorder.setRecording(true);

    EXPECT_FALSE(b.write(b.block(1, 256)));
    EXPECT_EQ(b.errors, std::vector<std::string>{cannotOpenText()});
    EXPECT_EQ(b.recorder.recordFile, kInvalidFile);
    EXPECT_EQ(b.recorder.fileNumber(), 5);
    EXPECT_STREQ(b.recorder.recordName(), "rec005");
    EXPECT_EQ(b.disk.files.size(), 999u);
    for (const auto& file : b.disk.files) {
        if (file.second != "old") ADD_FAILURE() << file.first << " was changed";
    }
    b.recorder.halt();
    EXPECT_EQ(b.recorder.fileNumber(), 5);
}

// Without numbering the file is the File setting cut at its first dot with
// the extension, replaced at every recording, and the number stays 0.
TEST(RecorderNames, WithoutNumberingTheFileIsReplaced) {
    RecorderBench b;
    b.fillWindows(1, 256);
    b.recorder.setFile("C:\\data\\run.dat", 0);
    b.disk.files["C:\\data\\run.MRF"] = "old";

    for (int recording = 0; recording < 2; ++recording) {
        SCOPED_TRACE(recording);
        b.recorder.setRecording(true);
        ASSERT_TRUE(b.write(b.block(1, 256)));
        b.recorder.setRecording(false);
        EXPECT_EQ(b.disk.bytesOf("C:\\data\\run.MRF").size(), kRecordHeaderBytes + 256 * sizeof(float));
        EXPECT_EQ(b.recorder.fileNumber(), 0);
    }
    ASSERT_EQ(b.disk.creations.size(), 2u);
    for (const FakeStorage::Creation& creation : b.disk.creations) {
        EXPECT_EQ(creation.path, "C:\\data\\run.MRF");
        EXPECT_TRUE(creation.replace);
    }
    EXPECT_EQ(b.disk.files.size(), 1u);
    EXPECT_TRUE(b.errors.empty());
}

// A path is at most 259 characters; a longer one is refused with the open
// message before anything is created, and the name stays in its bounds.
TEST(RecorderNames, OverLongNamesAreRefused) {
    struct Case {
        const char* name;
        std::string file;
        int32_t number;
        std::string created;  // empty: refused
    };
    const std::string a252(252, 'a'), a253(253, 'a'), a255(255, 'a');
    const Case cases[] = {
        {"numbered, 252 characters: a path of 259", a252, 1, a252 + "001.MRF"},
        {"numbered, 253 characters: a path of 260", a253, 1, ""},
        {"numbered, 255 characters", a255, 1, ""},
        {"numbered, long but cut at a dot", "abcde." + std::string(249, 'b'), 1, "abcde001.MRF"},
        {"unnumbered, 255 characters: a path of 259", a255, 0, a255 + ".MRF"},
        {"unnumbered, 256 characters: cut to 255", std::string(256, 'a'), 0, a255 + ".MRF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecorderBench b;
        b.fillWindows(1, 256);
        b.recorder.setFile(c.file.c_str(), c.number);
        if (c.number != 0) {
            b.recorder.buildRecordName();
            EXPECT_LE(std::strlen(b.recorder.recordName()), kMaxRecordPath);
        }
        b.recorder.setRecording(true);

        const bool written = b.write(b.block(1, 256));
        if (c.created.empty()) {
            EXPECT_FALSE(written);
            EXPECT_EQ(b.errors, std::vector<std::string>{cannotOpenText()});
            EXPECT_TRUE(b.disk.creations.empty());
            EXPECT_EQ(b.recorder.fileNumber(), c.number);
        } else {
            EXPECT_TRUE(written);
            EXPECT_TRUE(b.errors.empty());
            ASSERT_EQ(b.disk.creations.size(), 1u);
            EXPECT_EQ(b.disk.creations[0].path, c.created);
            EXPECT_LE(c.created.size(), kMaxRecordPath);
        }
        b.recorder.halt();
    }
}

// ---------------------------------------------------------------- disk texts

TEST(RecorderDiskTexts, FreeSpaceAndRecordedAmount) {
    struct Case {
        const char* name;
        uint64_t freeBytes;
        int64_t samples;
        const char* freeText;
        const char* savedText;
    };
    const Case cases[] = {
        {"nothing", 0, 0, "Free bytes:  0.0 Mb", "Save:  0.0 Kb"},
        {"1000 values", 1048576, 1000, "Free bytes:  1.0 Mb", "Save:  2.0 Kb"},
        {"600000 values", uint64_t(10) << 30, 600000, "Free bytes: 10240.0 Mb", "Save:  1.1 Mb"},
        {"exactly 1024 Kb stays in Kb", 0, 524288, "Free bytes:  0.0 Mb", "Save: 1024.0 Kb"},
        {"just above 1024 Kb", 0, 524289, "Free bytes:  0.0 Mb", "Save:  1.0 Mb"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char freeText[64], savedText[64];
        Recorder::formatDiskTexts(c.freeBytes, c.samples, freeText, savedText);
        EXPECT_STREQ(freeText, c.freeText);
        EXPECT_STREQ(savedText, c.savedText);
    }
}

TEST(RecorderDiskTexts, TheTextsFollowTheDiskAndTheCurrentFile) {
    RecorderBench b;
    b.disk.freeSpace = uint64_t(10) << 30;
    b.fillWindows(2, 256);
    ASSERT_TRUE(b.write(b.block(2, 256)));
    ASSERT_TRUE(b.write(b.block(2, 256)));  // 1024 values

    DiskTexts texts = b.recorder.diskTexts();
    EXPECT_STREQ(texts.freeText, "Free bytes: 10240.0 Mb");
    EXPECT_STREQ(texts.savedText, "Save:  2.0 Kb");

    // Closing the file starts the amount again.
    b.recorder.halt();
    texts = b.recorder.diskTexts();
    EXPECT_STREQ(texts.savedText, "Save:  0.0 Kb");
}

}  // namespace
