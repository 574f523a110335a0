// Copying UTF-16 text up to its terminator, fast: eight units per step with SSE2 where the
// processor has it (every x86-64 does), four per step with plain 64-bit words elsewhere.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "../platform.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define TARVEL_TEXT_COPY_SSE2 1
#endif

namespace tarvel::platform {

// Copies text to out until a terminator or count units, whichever comes first, and returns
// the number of units copied (the terminator is not). All count units of text must be
// readable, also those after a terminator.
inline size_t copyUntilTerminator(WCHAR* out, const WCHAR* text, size_t count) {
    size_t i = 0;
#ifdef TARVEL_TEXT_COPY_SSE2
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= count; i += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        const unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(units, zero)));
        if (mask != 0) {
            const size_t before = size_t(std::countr_zero(mask)) / 2;
            std::memcpy(out + i, text + i, before * sizeof(WCHAR));
            return i + before;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), units);
    }
#else
    for (; i + 4 <= count; i += 4) {
        uint64_t units;
        std::memcpy(&units, text + i, sizeof units);
        if (((units - 0x0001000100010001ULL) & ~units & 0x8000800080008000ULL) != 0) {
            break;
        }
        std::memcpy(out + i, &units, sizeof units);
    }
#endif
    for (; i < count && text[i] != 0; ++i) {
        out[i] = text[i];
    }
    return i;
}

}  // namespace tarvel::platform
