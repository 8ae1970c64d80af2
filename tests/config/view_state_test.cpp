#include "config/view_state.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_files.h"

// Found by argument lookup from GoogleTest, so beside ViewState.
static bool operator==(const ViewState& a, const ViewState& b) {
    return a.sizeIndex == b.sizeIndex && a.displayMode == b.displayMode && a.autoScale == b.autoScale &&
           a.fftAvg == b.fftAvg && a.fftWnd == b.fftWnd;
}

static void PrintTo(const ViewState& s, std::ostream* out) {
    *out << "{SizeIndex " << s.sizeIndex << ", DisplayMode " << static_cast<int>(s.displayMode) << ", AutoScale "
         << s.autoScale << ", FFTAvg " << s.fftAvg << ", FFTWnd " << s.fftWnd << "}";
}

namespace {

class ViewStateFile : public TempDirTest {};

TEST_F(ViewStateFile, WritesFiveAlignedLinesAndReadsThemBack) {
    const std::string fileName = path("Quorvel.sav");
    const ViewState state = {3, ViewMode(1), 0, 9, 4};
    const std::string want =
        "SizeIndex   = 3\r\n"
        "DisplayMode = 1\r\n"
        "AutoScale   = 0\r\n"
        "FFTAvg      = 9\r\n"
        "FFTWnd      = 4\r\n";
    saveViewState(state, fileName.c_str());
    EXPECT_EQ(readBytes(fileName), want);

    ViewState read = {0, ViewMode(0), 0, 0, 0};
    loadViewState(read, fileName.c_str(), 13);
    EXPECT_EQ(read, state);

    saveViewState(read, fileName.c_str());
    EXPECT_EQ(readBytes(fileName), want);
}

TEST_F(ViewStateFile, ReplacesAnExistingFileAndWritesNegativeValues) {
    const std::string fileName = path("Quorvel.sav");
    writeBytes(fileName, std::string(500, 'x'));
    saveViewState({-1, ViewMode(0), 1, -1, 13}, fileName.c_str());
    EXPECT_EQ(readBytes(fileName),
              "SizeIndex   = -1\r\n"
              "DisplayMode = 0\r\n"
              "AutoScale   = 1\r\n"
              "FFTAvg      = -1\r\n"
              "FFTWnd      = 13\r\n");
}

TEST_F(ViewStateFile, AFileThatCannotBeCreatedIsSkipped) {
    const std::string fileName = path("missing-folder/Quorvel.sav");
    saveViewState({1, ViewMode(1), 1, 1, 1}, fileName.c_str());
    EXPECT_FALSE(exists(fileName));
}

// Reading clamps the display mode into 0..3 and every list position into its
// list; keys are case-insensitive, in any order, with comments.
TEST_F(ViewStateFile, ReadsKeysAndClampsEveryPosition) {
    struct Case {
        const char* text;
        int32_t sizeCount;
        ViewState start;
        ViewState want;
    };
    const Case cases[] = {
        {"DisplayMode = 7", 9, {0, ViewMode(0), 0, 0, 0}, {0, ViewMode(3), 0, 0, 0}},
        {"DisplayMode = -2", 9, {0, ViewMode(1), 0, 0, 0}, {0, ViewMode(0), 0, 0, 0}},
        {"FFTWnd = 12", 9, {0, ViewMode(0), 0, 0, 0}, {0, ViewMode(0), 0, 0, 12}},
        {"fftwnd=2\r\nautoscale = 1 ; on\r\nsizeindex 4\r\n", 9, {0, ViewMode(0), 0, 0, 0}, {4, ViewMode(0), 1, 0, 2}},
        {"AutoScale = 1", 13, {2, ViewMode(1), 0, 5, 6}, {2, ViewMode(1), 1, 5, 6}},  // missing keys keep values
        {"AutoScale = on", 13, {2, ViewMode(1), 1, 5, 6}, {2, ViewMode(1), 1, 5, 6}},
        {"SizeIndex = 12", 13, {0, ViewMode(0), 0, 0, 0}, {12, ViewMode(0), 0, 0, 0}},
        {"SizeIndex = 13", 13, {0, ViewMode(0), 0, 0, 0}, {12, ViewMode(0), 0, 0, 0}},
        {"SizeIndex = 20", 9, {0, ViewMode(0), 0, 0, 0}, {8, ViewMode(0), 0, 0, 0}},
        {"SizeIndex = -1", 9, {0, ViewMode(0), 0, 0, 0}, {0, ViewMode(0), 0, 0, 0}},
        {"SizeIndex = 3", 0, {0, ViewMode(0), 0, 0, 0}, {0, ViewMode(0), 0, 0, 0}},
        {"FFTAvg = 39", 9, {0, ViewMode(0), 0, 0, 0}, {0, ViewMode(0), 0, 39, 0}},
        {"FFTAvg = 40", 9, {0, ViewMode(0), 0, 0, 0}, {0, ViewMode(0), 0, 39, 0}},
        {"FFTAvg = -1", 9, {0, ViewMode(0), 0, 5, 0}, {0, ViewMode(0), 0, 0, 0}},
        {"FFTWnd = 14", 9, {0, ViewMode(0), 0, 0, 0}, {0, ViewMode(0), 0, 0, 13}},
        {"FFTWnd = -3", 9, {0, ViewMode(0), 0, 0, 4}, {0, ViewMode(0), 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string fileName = path("Quorvel.sav");
        writeBytes(fileName, c.text);
        ViewState state = c.start;
        loadViewState(state, fileName.c_str(), c.sizeCount);
        EXPECT_EQ(state, c.want);
    }
}

TEST_F(ViewStateFile, MissingOrEmptyFileChangesNothing) {
    const std::string empty = path("empty.sav");
    writeBytes(empty, "");
    const std::string names[] = {path("missing.sav"), empty};
    for (const std::string& fileName : names) {
        SCOPED_TRACE(fileName);
        ViewState state = {0, ViewMode(0), 0, 0, 0};
        loadViewState(state, fileName.c_str(), 9);
        EXPECT_EQ(state, (ViewState{0, ViewMode(0), 0, 0, 0}));
    }
}

}  // namespace
