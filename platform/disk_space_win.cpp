// Win32 implementation of platform/disk_space.h.
#include "platform/disk_space.h"

#include <windows.h>

uint64_t freeDiskBytes() {
    char directory[256] = "";
    const DWORD length = GetCurrentDirectoryA(sizeof directory, directory);
    const char* root = length > 0 && length < sizeof directory ? directory : nullptr;
    ULARGE_INTEGER available;
    if (GetDiskFreeSpaceExA(root, &available, nullptr, nullptr)) return available.QuadPart;
    // Older systems answer only in clusters.
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)) {
        return uint64_t(freeClusters) * bytesPerSector * sectorsPerCluster;
    }
    return 0;
}
