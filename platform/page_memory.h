#pragma once
// Committed page allocations for the large analysis buffers (sample windows,
// spectra, the FFT work buffer): whole pages straight from the operating
// system, never from the heap, zero-filled when handed out.
#include <cstddef>

// Reserves and commits `bytes` (rounded up to whole pages) for reading and
// writing; the memory starts zero-filled. Null when bytes is 0 or the system
// refuses.
void* allocatePages(size_t bytes);

// Gives back a block from allocatePages; `bytes` is the size that was asked
// for. Null is ignored.
void releasePages(void* pages, size_t bytes);
