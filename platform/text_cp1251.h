#pragma once
// The program's texts are code page 1251 bytes, like its files. Source files
// are UTF-8, so texts written in them are converted once, here.
#include <string>
#include <string_view>

// Converts UTF-8 to code page 1251. ASCII stays; Cyrillic letters (U+0410 to
// U+044F, Ё and ё) map to their code page bytes; anything else becomes '?'.
std::string utf8ToCp1251(std::string_view utf8);

// Converts code page 1251 to UTF-8, the reverse of utf8ToCp1251 and more:
// every byte that the code page defines maps to its character (0xB9 to the
// numero sign U+2116, 0xC0..0xFF to U+0410..U+044F, ...); the one byte it
// leaves undefined (0x98) becomes '?'.
std::string cp1251ToUtf8(std::string_view cp1251);
