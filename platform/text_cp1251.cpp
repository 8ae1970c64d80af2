#include "platform/text_cp1251.h"

#include <cstdint>

namespace {

// Characters of the bytes 0x80..0xBF; 0 where the code page defines none.
constexpr uint16_t kUpperHalf[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 0x88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 0x98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // 0xA8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // 0xB8
};

}  // namespace

std::string utf8ToCp1251(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        }
        // Length of the sequence from its lead byte; malformed bytes count as one.
        size_t length = (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 1;
        if (i + length > utf8.size()) length = 1;
        uint32_t code = 0;
        if (length == 2) {
            code = ((lead & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
        }
        char mapped = '?';
        if (code >= 0x410 && code <= 0x44F) {
            mapped = static_cast<char>(0xC0 + (code - 0x410));
        } else if (code == 0x401) {
            mapped = static_cast<char>(0xA8);
        } else if (code == 0x451) {
            mapped = static_cast<char>(0xB8);
        }
        out += mapped;
        i += length;
    }
    return out;
}

std::string cp1251ToUtf8(std::string_view cp1251) {
    std::string out;
    out.reserve(cp1251.size() * 2);
    for (const char byte : cp1251) {
        const auto b = static_cast<unsigned char>(byte);
        if (b < 0x80) {
            out += byte;
            continue;
        }
        const uint32_t code = b >= 0xC0 ? 0x410 + (b - 0xC0) : kUpperHalf[b - 0x80];
        if (code == 0) {
            out += '?';
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}
