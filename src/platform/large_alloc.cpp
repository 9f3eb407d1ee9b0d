#include "platform/large_alloc.h"

#include <sys/mman.h>

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;

std::size_t Rounded(std::size_t bytes) {
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

}  // namespace

void* AllocateLarge(std::size_t bytes) {
    if (bytes == 0 || bytes > std::size_t(-1) - kHugePage) {
        return nullptr;
    }
    const std::size_t length = Rounded(bytes);
    void* memory =
        ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        return nullptr;
    }
    // Only a wish: without transparent huge pages the memory is still good, in small pages.
    (void)::madvise(memory, length, MADV_HUGEPAGE);
    return memory;
}

void FreeLarge(void* memory, std::size_t bytes) {
    if (memory != nullptr) {
        (void)::munmap(memory, Rounded(bytes));
    }
}
