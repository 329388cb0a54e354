// Huge-page advice lands on the whole 2 MiB pages inside a buffer and nowhere
// else, as the kernel's own mapping list shows it.
#include "engine/core/huge_pages.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace {

constexpr uintptr_t kHuge = uintptr_t{2} << 20;

// Whether the mapping holding `address` carries the huge-page advice flag,
// from /proc/self/smaps; nullopt when no mapping holds it.
std::optional<bool> AdvisedAt(uintptr_t address) {
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    while (std::getline(smaps, line)) {
        uintptr_t begin = 0, end = 0;
        char dash = 0;
        std::istringstream range(line);
        if (range >> std::hex >> begin >> dash >> end && dash == '-' &&
            line.find(':') > line.find(' ')) {
            inside = begin <= address && address < end;
            continue;
        }
        if (inside && line.rfind("VmFlags:", 0) == 0) {
            return (" " + line.substr(8) + " ").find(" hg ") != std::string::npos;
        }
    }
    return std::nullopt;
}

// Fresh anonymous pages, unadvised: a mapping of its own, so that nothing
// else in the process shares its flags.
struct Mapping {
    explicit Mapping(size_t size)
        : bytes(size),
          base(static_cast<uint8_t*>(
              mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0))) {}
    ~Mapping() {
        if (base != MAP_FAILED) munmap(base, bytes);
    }
    // The first huge-page boundary inside the mapping.
    uintptr_t FirstBoundary() const {
        return (reinterpret_cast<uintptr_t>(base) + kHuge - 1) & ~(kHuge - 1);
    }
    size_t bytes;
    uint8_t* base;
};

bool KernelHasHugePages() {
    return std::filesystem::exists("/sys/kernel/mm/transparent_hugepage/enabled");
}

TEST(HugePages, AdviceCoversTheWholeHugePagesInsideTheBufferOnly) {
    if (!KernelHasHugePages()) GTEST_SKIP() << "this kernel has no transparent huge pages";
    Mapping mapping(16 * kHuge);
    ASSERT_NE(mapping.base, MAP_FAILED);
    // A buffer that starts 1 MiB past a huge-page boundary and ends 1 MiB short
    // of one: only the huge pages wholly inside it may be advised.
    const uintptr_t aligned = mapping.FirstBoundary();
    const uintptr_t begin = aligned + kHuge / 2;
    const size_t bytes = 5 * kHuge;
    zeph::AdviseHugePages(reinterpret_cast<void*>(begin), bytes);

    EXPECT_EQ(AdvisedAt(begin), false) << "the partial huge page at the start";
    EXPECT_EQ(AdvisedAt(aligned + kHuge), true);
    EXPECT_EQ(AdvisedAt(aligned + 4 * kHuge + kHuge - 1), true);
    EXPECT_EQ(AdvisedAt(aligned + 5 * kHuge), false) << "the partial huge page at the end";
    EXPECT_EQ(AdvisedAt(begin + bytes - 1), false);

    // The bytes are the buffer's as ever.
    auto* p = reinterpret_cast<uint8_t*>(begin);
    for (size_t i = 0; i < bytes; i += 4096)
        p[i] = uint8_t(i >> 12);
    for (size_t i = 0; i < bytes; i += 4096)
        ASSERT_EQ(p[i], uint8_t(i >> 12));
}

TEST(HugePages, SmallBuffersAndNullAreLeftAlone) {
    if (!KernelHasHugePages()) GTEST_SKIP() << "this kernel has no transparent huge pages";
    Mapping mapping(8 * kHuge);
    ASSERT_NE(mapping.base, MAP_FAILED);
    const uintptr_t aligned = mapping.FirstBoundary();
    // Two whole huge pages, but under the size worth advising.
    zeph::AdviseHugePages(reinterpret_cast<void*>(aligned), zeph::kLeastHugePageBytes - 1);
    EXPECT_EQ(AdvisedAt(aligned), false);
    zeph::AdviseHugePages(nullptr, 64 * kHuge);  // must not fault
    zeph::AdviseHugePages(reinterpret_cast<void*>(aligned), zeph::kLeastHugePageBytes);
    EXPECT_EQ(AdvisedAt(aligned), true);
}

}  // namespace
