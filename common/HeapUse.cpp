#include "HeapUse.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace moratutor {

void UseOneHeap() {
#if defined(__GLIBC__)
    mallopt(M_ARENA_MAX, 1);
#endif
}

void ReturnFreedMemory() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

}  // namespace moratutor
