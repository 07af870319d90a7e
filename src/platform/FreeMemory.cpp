#include "platform/FreeMemory.h"

// Any C library header defines __GLIBC__ where glibc is the C library.
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tavor1 {

void releaseFreeMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace tavor1
