// Elsewhere the built-in configuration text is compiled in as a byte array.
#include "config/default_config.h"

#include <cstddef>

// Generated from resources/Quorvel.cfg by cmake/EmbedBytes.cmake.
extern const unsigned char kBuiltInConfigBytes[];
extern const size_t kBuiltInConfigBytesSize;

std::string_view builtInConfigText() {
    return {reinterpret_cast<const char*>(kBuiltInConfigBytes), kBuiltInConfigBytesSize};
}
