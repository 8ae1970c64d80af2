#include <windows.h>

#include "app/component_loader.h"

namespace {

// The "path" value of the component's key, as stored; false when the key or a
// string value is missing, or the name does not fit in the buffer with its
// terminator.
bool readLibraryPath(const char* keyPath, char (&path)[kComponentPathChars]) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD type = 0;
    // The whole buffer: a name of 255 characters and its terminator fill it.
    // The read may hand back a value stored without a terminator as it is;
    // terminateLibraryPath ends it or refuses it.
    DWORD bytes = sizeof path;
    const LONG status = RegQueryValueExA(key, "path", nullptr, &type, reinterpret_cast<BYTE*>(path), &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) return false;
    return terminateLibraryPath(path, sizeof path, bytes);
}

}  // namespace

void* LoadComponent(ComponentHandle& handle, const char* maker, const char* group, const char* version,
                    const char* name, const char* exportName) {
    if (handle.module) FreeLibrary(static_cast<HMODULE>(handle.module));
    handle.module = nullptr;
    handle.exportAddress = nullptr;

    char fileName[kComponentPathChars];
    if (maker && group && version) {
        char keyPath[kComponentPathChars];
        if (!composeComponentKey(keyPath, sizeof keyPath, maker, group, version, name)) {
            return nullptr;
        }
        if (!readLibraryPath(keyPath, fileName)) return nullptr;
    } else {
        char directory[kComponentPathChars];
        const DWORD length = GetCurrentDirectoryA(sizeof directory, directory);
        if (length == 0 || length >= sizeof directory) return nullptr;
        if (!composeLocalLibraryName(fileName, sizeof fileName, directory, name)) return nullptr;
    }

    if (!exportName) return nullptr;
    HMODULE module = LoadLibraryA(fileName);
    if (!module) return nullptr;
    handle.module = module;
    handle.exportAddress = reinterpret_cast<void*>(GetProcAddress(module, exportName));
    return handle.exportAddress;
}
