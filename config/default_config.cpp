#include "config/default_config.h"

#if defined(_WIN32)

#include <windows.h>

std::string_view builtInConfigText() {
    // Resources of the program's own module stay mapped for the whole run.
    const HRSRC info = FindResourceA(nullptr, MAKEINTRESOURCEA(kBuiltInConfigResource), "CONFIG");
    if (!info) return {};
    const HGLOBAL loaded = LoadResource(nullptr, info);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) return {};
    return {static_cast<const char*>(bytes), SizeofResource(nullptr, info)};
}

#else

#include <cstddef>

// Generated from resources/Quorvel.cfg by cmake/EmbedBytes.cmake.
extern const unsigned char kBuiltInConfigBytes[];
extern const size_t kBuiltInConfigBytesSize;

std::string_view builtInConfigText() {
    return {reinterpret_cast<const char*>(kBuiltInConfigBytes), kBuiltInConfigBytesSize};
}

#endif
