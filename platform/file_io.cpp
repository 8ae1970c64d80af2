#include "platform/file_io.h"

#include <cstdarg>
#include <cstdio>

bool FormattedFileWrite(FileHandle file, const char* format, ...) {
    char text[kFormattedWriteBytes];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0) return false;
    // vsnprintf cut a longer text at the buffer's end.
    const size_t length = static_cast<size_t>(n) < sizeof text ? static_cast<size_t>(n) : sizeof text - 1;
    return writeFile(file, text, length);
}
