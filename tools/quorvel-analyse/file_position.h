#pragma once
// 64-bit positions in a stdio file, also where long is 32 bits (Windows).
#include <cstdint>
#include <cstdio>

inline bool seekTo(std::FILE* file, int64_t offset, int whence) {
#if defined(_WIN32)
    return _fseeki64(file, offset, whence) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), whence) == 0;
#endif
}

inline int64_t position(std::FILE* file) {
#if defined(_WIN32)
    return _ftelli64(file);
#else
    return static_cast<int64_t>(ftello(file));
#endif
}

// The file's size in bytes, leaving the position at `then`; -1 when either
// seek fails.
inline int64_t fileSize(std::FILE* file, int64_t then = 0) {
    int64_t size = -1;
    if (seekTo(file, 0, SEEK_END)) size = position(file);
    if (size < 0 || !seekTo(file, then, SEEK_SET)) return -1;
    return size;
}
