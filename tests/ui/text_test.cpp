// Code page 1251 texts to and from the UTF-16 of the wide APIs, whatever the
// system's ANSI code page is.
#include <gtest/gtest.h>

#include <string>

#include "tests/ui/test_support.h"
#include "ui/text_win.h"

namespace {

TEST(TextCp1251, WidensKnownTexts) {
    struct Case {
        const char* name;
        const char* text;
        std::wstring want;
    };
    const Case cases[] = {
        {"null", nullptr, L""},
        {"empty", "", L""},
        {"ASCII with line feed", "  Quorvel v3.1\n", L"  Quorvel v3.1\n"},
        {"Cyrillic word", "\xCE\xF8\xE8\xE1\xEA\xE0", L"\x041E\x0448\x0438\x0431\x043A\x0430"},
        {"yo, numero sign, euro", "\xA8\xB8\xB9\x88", L"\x0401\x0451\x2116\x20AC"},
        {"last letters", "\xDF\xFF", L"\x042F\x044F"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring got = widenCp1251(c.text);
        EXPECT_EQ(got, c.want) << "got " << narrow(got);
    }
}

TEST(TextCp1251, EveryDefinedByteRoundTrips) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) {
        if (byte != 0x98) all += static_cast<char>(byte);  // 0x98 is unassigned in code page 1251
    }
    const std::wstring wide = widenCp1251(all.c_str());
    EXPECT_EQ(wide.size(), all.size()) << "one UTF-16 unit per byte";
    EXPECT_EQ(narrowCp1251(wide.c_str()), all);
}

TEST(TextCp1251, NarrowsMissingCharactersToQuestionMarks) {
    EXPECT_EQ(narrowCp1251(L"A\x4E2D"
                           L"B"),
              "A?B");
    EXPECT_EQ(narrowCp1251(nullptr), "");
}

}  // namespace
