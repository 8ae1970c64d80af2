#pragma once
// Free space on the disk of the process's current directory.
#include <cstdint>

// Bytes that the calling user may still write on the current directory's
// disk; 0 when the system cannot tell.
uint64_t freeDiskBytes();
