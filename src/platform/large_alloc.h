// Memory for lists of millions of small records, such as the block headers the rescue scan
// finds. It is taken in 2 MiB pages where the kernel offers them: every fresh 4 KiB page
// costs a fault when first touched, and in a virtual machine a fault costs as much as
// looking at a thousand headers.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

// At least this many bytes come from AllocateLarge; smaller requests go to operator new.
constexpr std::size_t kLargeAllocationBytes = std::size_t(1) << 20;

// Zeroed memory of at least the size in bytes, or nullptr; give it back with FreeLarge and
// the same size.
void* AllocateLarge(std::size_t bytes);
void FreeLarge(void* memory, std::size_t bytes);

template <class T>
struct LargeAllocator {
    using value_type = T;

    LargeAllocator() = default;
    template <class U>
    LargeAllocator(const LargeAllocator<U>& /*other*/) {}

    T* allocate(std::size_t n) {
        if (n > std::size_t(-1) / sizeof(T)) {
            throw std::bad_array_new_length();
        }
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kLargeAllocationBytes) {
            return static_cast<T*>(::operator new(bytes));
        }
        void* memory = AllocateLarge(bytes);
        if (memory == nullptr) {
            throw std::bad_alloc();
        }
        return static_cast<T*>(memory);
    }

    void deallocate(T* memory, std::size_t n) {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kLargeAllocationBytes) {
            ::operator delete(memory);
        } else {
            FreeLarge(memory, bytes);
        }
    }

    template <class U>
    bool operator==(const LargeAllocator<U>& /*other*/) const {
        return true;
    }
};

template <class T>
using LargeVector = std::vector<T, LargeAllocator<T>>;
