// Win32 implementation of platform/page_memory.h: VirtualAlloc / VirtualFree.
#include "platform/page_memory.h"

#include <windows.h>

void* allocatePages(size_t bytes) {
    if (bytes == 0) return nullptr;
    return VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void releasePages(void* pages, size_t bytes) {
    // MEM_RELEASE frees the whole reservation and wants a size of 0.
    if (pages) VirtualFree(pages, 0, MEM_RELEASE);
}
