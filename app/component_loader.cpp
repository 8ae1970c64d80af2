#include "app/component_loader.h"

#include <cstring>

namespace {

// Appends `part` to the text of `length` characters in out; false when the
// result and its terminator would not fit.
bool append(char* out, size_t size, size_t& length, const char* part) {
    const size_t partLength = std::strlen(part);
    if (length + partLength + 1 > size) return false;
    std::memcpy(out + length, part, partLength + 1);
    length += partLength;
    return true;
}

bool appendKeyPart(char* out, size_t size, size_t& length, const char* part) {
    if (!part || !*part) return true;
    return append(out, size, length, "\\") && append(out, size, length, part);
}

}  // namespace

bool composeComponentKey(char* out, size_t size, const char* maker, const char* group, const char* version,
                         const char* name) {
    size_t length = 0;
    if (size == 0) return false;
    out[0] = 0;
    const bool fits = append(out, size, length, "SOFTWARE") && appendKeyPart(out, size, length, maker) &&
                      appendKeyPart(out, size, length, group) && appendKeyPart(out, size, length, version) &&
                      appendKeyPart(out, size, length, name);
    if (!fits) out[0] = 0;
    return fits;
}

bool composeLocalLibraryName(char* out, size_t size, const char* directory, const char* name) {
    size_t length = 0;
    if (size == 0) return false;
    out[0] = 0;
    const bool fits = append(out, size, length, directory ? directory : "") && appendKeyPart(out, size, length, name) &&
                      append(out, size, length, ".DLL");
    if (!fits) out[0] = 0;
    return fits;
}

bool terminateLibraryPath(char* path, size_t size, size_t bytes) {
    if (size == 0) return false;
    if (bytes <= size) {
        const void* end = std::memchr(path, 0, bytes);
        if (end) return end != path;
        if (bytes < size) {
            path[bytes] = 0;
            return bytes > 0;
        }
    }
    path[0] = 0;
    return false;
}

void* createComponentInterface(void* factoryExport, const char* interfaceName) {
    if (!factoryExport) return nullptr;
    return static_cast<IComponentFactory*>(factoryExport)->CreateInterface(interfaceName, 0);
}
