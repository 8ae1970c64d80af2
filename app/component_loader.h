#pragma once
// Finding and loading component libraries.
//
// A component is found through the registry: under the local-machine hive, the
// key SOFTWARE\<maker>\<group>\<version>\<name> holds the value "path", the
// full file name of the library. The library exports one factory object,
// StaticFactory, which hands out interfaces by name.
#include <cstddef>

#include "platform/component_abi.h"

// Key paths and file names are composed in buffers of this many characters,
// terminator included; anything longer is refused, never cut.
inline constexpr size_t kComponentPathChars = 256;

// What the loader leaves with its caller. The loader unloads the library a
// holder still holds before it loads the next one into it; a caller that is
// done simply drops the holder, so a component stays loaded for the run.
struct ComponentHandle {
    void* exportAddress = nullptr;  // the looked-up export, or null
    void* module = nullptr;         // the loaded library (HMODULE), or null
};

// "SOFTWARE" followed by "\part" for each of maker, group, version and name
// that is not empty (name may be null). False when it does not fit in `size`.
bool composeComponentKey(char* out, size_t size, const char* maker, const char* group, const char* version,
                         const char* name);

// The file name used when no registry key is given: the directory, then
// "\name" when the name is not empty, then ".DLL". False when it does not fit.
bool composeLocalLibraryName(char* out, size_t size, const char* directory, const char* name);

// Ends the file name that a read of the registry's "path" value left in
// `path` (`size` bytes, of which the read filled `bytes`). The registry hands
// a string back with its terminator only when it was stored with one, so the
// name ends at the first NUL within `bytes`, or else after `bytes`, where a
// terminator is added if it still fits. False, with `path` emptied, when the
// name and its terminator do not fit in `size` or the name is empty.
bool terminateLibraryPath(char* path, size_t size, size_t bytes);

// Treats an export as the factory object and asks it for an interface; null
// when the export is null or the factory has no such interface.
void* createComponentInterface(void* factoryExport, const char* interfaceName);

// The component loader: fills `handle` and returns the export's address, or
// null when anything fails. With maker, group and version all given the
// library's file name comes from the registry, exactly as stored; with any of
// them null it is composeLocalLibraryName(current directory, name).
using LoadComponentFunction = void* (*)(ComponentHandle& handle, const char* maker, const char* group,
                                        const char* version, const char* name, const char* exportName);

#if defined(_WIN32)
void* LoadComponent(ComponentHandle& handle, const char* maker, const char* group, const char* version,
                    const char* name, const char* exportName);
#endif
