// Code page 1251 to UTF-8: the bytes of the results list and the messages,
// against the characters that the code page defines for them.
#include <gtest/gtest.h>

#include <string>

#include "platform/text_cp1251.h"

namespace {

TEST(Cp1251ToUtf8, BytesMapToTheirCharacters) {
    struct Case {
        const char* name;
        std::string cp1251;
        std::string utf8;
    };
    const Case cases[] = {
        {"ASCII stays", "Min   = -1.000 V", "Min   = -1.000 V"},
        {"empty", "", ""},
        {"numero sign of the list header", "---- Channel \xB9 1, Gain =  1", "---- Channel \xE2\x84\x96 1, Gain =  1"},
        {"first and last letter", "\xC0\xFF", "\xD0\x90\xD1\x8F"},
        {"Io and io", "\xA8\xB8", "\xD0\x81\xD1\x91"},
        {"euro sign", "\x88", "\xE2\x82\xAC"},
        {"Dje, first byte of the upper half", "\x80", "\xD0\x82"},
        {"yi, last byte before the letters", "\xBF", "\xD1\x97"},
        {"no-break space", "\xA0", "\xC2\xA0"},
        {"em dash", "\x97", "\xE2\x80\x94"},
        {"undefined byte",
         "a\x98"
         "b",
         "a?b"},
        {"zero byte kept", std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(cp1251ToUtf8(c.cp1251), c.utf8);
    }
}

TEST(Cp1251ToUtf8, ReversesTheProgramsConversion) {
    const char* texts[] = {
        "Ошибка... \n Не могу записать в файл.",
        "Ёлка и ёж, АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ абвгдежзийклмнопрстуфхцчшщъыьэюя",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        EXPECT_EQ(cp1251ToUtf8(utf8ToCp1251(text)), text);
    }
}

}  // namespace
