// The heap settings take effect where the C library is glibc: a large block comes straight
// from the system, however large a block freed before it was.
#include "HeapUse.h"

#include <cstdlib>

#include <gtest/gtest.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
std::size_t MappedBytes() { return mallinfo2().hblkhd; }

// Touched through a volatile pointer, so that the compiler keeps the allocation.
void* Allocate(std::size_t bytes) {
    void* block = std::malloc(bytes);
    static_cast<volatile char*>(block)[bytes - 1] = 1;
    return block;
}

// Whether a large block came from the system and went back to it: false where it came out
// of the heap.
bool LargeBlockMapped() {
    // Freeing a 4 MB block would, by the library's own rule, serve every block below 4 MB
    // from the heap from then on.
    std::free(Allocate(std::size_t{4} << 20));
    moratutor::UseOneHeap();
    const std::size_t before = MappedBytes();
    void* block = Allocate(std::size_t{512} << 10);
    const bool mapped = MappedBytes() - before >= std::size_t{512} << 10;
    std::free(block);
    return mapped && MappedBytes() == before;
}
#endif

TEST(HeapUse, LargeBlocksComeStraightFromTheSystemAndGoBack) {
#if !defined(__GLIBC__)
    GTEST_SKIP() << "only glibc keeps freed blocks in its heap";
#elif defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's allocator takes the place of glibc's";
#else
    // In a process of its own: what the other tests freed would be in the heap to serve it.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(LargeBlockMapped() ? 0 : 1), ::testing::ExitedWithCode(0), "");
#endif
}

}  // namespace
