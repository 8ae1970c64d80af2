#include "config/settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "config/default_config.h"
#include "tests/support/test_files.h"

namespace {

constexpr SystemColours kColours = {0x00C0C0C0, 0x00808080};

// Settings as start-up leaves them before Quorvel.cfg is read.
Settings presetSettings() {
    Settings settings;
    std::memset(&settings, 0xAB, sizeof settings);
    presetConstructorDefaults(settings);
    presetDefaults(settings, kColours);
    return settings;
}

std::vector<int32_t> sizesOf(const Settings& settings) {
    return std::vector<int32_t>(settings.sizeArray, settings.sizeArray + settings.sizeCount);
}

TEST(SettingsPresets, EveryFieldTakesItsPreset) {
    Settings settings;
    std::memset(&settings, 0xAB, sizeof settings);
    settings.boardFlags = 0xFFFFFFFF;
    presetConstructorDefaults(settings);
    presetDefaults(settings, kColours);

    EXPECT_EQ(settings.displayTime, 200);
    EXPECT_EQ(settings.displayBlocks, 50);
    EXPECT_EQ(settings.boardFlags & (kBoardCapable | kUsePellumEx1), 0u);
    EXPECT_EQ(settings.maxUsedMemory, 67108864);
    EXPECT_EQ(settings.averageCounter, 1);
    EXPECT_EQ(settings.fftScaleDb, 100.0);
    EXPECT_EQ(settings.fftScaleV, 10.0);
    EXPECT_EQ(settings.helpPreDelay, 2000);
    EXPECT_EQ(settings.helpPostDelay, 5000);
    EXPECT_STREQ(settings.deviceName, "QX410A");
    EXPECT_STREQ(settings.utilityName, "KestoUtility");
    EXPECT_EQ(settings.base, 1);
    EXPECT_EQ(settings.oscScale, 10.0f);
    EXPECT_EQ(sizesOf(settings), (std::vector<int32_t>{1024, 2048, 4096, 8192, 16384, 32768, 65536, 131072, 262144}));
    EXPECT_STREQ(settings.fileName, "Dat");
    EXPECT_EQ(settings.fileAutoIncrement, 0);

    const PlotStyle& style = settings.plotStyle;
    EXPECT_EQ(style.styleVersion, 768);
    EXPECT_EQ(style.marginX, 10);
    EXPECT_EQ(style.marginY, 10);
    EXPECT_EQ(style.gridLinesY, 5);
    EXPECT_EQ(style.bgColor, kColours.buttonFace);
    EXPECT_EQ(style.oscColor, kColours.buttonShadow);
    EXPECT_EQ(style.oscGridColor, kColours.buttonFace);
    EXPECT_EQ(style.textColor, 0u);
    EXPECT_EQ(style.flags, 0);
    EXPECT_EQ(style.frameWidth, 2);
    EXPECT_EQ(style.fontNamePtr, style.fontName);
    EXPECT_EQ(style.fontSize, 8);
    EXPECT_EQ(style.gridLinesX, 8);
    EXPECT_EQ(style.window, nullptr);
    EXPECT_STREQ(style.fontName, "Courier New Cyr");
    const struct {
        int channel;
        uint32_t colour;
    } colours[] = {{0, 0x00FF00},  {1, 0x0000FF},  {5, 0x00FFFF},  {12, 0x80FF80},
                   {18, 0xFFFFFF}, {19, 0x00FF00}, {20, 0x0000FF}, {31, 0x80FF80}};
    for (const auto& c : colours) {
        SCOPED_TRACE(c.channel);
        EXPECT_EQ(style.channelColour[c.channel], c.colour);
    }
}

TEST(SettingsPresets, OtherBoardFlagBitsAreKept) {
    Settings settings{};
    settings.boardFlags = 0x80000000u | kBoardCapable | kUsePellumEx1;
    presetDefaults(settings, kColours);
    EXPECT_EQ(settings.boardFlags, 0x80000000u);
}

TEST(SettingsFftScale, BoundedByTheBoardFullScale) {
    struct Case {
        double scale, fullScale, want;
    };
    const Case cases[] = {
        {0.05, 10.0, 0.1},
        {25.0, 10.0, 20.0},
        {15.0, 10.0, 15.0},
        {20.0, 10.0, 20.0},
        {0.05, 0.01, 0.1},  // no upper check after the raise to 0.1
        {5.0, 1.0, 2.0},
        // FFTScaleV = 1E400 and -1E400 read as infinities.
        {HUGE_VAL, 10.0, 20.0},
        {-HUGE_VAL, 10.0, 0.1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.scale) + " with full scale " + std::to_string(c.fullScale));
        Settings settings = presetSettings();
        settings.fftScaleV = c.scale;
        boundFftScale(settings, c.fullScale);
        EXPECT_DOUBLE_EQ(settings.fftScaleV, c.want);
    }
}

class SettingsFile : public TempDirTest {
protected:
    // Presets, then fileName holding `text` read over them.
    Settings load(const std::string& text) {
        const std::string fileName = path("Quorvel.cfg");
        writeBytes(fileName, text);
        Settings settings = presetSettings();
        loadConfig(settings, fileName.c_str());
        return settings;
    }
};

// Every key with its default and range step; the other keys stay as the
// presets or defaults.
TEST_F(SettingsFile, EveryKeyAppliesItsDefaultAndRange) {
    using Field = double (*)(const Settings&);
    const Field displayTime = [](const Settings& s) { return double(s.displayTime); };
    const Field displayBlocks = [](const Settings& s) { return double(s.displayBlocks); };
    const Field usePellumEx1 = [](const Settings& s) { return double(s.boardFlags & kUsePellumEx1); };
    const Field maxUsedMemory = [](const Settings& s) { return double(s.maxUsedMemory); };
    const Field averageCounter = [](const Settings& s) { return double(s.averageCounter); };
    const Field fftScaleDb = [](const Settings& s) { return s.fftScaleDb; };
    const Field fftScaleV = [](const Settings& s) { return s.fftScaleV; };
    const Field helpPreDelay = [](const Settings& s) { return double(s.helpPreDelay); };
    const Field helpPostDelay = [](const Settings& s) { return double(s.helpPostDelay); };
    const Field base = [](const Settings& s) { return double(s.base); };
    const Field fontSize = [](const Settings& s) { return double(s.plotStyle.fontSize); };
    const Field bgColor = [](const Settings& s) { return double(s.plotStyle.bgColor); };
    const Field oscColor = [](const Settings& s) { return double(s.plotStyle.oscColor); };
    const Field oscGridColor = [](const Settings& s) { return double(s.plotStyle.oscGridColor); };
    const Field textColor = [](const Settings& s) { return double(s.plotStyle.textColor); };
    const Field oscScale = [](const Settings& s) { return double(s.oscScale); };
    const Field fileAutoIncrement = [](const Settings& s) { return double(s.fileAutoIncrement); };

    struct Case {
        const char* text;
        Field field;
        double want;
    };
    const Case cases[] = {
        {"Other = 1", displayTime, 200},
        {"DisplayTime = 5", displayTime, 20},
        {"DisplayTime = 99999", displayTime, 10000},
        {"DisplayTime = 300", displayTime, 300},
        {"Other = 1", displayBlocks, 100},
        {"DisplayBlocks = 0", displayBlocks, 1},
        {"DisplayBlocks = 2000", displayBlocks, 1024},
        {"Other = 1", usePellumEx1, 0},
        {"USEPellumEx1 = 0x10", usePellumEx1, kUsePellumEx1},
        {"USEPellumEx1 = no", usePellumEx1, 0},
        {"Other = 1", maxUsedMemory, 67108864},
        {"MaxUsedMemory = 10", maxUsedMemory, 1024},
        {"MaxUsedMemory = 0x20000000", maxUsedMemory, 268435456},
        {"MaxUsedMemory = 1M", maxUsedMemory, 1048576},
        {"Other = 1", averageCounter, 1},
        {"AverageCounter = 0", averageCounter, 1},
        {"AverageCounter = 500", averageCounter, 100},
        {"AverageCounterFFT = 10", averageCounter, 1},
        {"Other = 1", fftScaleDb, 140.0},
        {"FFTScaleDB = 500", fftScaleDb, 220.0},
        {"FFTScaleDB = 3", fftScaleDb, 20.0},
        {"FFTScaleDB = 150.5", fftScaleDb, 150.5},
        {"FFTScaleDB = 1E400", fftScaleDb, 220.0},  // infinity is above the range
        {"FFTScaleDB = -1E400", fftScaleDb, 20.0},
        {"Other = 1", fftScaleV, 10.0},
        {"FFTScaleV = 0.05", fftScaleV, 0.05},  // bounded only once the board is open
        {"FFTScaleV = 10.0 ; \xC2\xEE\xEB\xFC\xF2", fftScaleV, 10.0},
        {"Other = 1", helpPreDelay, 60000},
        {"HelpPreDelay = -5", helpPreDelay, 0},
        {"HelpPreDelay = 70000", helpPreDelay, 60000},
        {"Other = 1", helpPostDelay, 60000},
        {"HelpPostDelay = 100", helpPostDelay, 500},
        {"HelpPostDelay = 70000", helpPostDelay, 60000},
        {"Other = 1", base, 1},
        {"Base = 0", base, 0},
        {"Base = 0.3", base, 0},
        {"Base = none", base, 1},
        {"Base = 2", base, 2},
        {"Other = 1", fontSize, 8},
        {"FontSize = 12", fontSize, 12},
        {"Other = 1", bgColor, 0x00C0C0C0},
        {"BgColor = 0x00FFFFFF", bgColor, 0x00FFFFFF},
        {"Other = 1", oscColor, 0x00808080},
        {"OscColor = 0x000000FF", oscColor, 0x000000FF},
        {"Other = 1", oscGridColor, 0x00C0C0C0},
        {"OscGridColor = 255", oscGridColor, 255},
        {"Other = 1", textColor, 0},
        {"TextColor = 0x00FF0000", textColor, 0x00FF0000},
        {"Other = 1", oscScale, 10.0},
        {"OcsScale = -2", oscScale, 1.0},
        {"OcsScale = 0", oscScale, 1.0},
        {"OcsScale = 2.5", oscScale, 2.5},
        {"OcsScale = 1e39", oscScale, 1.0},   // beyond the float range: infinity
        {"OcsScale = 1E400", oscScale, 1.0},  // beyond the double range too
        {"OcsScale = -1e39", oscScale, 1.0},
        {"OcsScale = 3.4e38", oscScale, 3.4e38f},  // the float range's end is a scale
        {"OscScale = 5", oscScale, 10.0},
        {"Other = 1", fileAutoIncrement, 0},
        {"FileAutoIncrement = 1", fileAutoIncrement, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.field(load(c.text)), c.want);
    }
}

TEST_F(SettingsFile, UsePellumEx1ClearsAnEarlierFlag) {
    const std::string fileName = path("Quorvel.cfg");
    writeBytes(fileName, "USEPellumEx1 = 0\r\n");
    Settings settings = presetSettings();
    settings.boardFlags |= kUsePellumEx1 | kBoardCapable;
    loadConfig(settings, fileName.c_str());
    EXPECT_EQ(settings.boardFlags & (kBoardCapable | kUsePellumEx1), kBoardCapable);
}

TEST_F(SettingsFile, NamesWithFallbacks) {
    struct Case {
        const char* text;
        const char* device;
        const char* utility;
        const char* font;
        const char* file;
    };
    const Case cases[] = {
        {"Other = 1", "QX410A", "KestoUtility", "Courier New Cyr", "Dat"},
        {"Device = \"QX420A\"\nUtility = my_util", "QX420A", "MY_UTIL", "Courier New Cyr", "Dat"},
        {"Device = \"\"\nUtility = \"\"", "QX410A", "KestoUtility", "Courier New Cyr", "Dat"},
        {"; the \"DEVICE\" name\nDevice = \"QX420A\"", "QX410A", "KestoUtility", "Courier New Cyr", "Dat"},
        {"FontName = \"Arial\"\nFile = \"C:\\data\\run\"", "QX410A", "KestoUtility", "Arial", "C:\\data\\run"},
        {"FontName = \nFile = ", "QX410A", "KestoUtility", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const Settings settings = load(c.text);
        EXPECT_STREQ(settings.deviceName, c.device);
        EXPECT_STREQ(settings.utilityName, c.utility);
        EXPECT_STREQ(settings.plotStyle.fontName, c.font);
        EXPECT_STREQ(settings.fileName, c.file);
    }
}

// Names longer than their fields are cut to the field less its terminator, and
// the neighbouring fields stay intact.
TEST_F(SettingsFile, LongNamesAreCutToTheirFields) {
    const std::string longName(400, 'n');
    const std::string text =
        "Device = \"" + longName + "\"\r\nFontName = \"" + longName + "\"\r\nFile = \"" + longName + "\"\r\n";
    const Settings settings = load(text);
    EXPECT_EQ(std::string(settings.deviceName), longName.substr(0, sizeof settings.deviceName - 1));
    EXPECT_STREQ(settings.utilityName, "KestoUtility");
    EXPECT_EQ(std::string(settings.plotStyle.fontName), longName.substr(0, sizeof settings.plotStyle.fontName - 1));
    EXPECT_EQ(std::string(settings.fileName), longName.substr(0, sizeof settings.fileName - 1));
    EXPECT_EQ(settings.fileAutoIncrement, 0);
    EXPECT_EQ(settings.base, 1);
}

TEST_F(SettingsFile, SizeListRoundsUpAndRaisesShortWindows) {
    std::string forty = "SizeArray =";
    std::vector<int32_t> firstThirtyTwo;
    for (int i = 0; i < 40; ++i) {
        forty += " " + std::to_string(1 << (i % 16 + 5));
        if (i < 32) firstThirtyTwo.push_back(1 << (i % 16 + 5));
    }
    const std::vector<int32_t> presets = {1024, 2048, 4096, 8192, 16384, 32768, 65536, 131072, 262144};
    struct Case {
        std::string text;
        std::vector<int32_t> want;
    };
    const Case cases[] = {
        {"SizeArray = 1000, 3000, 5K", {1024, 4096, 8192}},
        {"SizeArray = 1K, 2K, 4M", {1024, 2048, 4194304}},
        {"SizeArray = 1, 16, 31, 32, 33, 0, -5", {32, 32, 32, 32, 64, 32, 32}},
        {"SizeArray = 2K 1K junk 4K", {2048, 1024}},
        {"SizeArray = 1.5K", {2048}},
        {"SizeArray = 2000000000", {1 << 30}},  // the largest int32 power of two
        {"SizeArray = 0x7FFFFFFF", {1 << 30}},
        {forty, firstThirtyTwo},
        {"SizeArray = junk 1K", presets},
        {"SizeArray =", presets},
        {"Other = 1", presets},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        EXPECT_EQ(sizesOf(load(c.text)), c.want);
    }
    {
        SCOPED_TRACE("entries beyond the count keep their contents");
        const Settings settings = load("SizeArray = 64");
        EXPECT_EQ(settings.sizeCount, 1);
        EXPECT_EQ(settings.sizeArray[1], 2048);
    }
}

// Empty, oversized and missing files leave every preset, with no range step
// (a readable file without the keys gives 100 and 140.0 instead).
TEST_F(SettingsFile, UnreadableFilesKeepEveryPreset) {
    const std::string body = "DisplayBlocks = 7\r\nFFTScaleDB = 30\r\n";
    struct Case {
        const char* name;
        bool create;
        std::string bytes;
    };
    const Case cases[] = {
        {"missing", false, ""},
        {"empty", true, ""},
        {"oversized", true, body + std::string(131073 - body.size(), ' ')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string fileName = path(c.name);
        if (c.create) writeBytes(fileName, c.bytes);
        const Settings before = presetSettings();
        Settings settings;
        std::memcpy(&settings, &before, sizeof settings);  // padding included
        loadConfig(settings, fileName.c_str());
        EXPECT_EQ(settings.displayBlocks, 50);
        EXPECT_EQ(settings.fftScaleDb, 100.0);
        EXPECT_EQ(std::memcmp(&settings, &before, sizeof settings), 0);
    }
    const Settings readable = load("Other = 1\r\n");
    EXPECT_EQ(readable.displayBlocks, 100);
    EXPECT_EQ(readable.fftScaleDb, 140.0);
}

TEST(BuiltInConfig, HoldsTheExactCodePage1251Bytes) {
    const std::string_view text = builtInConfigText();
    ASSERT_EQ(text.size(), 2167u);

    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ASSERT_GT(i, start) << "bare line feed at " << i;
            ASSERT_EQ(text[i - 1], '\r') << "line feed without carriage return at " << i;
            lines.push_back(text.substr(start, i - 1 - start));
            start = i + 1;
        } else if (text[i] == '\r') {
            ASSERT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "bare carriage return at " << i;
        }
    }
    EXPECT_EQ(start, text.size()) << "the last line has no CR LF";
    ASSERT_EQ(lines.size(), 65u);

    struct Line {
        int number;
        const char* bytes;
    };
    const Line expected[] = {
        {1, ";***************************************************"},
        {2, "; \xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE8 \xEF\xEB\xE0\xF2\xFB"},
        {3,
         "; \xCE\xE1\xFF\xE7\xE0\xF2\xE5\xEB\xFC\xED\xEE \xED\xE0\xF1\xF2\xF0\xEE\xE9\xF2\xE5 "
         "\xFD\xF2\xE8 \xE7\xED\xE0\xF7\xE5\xED\xE8\xFF."},
        {7, ";Device       = \"QX410A\""},
        {9, "; \xC4\xEB\xFF \xEF\xEB\xE0\xF2\xFB QP410S2"},
        {10, "Device       = \"QX420A\""},
        {11, "Utility      = \"KestoUtility\""},
        {12, ""},
        {14, "Base        = 1"},
        {21, "DisplayTime    = 20"},
        {46, "OscScale     = 10.0"},
        {52, "FFTScaleV    = 10.0 ; \xC2\xEE\xEB\xFC\xF2"},
        {54, "SizeArray =  1K, 2K, 4K, 8K, 16K, 32K, 64K, 128K, 256K, 512K, 1M, 2M, 4M"},
        {61,
         "; \xD0\xE5\xE6\xE8\xEC \xE7\xE0\xEF\xE8\xF1\xE8 \xE2 \xF4\xE0\xE9\xEB: 16\xE1\xE8\xF2 "
         "(\xED\xEE\xF0\xEC\xE8\xF0\xEE\xE2\xE0\xED\xE8\xE5 32768)"},
        {63, "File              = \"Dat\""},
        {65, "FileAutoIncrement = 1"},
    };
    for (const Line& line : expected) {
        SCOPED_TRACE(line.number);
        EXPECT_EQ(lines[line.number - 1], std::string_view(line.bytes));
    }

    // FNV-1a over every byte pins the lines not listed above.
    uint64_t hash = 0xCBF29CE484222325ull;
    for (char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
    EXPECT_EQ(hash, 0x167D7E4B3268FDE9ull);
}

// A missing Quorvel.cfg is written from the built-in text and read back.
TEST_F(SettingsFile, BuiltInTextGivesTheDocumentedValues) {
    const std::string fileName = path("Quorvel.cfg");
    writeDefaultConfig(fileName.c_str());
    ASSERT_EQ(readBytes(fileName), std::string(builtInConfigText()));

    Settings settings = presetSettings();
    loadConfig(settings, fileName.c_str());
    EXPECT_STREQ(settings.deviceName, "QX420A");
    EXPECT_STREQ(settings.utilityName, "KestoUtility");
    EXPECT_EQ(settings.base, 1);
    EXPECT_EQ(settings.displayTime, 20);
    EXPECT_EQ(settings.displayBlocks, 10);
    EXPECT_EQ(settings.averageCounter, 20);
    EXPECT_STREQ(settings.plotStyle.fontName, "Courier New Cyr");
    EXPECT_EQ(settings.plotStyle.fontSize, 8);
    EXPECT_EQ(settings.helpPreDelay, 10000);
    EXPECT_EQ(settings.helpPostDelay, 5000);
    EXPECT_EQ(settings.fftScaleDb, 200.0);
    EXPECT_EQ(settings.fftScaleV, 10.0);
    EXPECT_EQ(settings.oscScale, 10.0f);
    std::vector<int32_t> sizes;
    for (int i = 0; i < 13; ++i) sizes.push_back(1024 << i);
    EXPECT_EQ(sizesOf(settings), sizes);
    EXPECT_STREQ(settings.fileName, "Dat");
    EXPECT_EQ(settings.fileAutoIncrement, 1);
    EXPECT_EQ(settings.boardFlags & kUsePellumEx1, 0u);
    EXPECT_EQ(settings.maxUsedMemory, 67108864);
    EXPECT_EQ(settings.plotStyle.bgColor, kColours.buttonFace);
    EXPECT_EQ(settings.plotStyle.oscColor, kColours.buttonShadow);
    EXPECT_EQ(settings.plotStyle.oscGridColor, kColours.buttonFace);
    EXPECT_EQ(settings.plotStyle.textColor, 0u);
}

TEST_F(SettingsFile, AnExistingFileIsNeverOverwritten) {
    const char* const contents[] = {"DisplayTime = 300\r\n", ""};
    for (const char* bytes : contents) {
        SCOPED_TRACE(*bytes ? "with text" : "empty");
        const std::string fileName = path(*bytes ? "text.cfg" : "empty.cfg");
        writeBytes(fileName, bytes);
        writeDefaultConfig(fileName.c_str());
        EXPECT_EQ(readBytes(fileName), bytes);
    }
}

}  // namespace
