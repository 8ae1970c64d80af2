#pragma once
// Bounded copies into the fixed-size text fields of the configuration.
#include <cstddef>

// Copies text into dest[size], cutting it to size - 1 bytes; dest always ends
// with a terminator. Nothing happens when size is 0 or less.
inline void copyBounded(char* dest, int size, const char* text) {
    if (size <= 0) return;
    int n = 0;
    while (n < size - 1 && text[n] != 0) {
        dest[n] = text[n];
        ++n;
    }
    dest[n] = 0;
}

template <size_t size>
void copyText(char (&dest)[size], const char* text) {
    copyBounded(dest, static_cast<int>(size), text);
}
