#include "HeapUse.h"

// Any C library header says whether this is glibc: without one, __GLIBC__ is never defined
// and both functions below would do nothing.
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace moratutor {

void UseOneHeap() {
#if defined(__GLIBC__)
    mallopt(M_ARENA_MAX, 1);
    // Large blocks (a book's text, a document's tables) always straight from the system
    // and back to it when freed: the C library would otherwise raise this threshold after
    // the first such block is freed and serve the next ones from the heap, where what is
    // freed stays with the program.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
#endif
}

void ReturnFreedMemory() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

}  // namespace moratutor
