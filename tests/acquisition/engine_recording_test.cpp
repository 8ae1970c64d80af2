// The engine recording through the real recorder onto a disk that fills up in
// the middle of a block: the write message, the run stopped as a stop leaves
// it, a file of whole rows that are the stream's first rows, and a program
// that starts and records again afterwards.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "recording/recorder.h"
#include "tests/acquisition/engine_fixture.h"
#include "tests/recording/recorder_fixture.h"
#include "tests/support/fake_storage.h"

namespace {

using Log = std::vector<std::string>;

constexpr int32_t kChannels = 3;
constexpr int32_t kBlock = 4096;  // B = N: a block is four staged runs of 1024 rows
constexpr uint64_t kRowBytes = kChannels * sizeof(float);
constexpr uint64_t kHeader = kRecordHeaderBytes;

struct FullDiskCase {
    const char* id;
    uint64_t room;            // bytes the disk takes, the header's included
    bool shortWriteSucceeds;  // the write that falls short reports success
    uint64_t wholeRows;       // rows the file keeps
    int blocksReleased;       // blocks written whole before the failing one
    bool fileKept;            // false: not even the header fitted
};

// Failures name the case.
void PrintTo(const FullDiskCase& c, std::ostream* out) { *out << c.id; }

// Where the disk fills up. Each block's rows are written in four runs.
const FullDiskCase kFullDiskCases[] = {
    {"InsideARowOfTheFirstBlocksFirstRun", kHeader + 300 * kRowBytes + 5, false, 300, 0, true},
    {"InsideARowOfTheSecondBlocksThirdRun", kHeader + (4096 + 2048 + 700) * kRowBytes + 7, false, 6844, 1, true},
    {"OnARowBoundaryInsideTheSecondBlocksLastRun", kHeader + (4096 + 3072 + 10) * kRowBytes, false, 7178, 1, true},
    {"AShortWriteReportedAsSuccessInTheThirdBlock", kHeader + (8192 + 1024 + 1) * kRowBytes + 11, true, 9217, 2, true},
    {"RoomForTheHeaderOnly", kHeader, false, 0, 0, true},
    {"NoRoomForTheWholeHeader", 50, false, 0, 0, false},
};

// The engine on the fake board and dialog, recording through the recorder
// onto the in-memory disk: 3 channels of 30 kHz in the 4K window, so that
// 200 ms of samples (6000) make blocks as long as the window.
class FullDiskTest : public EngineTest, public ::testing::WithParamInterface<FullDiskCase> {
protected:
    FullDiskTest() : EngineTest(&disk) {
        recorder.setFile("rec", 1);
        setBoard(kChannels, kChannels * 30000.0);
        view.sizeIndex = 2;
    }

    // Queues the stream's next `count` blocks (codes of recorder_fixture.h).
    void queueStreamBlocks(int count) {
        for (int i = 0; i < count; ++i) {
            const int64_t first = streamPosition;
            utility.queueBlock(kBlock, kChannels, [first](int32_t j, int32_t c) { return streamCode(first + j, c); });
            streamPosition += kBlock;
        }
    }

    // The rows of a file from a start: stream samples from `first` on.
    static void expectStreamRows(const std::string& bytes, int64_t first) {
        expectRows(rowValues(bytes), kChannels, [first](int64_t row, int c) {
            return static_cast<float>(streamVolts(streamCode(first + row, c), 1));
        });
    }

    // The disk goes before the program's recorder: an open file is closed
    // into it first.
    ~FullDiskTest() override { recorder.halt(); }

    // A click on the Record button (a push-like check box), which leaves it
    // `down`.
    void clickRecord(bool down) {
        dialog.checked[BenchControl::Record] = down;
        core->onRecordButton(0);
    }

    FakeStorage disk;
    Recorder& recorder = core->recorder;
    int64_t streamPosition = 0;
};

TEST_P(FullDiskTest, StopsTheRunAndKeepsTheFirstRowsWhole) {
    const FullDiskCase& c = GetParam();
    disk.diskRoom = c.room;
    disk.shortWritesSucceed = c.shortWriteSucceeds;
    pressStart();
    ASSERT_TRUE(engine->running());
    ASSERT_EQ(engine->windowLength(), kBlock);
    ASSERT_EQ(engine->blockLength(), kBlock);
    clickRecord(true);
    ASSERT_TRUE(recorder.isRecording());
    EXPECT_FALSE(dialog.enabled[BenchControl::ChooseFile]);
    queueStreamBlocks(4);

    const size_t from = mark();
    core->onAcquisitionTimer();
    const Log tick = logSince(from);

    // The write message, once, and the run stopped as a stop leaves it.
    EXPECT_EQ(dialog.errors, std::vector<std::string>{cannotWriteText()});
    EXPECT_FALSE(engine->running());
    EXPECT_FALSE(dialog.timerArmed);
    EXPECT_EQ(countPrefix(tick, "arm"), 0u);
    EXPECT_NE(findEntry(tick, "Stop"), std::string::npos);
    EXPECT_FALSE(dialog.checked[BenchControl::Start]);
    EXPECT_FALSE(dialog.checked[BenchControl::Record]);
    expectIdleControls();
    EXPECT_TRUE(dialog.enabled[BenchControl::ChooseFile]);
    // The blocks before the failing one were given back, the failing one
    // not, and none was taken after it.
    EXPECT_EQ(countPrefix(tick, "GetBlock"), static_cast<size_t>(c.blocksReleased + 1));
    EXPECT_EQ(countPrefix(tick, "ReleaseBlock"), static_cast<size_t>(c.blocksReleased));
    EXPECT_EQ(utility.blocks.size(), static_cast<size_t>(4 - (c.blocksReleased + 1)));
    EXPECT_EQ(countPrefix(tick, "redraw"), 0u);

    // Recording off, the file closed.
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_EQ(recorder.recordFile, kInvalidFile);
    EXPECT_TRUE(disk.open.empty());
    EXPECT_EQ(disk.misuses, 0);

    // The file: the header and a whole number of rows, the stream's first.
    const std::string kept = disk.bytesOf("rec001.MRF");
    if (c.fileKept) {
        EXPECT_EQ(kept.size(), kHeader + c.wholeRows * kRowBytes)
            << "a partial row of " << (kept.size() - kHeader) % kRowBytes << " bytes";
        EXPECT_EQ(kept.substr(0, kHeader), headerBytes(kChannels, 30000.0));
        expectStreamRows(kept, 0);
        EXPECT_EQ(recorder.fileNumber(), 2);
    } else {
        EXPECT_TRUE(disk.files.empty());
        EXPECT_EQ(recorder.fileNumber(), 1);
    }

    // The program goes on: with room again a new start runs and records the
    // next file, the kept one untouched.
    disk.diskRoom = UINT64_MAX;
    dialog.errors.clear();
    utility.blocks.clear();
    pressStart();
    EXPECT_TRUE(engine->running());
    EXPECT_TRUE(dialog.timerArmed);
    expectRunningControls();
    clickRecord(true);
    const int64_t restart = streamPosition;
    queueStreamBlocks(1);
    core->onAcquisitionTimer();
    EXPECT_TRUE(dialog.errors.empty());
    EXPECT_TRUE(engine->running());
    EXPECT_TRUE(dialog.timerArmed);
    const std::string next = c.fileKept ? "rec002.MRF" : "rec001.MRF";
    const std::string bytes = disk.bytesOf(next);
    EXPECT_EQ(bytes.size(), kHeader + kBlock * kRowBytes) << next;
    expectStreamRows(bytes, restart);
    pressStop();
    expectIdleControls();
    EXPECT_TRUE(disk.open.empty());
    if (c.fileKept) {
        EXPECT_EQ(disk.bytesOf("rec001.MRF"), kept);
    }
}

INSTANTIATE_TEST_SUITE_P(DiskFills, FullDiskTest, ::testing::ValuesIn(kFullDiskCases),
                         [](const ::testing::TestParamInfo<FullDiskCase>& c) { return std::string(c.param.id); });

}  // namespace

namespace {

// Closing the bench while it records: the board is stopped and the open
// recording closed whole, before anything is released.
class ClosingTest : public EngineTest {
protected:
    ClosingTest() : EngineTest(&disk) {
        core->recorder.setFile("rec", 1);
        setBoard(kChannels, kChannels * 30000.0);
        view.sizeIndex = 2;
    }
    ~ClosingTest() override { core->recorder.halt(); }

    FakeStorage disk;
};

TEST_F(ClosingTest, StopsTheBoardAndClosesTheRecordingWhole) {
    pressStart();
    ASSERT_TRUE(engine->running());
    dialog.checked[BenchControl::Record] = true;
    core->onRecordButton(0);
    ASSERT_TRUE(core->recorder.isRecording());
    utility.queueBlock(kBlock, kChannels, [](int32_t j, int32_t c) { return streamCode(j, c); });
    core->onAcquisitionTimer();
    ASSERT_TRUE(dialog.errors.empty());

    const size_t from = mark();
    core->onClosing();
    const Log closing = logSince(from);

    EXPECT_NE(findEntry(closing, "Stop"), std::string::npos) << "the board was not stopped";
    EXPECT_FALSE(engine->running());
    EXPECT_FALSE(dialog.timerArmed);
    EXPECT_FALSE(core->recorder.isRecording());
    EXPECT_EQ(core->recorder.recordFile, kInvalidFile);
    EXPECT_TRUE(disk.open.empty()) << "the recording is still open";
    const std::string bytes = disk.bytesOf("rec001.MRF");
    EXPECT_EQ(bytes.size(), kHeader + kBlock * kRowBytes);
    EXPECT_EQ(bytes.substr(0, kHeader), headerBytes(kChannels, 30000.0));
    expectRows(rowValues(bytes), kChannels,
               [](int64_t row, int c) { return static_cast<float>(streamVolts(streamCode(row, c), 1)); });
    EXPECT_TRUE(dialog.errors.empty());
}

}  // namespace
