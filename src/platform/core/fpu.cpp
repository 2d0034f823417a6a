#include "platform/core/fpu.h"

#include <cfenv>
#include <cstdint>
#include <xmmintrin.h>

namespace platform {

void MaskFloatingPointExceptions() {
    std::feclearexcept(FE_ALL_EXCEPT);
    // SSE: the six exception mask bits, denormal included (which <cfenv> cannot name).
    _mm_setcsr(_mm_getcsr() | 0x1F80u);
    // x87, for long double arithmetic: mask the same six.
    std::uint16_t cw = 0;
    __asm__ volatile("fnstcw %0" : "=m"(cw));
    cw |= 0x3F;
    __asm__ volatile("fldcw %0" : : "m"(cw));
}

} // namespace platform
