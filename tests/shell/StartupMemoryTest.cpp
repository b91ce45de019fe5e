// The viewer's heap on huge pages. A program of its own: the set-up changes how this whole
// process allocates.
#include "app/shell/StartupMemory.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define QM_OWN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QM_OWN_ALLOCATOR 1
#endif
#endif

namespace {

constexpr size_t kReserve = size_t{32} << 20;

std::string ReadFile(const char* path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Where the kernel would give huge pages to an advised heap (and the C library allocates).
bool HugePagesExpected() {
#ifdef QM_OWN_ALLOCATOR
    constexpr bool kHeapAllocator = false;  // the sanitizer's allocator does not use the heap
#else
    constexpr bool kHeapAllocator = true;
#endif
    return kHeapAllocator && HugePagesOfferedBy(ReadFile("/sys/kernel/mm/transparent_hugepage/enabled").c_str());
}

// The value of `field` (e.g. "THPeligible:") of every mapping that overlaps [begin, end),
// from /proc/self/smaps; -1 where a mapping lacks it.
std::string FieldOfMappings(uintptr_t begin, uintptr_t end, const char* field) {
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    std::string values;
    bool inside = false;
    while (std::getline(smaps, line)) {
        unsigned long low = 0;
        unsigned long high = 0;
        char dash = 0;
        std::istringstream head(line);
        if (head >> std::hex >> low >> dash >> high && dash == '-' && line.find(':') > line.find(' ')) {
            inside = low < end && high > begin;
            continue;
        }
        if (inside && line.rfind(field, 0) == 0) {
            std::istringstream rest(line.substr(std::strlen(field)));
            std::string value;
            rest >> value;
            values += value + " ";
        }
    }
    return values;
}

// The set-up, run once, and how many pages of the reserve beyond its first huge page were
// already in memory right after it (read from /proc/self/pagemap; -1 when unreadable). Only
// the first huge page may be: a small page written anywhere else before the advice keeps its
// 2 MiB from ever becoming a huge page.
struct SetUpSnapshot {
    HeapReserve reserve;
    long pagesPresentBeyondTheFirstHugePage = -1;
};

const SetUpSnapshot& Snapshot() {
    static const SetUpSnapshot snapshot = [] {
        SetUpSnapshot s;
        s.reserve = ReserveHeapOnHugePages(kReserve);
        if (!s.reserve.Advised()) return s;
        const uintptr_t from = s.reserve.begin + (uintptr_t{2} << 20);
        std::vector<uint64_t> entries((s.reserve.end - from) / 4096);
        const int fd = open("/proc/self/pagemap", O_RDONLY);
        if (fd < 0) return s;
        const ssize_t bytes = static_cast<ssize_t>(entries.size() * sizeof(uint64_t));
        if (pread(fd, entries.data(), static_cast<size_t>(bytes), static_cast<off_t>(from / 4096 * 8)) == bytes) {
            s.pagesPresentBeyondTheFirstHugePage = 0;
            for (uint64_t entry : entries) s.pagesPresentBeyondTheFirstHugePage += static_cast<long>(entry >> 63);
        }
        close(fd);
        return s;
    }();
    return snapshot;
}

class StartupMemoryTest : public ::testing::Test {
protected:
    HeapReserve reserve = Snapshot().reserve;
    void SetUp() override {
        if (!HugePagesExpected()) {
            EXPECT_FALSE(reserve.Advised());
            GTEST_SKIP() << "no transparent huge pages for this process's heap";
        }
        ASSERT_TRUE(reserve.Advised());
    }
};

TEST(HugePageSettings, OnlyAlwaysAndMadviseOfferHugePages) {
    EXPECT_TRUE(HugePagesOfferedBy("always [madvise] never\n"));
    EXPECT_TRUE(HugePagesOfferedBy("[always] madvise never\n"));
    EXPECT_FALSE(HugePagesOfferedBy("always madvise [never]\n"));
    EXPECT_FALSE(HugePagesOfferedBy(""));
    EXPECT_FALSE(HugePagesOfferedBy(nullptr));
}

TEST_F(StartupMemoryTest, TheReserveIsWholeHugePagesOfTheHeap) {
    EXPECT_EQ(reserve.begin % (2u << 20), 0u);
    EXPECT_EQ(reserve.end % (2u << 20), 0u);
    // All of the reserve but the huge pages it starts and ends inside.
    EXPECT_GE(reserve.end - reserve.begin, kReserve - (size_t{4} << 20));
    EXPECT_LE(reserve.end, reinterpret_cast<uintptr_t>(sbrk(0)));
}

TEST_F(StartupMemoryTest, TheSetUpWritesNothingInTheReserveBeyondItsFirstHugePage) {
    if (Snapshot().pagesPresentBeyondTheFirstHugePage < 0) GTEST_SKIP() << "/proc/self/pagemap is not readable";
    EXPECT_EQ(Snapshot().pagesPresentBeyondTheFirstHugePage, 0);
}

TEST_F(StartupMemoryTest, TheKernelMayBackTheWholeReserveWithHugePages) {
    const std::string eligible = FieldOfMappings(reserve.begin, reserve.end, "THPeligible:");
    ASSERT_FALSE(eligible.empty());
    EXPECT_EQ(eligible.find('0'), std::string::npos) << eligible;
}

TEST_F(StartupMemoryTest, AWindowSizedBlockIsTakenFromTheReserve) {
    // As large as a full-screen window's pixels: by default such a block is a mapping of its
    // own, outside the reserve, and every first write to it faults a 4 KiB page. Nor may it
    // start in the heap's small pages below the reserve (up to 2 MiB, as the system placed
    // the heap).
    void* volatile block = std::malloc(size_t{8} << 20);
    const auto at = reinterpret_cast<uintptr_t>(block);
    EXPECT_GE(at, reserve.begin);
    EXPECT_LE(at + (size_t{8} << 20), reserve.end);
    std::free(block);
}

TEST_F(StartupMemoryTest, FreeingBlocksKeepsTheReserveInTheHeap) {
    void* volatile block = std::malloc(size_t{20} << 20);
    std::free(block);
    EXPECT_GE(reinterpret_cast<uintptr_t>(sbrk(0)), reserve.end);
}

TEST_F(StartupMemoryTest, ALaterCallKeepsTheFirstReserve) {
    const HeapReserve again = ReserveHeapOnHugePages(kReserve * 2);
    EXPECT_TRUE(again.Advised());
    EXPECT_EQ(again.begin, reserve.begin);
    EXPECT_EQ(again.end, reserve.end);
}

}  // namespace
