#include "app/shell/StartupMemory.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
// The C library's upper limit for its mapping threshold on 64-bit systems.
constexpr int kLargestHeapBlock = 32 << 20;

bool HugePagesOffered() {
    std::FILE* file = std::fopen("/sys/kernel/mm/transparent_hugepage/enabled", "r");
    if (file == nullptr) return false;
    char text[128] = {};
    const size_t read = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    text[read] = '\0';
    return HugePagesOfferedBy(text);
}

uintptr_t Break() { return reinterpret_cast<uintptr_t>(sbrk(0)); }

HeapReserve Reserve(size_t reserveBytes) {
    HeapReserve reserve;
    if (reserveBytes < 2 * kHugePage || reserveBytes > (size_t{256} << 20) || !HugePagesOffered()) return reserve;
    const int pad = static_cast<int>(reserveBytes);
    // Blocks as large as the window's pixels stay in the heap, and freeing never hands the
    // reserve back (that would split its huge pages).
    if (mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock) == 0 || mallopt(M_TRIM_THRESHOLD, 4 * pad) == 0 ||
        mallopt(M_TOP_PAD, pad) == 0) {
        return reserve;
    }
    // A block just larger than the free top of the heap makes the heap grow by the pad. The
    // allocator writes only next to the old end (where the block ends), never inside the
    // reserve before it is advised: a small page there would keep its 2 MiB from huge pages.
    const uintptr_t before = Break();
    void* volatile block = std::malloc(mallinfo2().keepcost + 64);
    std::free(block);
    const uintptr_t after = Break();
    if (before == ~uintptr_t{0} || after == ~uintptr_t{0} || after <= before) return reserve;
    const uintptr_t begin = (before + 4096 + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t end = after & ~(kHugePage - 1);
    if (end <= begin) return reserve;
    if (madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE) != 0) return reserve;
    reserve.begin = begin;
    reserve.end = end;
    // The free top of the heap starts below `begin`, up to 2 MiB below it depending on where
    // the system placed the heap. One block that is never used takes that gap, so the blocks
    // that follow (the surfaces, the window's pixels) start on huge pages; the gap's pages are
    // never written and cost nothing.
    const uintptr_t topStart = after - mallinfo2().keepcost;
    if (topStart < begin && begin - topStart >= 4096) {
        static void* gap = nullptr;
        gap = std::malloc(begin - topStart - sizeof(size_t));
        if (reinterpret_cast<uintptr_t>(gap) != topStart + 2 * sizeof(size_t)) {
            std::free(gap);  // taken from elsewhere: the gap stays as it was
            gap = nullptr;
        }
    }
    return reserve;
}

}  // namespace

bool HugePagesOfferedBy(const char* settingsText) {
    if (settingsText == nullptr) return false;
    return std::strstr(settingsText, "[always]") != nullptr || std::strstr(settingsText, "[madvise]") != nullptr;
}

HeapReserve ReserveHeapOnHugePages(size_t reserveBytes) {
    static const HeapReserve reserve = Reserve(reserveBytes);
    return reserve;
}
