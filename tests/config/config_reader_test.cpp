#include "config/config_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace {

ConfigReader readerOf(const std::string& text) { return ConfigReader(text.data(), text.size()); }

std::string readString(const ConfigReader& reader, const char* key, int* result = nullptr) {
    char value[128] = "untouched";
    const int got = reader.readString(key, value, sizeof value, nullptr);
    if (result) *result = got;
    return value;
}

TEST(ConfigCharMap, FoldsLettersKeepsNumberCharactersBlanksTheRest) {
    for (int c = 0; c < 256; ++c) {
        SCOPED_TRACE(c);
        unsigned char want = ' ';
        if (c >= 'A' && c <= 'Z') want = static_cast<unsigned char>(c);
        else if (c >= 'a' && c <= 'z') want = static_cast<unsigned char>(c - 'a' + 'A');
        else if ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == '_')
            want = static_cast<unsigned char>(c);
        else if (c == ';' || c == ':') want = ';';
        EXPECT_EQ(kConfigCharMap[c], want);
    }
}

// Spellings that must all read DisplayTime as 20.
TEST(ConfigReaderSyntax, EquivalentSpellingsReadAlike) {
    const char* const cases[] = {
        "DisplayTime = 20",
        "DisplayTime 20",
        "displaytime=20",
        "DISPLAYTIME\t=\t20\t",
        "DisplayTime, 20",
        "DisplayTime = (20)",
        "DisplayTime = \"20\"",
        "Display Time = 20",
        "  DisplayTime = 20 ; milliseconds",
        "DisplayTime = 20 : milliseconds",
        "DisplayTime = 20\r\n",
        "Other = 1\r\nDisplayTime = 20\r\n",
        "Other = 1\nDisplayTime = 20\n",
        "Name = x DisplayTime 20",  // a key matches at any token start
        "DisplayTime = /\n20",      // one slash joins the next line
        "DisplayTime = \\\r\n20\r\n",
        "; \"displaytime\" in quotes keeps its case\nDisplayTime = 20",
        "DisplayTimer = 5\nDisplayTime = 20",
    };
    for (const char* text : cases) {
        SCOPED_TRACE(text);
        const ConfigReader reader = readerOf(text);
        int32_t value = -1;
        EXPECT_EQ(reader.readInt("DisplayTime", &value, 7), 1);
        EXPECT_EQ(value, 20);
    }
}

// Lines where the key or its value is hidden: the default 7 applies.
TEST(ConfigReaderSyntax, HiddenKeysAndValuesTakeTheDefault) {
    const char* const cases[] = {
        "DisplayTime: 20",  // ':' starts a comment
        "; DisplayTime = 20",   "Name = 5 ; DisplayTime = 20",
        "DisplayTimeX = 20",    "XDisplayTime = 20",
        "Display.Time = 20",
        "DisplayTime =\n20",     // the value is on the next line
        "DisplayTime = //\n20",  // two slashes do not join
        "Display\nTime = 20",    // a key never spans lines
        "DisplayTime = twenty", "",
    };
    for (const char* text : cases) {
        SCOPED_TRACE(text);
        const std::string bytes = *text ? text : "\n";
        const ConfigReader reader = readerOf(bytes);
        int32_t value = -1;
        EXPECT_EQ(reader.readInt("DisplayTime", &value, 7), 0);
        EXPECT_EQ(value, 7);
    }
}

TEST(ConfigReaderSyntax, StringValuesAfterNormalisation) {
    struct Case {
        const char* text;
        const char* key;
        const char* want;
    };
    const Case cases[] = {
        {"Device = \"QX420A\"", "Device", "QX420A"},
        {"Device = qx420a", "Device", "QX420A"},
        {"FontName = \"Courier New Cyr\"", "FontName", "Courier New Cyr"},
        {"Utility = my_util", "Utility", "MY_UTIL"},
        {"FontName = \"Arial ; x\" ; comment", "FontName", "Arial ; x"},
        {"Name = a,b=c!", "Name", "A B C"},
        {"Name = \"\xCD\xE0\xE7\xE2\xE0\xED\xE8\xE5\"", "Name", "\xCD\xE0\xE7\xE2\xE0\xED\xE8\xE5"},
        {"Name = \xCD\xE0 x", "Name", "X"},          // unquoted cp1251 letters are blanks
        {"Name = \"x\"\r\nNext = 1", "Name", "x"},   // CR is a blank
        {"File = a/b\nX = 1", "File", "A B X   1"},  // joined with the next line
        {"File = a/b\r\nX = 1\r\n", "File", "A B  X   1"},
        {"File = a/b/c\nX = 1", "File", "A B C"},                      // two slashes: not joined
        {"File = \"C:\\data\\run\"\nX = 1", "File", "C:\\data\\run"},  // quoted: not joined
        {"Name =   \"  padded  \"  ", "Name", "padded"},
        {"Name =", "Name", ""},
        {"Name = ; only a comment", "Name", ""},
        {"; \"NAME\" quoted in a comment\nName = real", "Name", ""},
        {"; \"name\" quoted in a comment\nName = real", "Name", "REAL"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        int result = -2;
        EXPECT_EQ(readString(readerOf(c.text), c.key, &result), c.want);
        EXPECT_EQ(result, 1);
    }
}

TEST(ConfigReaderKeySearch, MatchesWholeKeysAtTokenStartsFirstInFileOrder) {
    struct Case {
        const char* text;
        const char* key;
        int32_t want;  // 7: not found (the default)
    };
    const Case cases[] = {
        {"AverageCounterFFT = 10\nAverageCounter = 20", "AverageCounter", 20},
        {"Average Counter = 20", "AverageCounter", 20},
        {"AverageCounter = 20", "Average Counter", 20},
        {"AverageCounter = 20", "  averagecounter", 20},
        {"AverageCounter = 20", "AverageCounter  ", 20},
        {"Display Blocks 99999", "DisplayBlocks", 99999},
        {"X = 1\nX = 2", "X", 1},
        {"Y = X 3\nX = 2", "X", 3},
        {"X2 = 1\nX = 2", "X", 2},
        {"X = 1", "", 7},
        {"X = 1", "   ", 7},
        {"X = 1", "Y", 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / key '" + c.key + "'");
        int32_t value = -1;
        readerOf(c.text).readInt(c.key, &value, 7);
        EXPECT_EQ(value, c.want);
    }
}

// A quoted upper-case key inside a comment is found before the real line; the
// rest of that comment line is blank.
TEST(ConfigReaderKeySearch, QuotedKeyInACommentIsFoundFirst) {
    const ConfigReader reader = readerOf("; the \"DEVICE\" line follows\r\nDevice = \"QX420A\"\r\n");
    int result = -2;
    EXPECT_EQ(readString(reader, "Device", &result), "");
    EXPECT_EQ(result, 1);
    int32_t value = 5;
    EXPECT_EQ(reader.readInt("Device", &value, 0), 0);
    EXPECT_EQ(value, 5);
}

TEST(ConfigReaderNumbers, EveryFormConvertsToIntegerDoubleAndFloat) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* value;
        int32_t integer;
        double real;
    };
    const Case cases[] = {
        {"20", 20, 20.0},
        {"-5", -5, -5.0},
        {"+7", 7, 7.0},
        {"007", 7, 7.0},
        {"0x1F", 31, 31.0},
        {"0X1f", 31, 31.0},  // letters fold before the hex test
        {"0x", 0, 0.0},
        {"0xFFFFFFFF", -1, 4294967295.0},
        {"0x100000001", 1, 4294967297.0},
        {"0xFFFFFFFFFFFFFFFF", -1, -1.0},
        {"1K", 1024, 1024.0},
        {"2M", 2097152, 2097152.0},
        {"5T", 5000, 5000.0},
        {"2L", 2000000, 2000000.0},
        {"-3K", -3072, -3072.0},
        {"4m", 4194304, 4194304.0},
        {"-", 0, 0.0},                                                // a sign alone
        {"K", 0, 0.0},                                                // a suffix alone
        {"3000000000", -1294967296, 3000000000.0},                    // low 32 bits of the 64-bit value
        {"99999999999999999999", 1661992959, 7766279631452241919.0},  // 64-bit wrap
        {"1.5K", 1536, 1536.0},
        {"2.5", 3, 2.5},
        {"-2.7", -2, -2.7},
        {"-2.5", -2, -2.5},
        {"0.3", 0, 0.3},
        {".5", 1, 0.5},
        {"5.", 5, 5.0},
        {"1E3", 1000, 1000.0},
        {"1e3", 1000, 1000.0},
        {"1D2", 100, 100.0},
        {"1E-2", 0, 0.01},
        {"1.5E+1", 15, 15.0},
        {"-1.25D1", -12, -12.5},
        {"2.5E1K", 25600, 25600.0},
        {"E", 0, 0.0},              // a real with no digits converts to 0
        {"1E999", INT32_MAX, inf},  // beyond int32: saturates
        {"-1E999", INT32_MIN, -inf},
        {"3E9", INT32_MAX, 3e9},
        {"12 AB", 12, 12.0},  // only the first token counts
        {"10.0 ; \xC2\xEE\xEB\xFC\xF2", 10, 10.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const ConfigReader reader = readerOf(std::string("X = ") + c.value);
        int32_t integer = 0;
        double real = 0.0;
        float single = 0.0f;
        EXPECT_EQ(reader.readInt("X", &integer, 0), 1);
        EXPECT_EQ(reader.readDouble("X", &real, 0.0), 1);
        EXPECT_EQ(reader.readFloat("X", &single, 0.0f), 1);
        EXPECT_EQ(integer, c.integer);
        EXPECT_DOUBLE_EQ(real, c.real);
        EXPECT_FLOAT_EQ(single, static_cast<float>(c.real));
    }
}

TEST(ConfigReaderNumbers, MalformedTokensFail) {
    const char* const cases[] = {
        "1.2.3", "12AB", "0xG1", "0x1.5", "five", "1E2E3", "1D2E3", "1+2",
        "--5",   "+-5",  "K5",   "1KK",   "1KB",  "1.5.K", "1E5X",  "0x-1",
    };
    for (const char* value : cases) {
        SCOPED_TRACE(value);
        const ConfigReader reader = readerOf(std::string("X = ") + value);
        int32_t integer = 42;
        double real = 42.0;
        float single = 42.0f;
        EXPECT_EQ(reader.readInt("X", &integer, 0), 0);
        EXPECT_EQ(reader.readDouble("X", &real, 0.0), 0);
        EXPECT_EQ(reader.readFloat("X", &single, 0.0f), 0);
        EXPECT_EQ(integer, 42);
        EXPECT_EQ(real, 42.0);
        EXPECT_EQ(single, 42.0f);
    }
}

TEST(ConfigReaderDefaults, NumbersTakeANonZeroDefaultOnly) {
    struct Case {
        const char* text;
        int32_t def;
        int result;
        int32_t want;  // the destination starts at 42
    };
    const Case cases[] = {
        {"X = 5", 7, 1, 5}, {"X = 5", 0, 1, 5},  {"X = five", 7, 0, 7}, {"X = five", 0, 0, 42},
        {"Y = 5", 7, 0, 7}, {"Y = 5", 0, 0, 42}, {"X =", 7, 0, 7},      {"X = ; comment", 0, 0, 42},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " default " + std::to_string(c.def));
        const ConfigReader reader = readerOf(c.text);
        int32_t integer = 42;
        double real = 42.0;
        float single = 42.0f;
        EXPECT_EQ(reader.readInt("X", &integer, c.def), c.result);
        EXPECT_EQ(reader.readDouble("X", &real, c.def), c.result);
        EXPECT_EQ(reader.readFloat("X", &single, static_cast<float>(c.def)), c.result);
        EXPECT_EQ(integer, c.want);
        EXPECT_EQ(real, static_cast<double>(c.want));
        EXPECT_EQ(single, static_cast<float>(c.want));
    }
}

TEST(ConfigReaderDefaults, StringDefaultsAndBounds) {
    const ConfigReader reader = readerOf("Name = abcdefg\nPadded = \"AB CD\"\n");
    {
        SCOPED_TRACE("missing key, default text");
        char value[16] = "old";
        EXPECT_EQ(reader.readString("Other", value, sizeof value, "dflt"), 0);
        EXPECT_STREQ(value, "dflt");
    }
    {
        SCOPED_TRACE("missing key, empty or absent default keeps the destination");
        char value[16] = "old";
        EXPECT_EQ(reader.readString("Other", value, sizeof value, ""), 0);
        EXPECT_STREQ(value, "old");
        EXPECT_EQ(reader.readString("Other", value, sizeof value, nullptr), 0);
        EXPECT_STREQ(value, "old");
    }
    {
        SCOPED_TRACE("value cut to size - 1");
        char value[8];
        std::memset(value, '#', sizeof value);
        EXPECT_EQ(reader.readString("Name", value, 4, nullptr), 1);
        EXPECT_STREQ(value, "ABC");
        EXPECT_EQ(value[4], '#');
    }
    {
        SCOPED_TRACE("default cut to size - 1");
        char value[8];
        std::memset(value, '#', sizeof value);
        EXPECT_EQ(reader.readString("Other", value, 4, "abcdefgh"), 0);
        EXPECT_STREQ(value, "abc");
        EXPECT_EQ(value[4], '#');
    }
    {
        SCOPED_TRACE("a cut value loses the blanks it now ends with");
        char value[8];
        EXPECT_EQ(reader.readString("Padded", value, 4, nullptr), 1);
        EXPECT_STREQ(value, "AB");
    }
    {
        SCOPED_TRACE("size 1 holds the terminator only");
        char value[4] = "old";
        EXPECT_EQ(reader.readString("Name", value, 1, nullptr), 1);
        EXPECT_STREQ(value, "");
    }
    {
        SCOPED_TRACE("no destination or no room: nothing happens");
        char value[4] = "old";
        EXPECT_EQ(reader.readString("Name", value, 0, "x"), 0);
        EXPECT_EQ(reader.readString("Name", value, -5, "x"), 0);
        EXPECT_STREQ(value, "old");
        EXPECT_EQ(reader.readString("Name", nullptr, 8, "x"), 0);
    }
}

TEST(ConfigReaderLists, SuccessiveNumbersUntilTheFirstInvalidOne) {
    struct Case {
        const char* text;
        int maxCount;
        int count;                  // countValues
        std::vector<int32_t> want;  // the array afterwards, 5 entries starting at -9
    };
    const Case cases[] = {
        {"SizeArray =  1K, 2K, 4M", 5, 3, {1024, 2048, 4194304, -9, -9}},
        {"L = 1 2 x 4", 5, 2, {1, 2, -9, -9, -9}},
        {"L = 1 2 3 4 5 6", 5, 6, {1, 2, 3, 4, 5}},
        {"L = 1 2 3", 2, 3, {1, 2, -9, -9, -9}},
        {"L = 1.5 0x10 -2 ; 7", 5, 3, {2, 16, -2, -9, -9}},
        {"L = 1 /\n 2", 5, 2, {1, 2, -9, -9, -9}},
        {"L = x 1", 5, 0, {-9, -9, -9, -9, -9}},
        {"L =", 5, 0, {-9, -9, -9, -9, -9}},
        {"M = 1", 5, 0, {-9, -9, -9, -9, -9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const ConfigReader reader = readerOf(c.text);
        const char* key = std::strncmp(c.text, "Size", 4) == 0 ? "SizeArray" : "L";
        std::vector<int32_t> values(5, -9);
        EXPECT_EQ(reader.countValues(key), c.count);
        const int stored = reader.readIntList(key, values.data(), c.maxCount);
        EXPECT_EQ(stored, std::min(c.count, c.maxCount));
        EXPECT_EQ(values, c.want);
    }
}

// An empty reader answers -1 and writes nothing, whatever the defaults.
TEST(ConfigReaderEmpty, EveryLookUpAnswersMinusOne) {
    const std::string oversized(ConfigReader::kMaxFileBytes + 1, ' ');
    const char* const names[] = {"no bytes", "over 131072 bytes"};
    const ConfigReader readers[] = {ConfigReader("", 0), readerOf(oversized)};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(names[i]);
        const ConfigReader& reader = readers[i];
        EXPECT_TRUE(reader.empty());
        char text[8] = "old";
        int32_t integer = 42;
        double real = 42.0;
        float single = 42.0f;
        int32_t list[2] = {42, 42};
        EXPECT_EQ(reader.readString("X", text, sizeof text, "dflt"), -1);
        EXPECT_EQ(reader.readInt("X", &integer, 7), -1);
        EXPECT_EQ(reader.readDouble("X", &real, 7.0), -1);
        EXPECT_EQ(reader.readFloat("X", &single, 7.0f), -1);
        EXPECT_EQ(reader.readIntList("X", list, 2), -1);
        EXPECT_EQ(reader.countValues("X"), -1);
        EXPECT_STREQ(text, "old");
        EXPECT_EQ(integer, 42);
        EXPECT_EQ(real, 42.0);
        EXPECT_EQ(single, 42.0f);
        EXPECT_EQ(list[0], 42);
    }
}

class ConfigReaderFile : public TempDirTest {};

// Files of 1..131072 bytes are read; a key in the last line of the largest
// one is found.
TEST_F(ConfigReaderFile, LoadsFilesOfOneTo131072Bytes) {
    const std::string tail = "\r\nX = 9";
    const auto padded = [&](size_t size) { return std::string(size - tail.size(), ';') + tail; };
    struct Case {
        const char* name;
        bool create;
        std::string bytes;
        bool loaded;
    };
    const Case cases[] = {
        {"missing", false, "", false},
        {"empty", true, "", false},
        {"one byte", true, "9", true},
        {"131072 bytes", true, padded(ConfigReader::kMaxFileBytes), true},
        {"131073 bytes", true, padded(ConfigReader::kMaxFileBytes + 1), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string fileName = path(c.name);
        if (c.create) writeBytes(fileName, c.bytes);
        const ConfigReader reader(fileName.c_str());
        EXPECT_EQ(reader.empty(), !c.loaded);
        if (c.bytes.size() > 1) {
            int32_t value = 0;
            EXPECT_EQ(reader.readInt("X", &value, 0), c.loaded ? 1 : -1);
            EXPECT_EQ(value, c.loaded ? 9 : 0);
        }
    }
    {
        SCOPED_TRACE("a directory");
        EXPECT_TRUE(ConfigReader(path("").c_str()).empty());
    }
}

}  // namespace
