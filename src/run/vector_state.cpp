#include "run/vector_state.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace kalibrix {

#if defined(__x86_64__) && defined(__GNUC__)

namespace {

__attribute__((target("avx"))) void zeroUpper() { _mm256_zeroupper(); }

}  // namespace

void cleanVectorState()
{
    static const bool avx = __builtin_cpu_supports("avx");
    if (avx)
        zeroUpper();
}

#else

void cleanVectorState() {}

#endif

}  // namespace kalibrix
