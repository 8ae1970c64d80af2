// POSIX implementation of platform/disk_space.h.
#include "platform/disk_space.h"

#include <sys/statvfs.h>

uint64_t freeDiskBytes() {
    struct statvfs info;
    if (::statvfs(".", &info) != 0) return 0;
    return uint64_t(info.f_bavail) * info.f_frsize;
}
