// Windows: the built-in configuration text is resource CONFIG 120 of the
// program's own module.
#include "config/default_config.h"

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
