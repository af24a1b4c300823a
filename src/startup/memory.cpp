#include "startup/memory.h"

#include <cstdlib>  // defines __GLIBC__ with the GNU C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace kalibrix {

void keepFreedMemory()
{
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 16 << 20);   // blocks up to 16 MB from the heap, not mmap
    mallopt(M_TRIM_THRESHOLD, 256 << 20);  // the heap's free top is kept up to 256 MB
#endif
}

}  // namespace kalibrix
