#include "platform/text_cp1251.h"

#include <cstdint>

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
