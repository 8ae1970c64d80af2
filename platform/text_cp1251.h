#pragma once
// The program's texts are code page 1251 bytes, like its files. Source files
// are UTF-8, so texts written in them are converted once, here.
#include <string>
#include <string_view>

// Converts UTF-8 to code page 1251. ASCII stays; Cyrillic letters (U+0410 to
// U+044F, Ё and ё) map to their code page bytes; anything else becomes '?'.
std::string utf8ToCp1251(std::string_view utf8);
