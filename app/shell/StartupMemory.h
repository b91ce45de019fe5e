// The viewer's heap on 2 MiB pages. Before its first frame the viewer writes about 10 MB of
// fresh memory (surfaces, the window's pixels, the toolkit's backing store, fonts); with 4 KiB
// pages every first write is a page fault, and faults are the larger part of start-up on a
// virtual machine. Big blocks are kept in the heap and the heap's reserve is offered to the
// kernel's transparent huge pages, so a first write maps 2 MiB at once.
#pragma once

#include <cstddef>
#include <cstdint>

struct HeapReserve {
    uintptr_t begin = 0;  // the part of the heap advised for huge pages: [begin, end)
    uintptr_t end = 0;
    bool Advised() const { return end > begin; }
};

// How the kernel offers transparent huge pages, read from its settings text ("always
// [madvise] never"): true for always or madvise.
bool HugePagesOfferedBy(const char* settingsText);

// Keeps blocks below 32 MiB in the heap (instead of a mapping each), grows the heap by
// `reserveBytes` (4 MiB to 256 MiB) up front, keeps freed memory in it, and advises that part
// of the heap (whole 2 MiB pages of it) for huge pages. Advises nothing when the kernel offers no huge pages or the
// heap cannot grow (another allocator in use, address space taken). Runs once, before the
// toolkit starts; later calls return the first result.
HeapReserve ReserveHeapOnHugePages(size_t reserveBytes);
