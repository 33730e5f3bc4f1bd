#pragma once
// Sixteen characters or bytes at a time: the fast paths of the decoder and
// the encoder for the long regular runs that make up nearly all of a
// hex-text file. SSE2 is part of every x86-64 processor; elsewhere the
// engine's byte-at-a-time paths do all the work.

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#define CALVERDON_HAVE_SSE2 1
#endif

namespace calverdon {

#if defined(CALVERDON_HAVE_SSE2)

// Decodes the pairs among the 16 characters at `in` that are two plain hex
// digits each, writing 8 bytes to `out`. Returns how many of the pairs, from
// the first, were such pairs (0 to 8); only that many bytes of `out` are
// meaningful. `sum` receives the sum of the 8 bytes when all 8 pairs were
// plain.
inline int DecodeHexBlock(const unsigned char* in, unsigned char* out, std::uint32_t& sum) {
    const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    // c - '0' is at most 9 (unsigned) exactly for the digits; (c | 0x20) - 'a'
    // is at most 5 exactly for a-f and A-F.
    const __m128i digit = _mm_sub_epi8(chars, _mm_set1_epi8('0'));
    const __m128i isDigit = _mm_cmpeq_epi8(_mm_min_epu8(digit, _mm_set1_epi8(9)), digit);
    const __m128i letter = _mm_sub_epi8(_mm_or_si128(chars, _mm_set1_epi8(0x20)), _mm_set1_epi8('a'));
    const __m128i isLetter = _mm_cmpeq_epi8(_mm_min_epu8(letter, _mm_set1_epi8(5)), letter);
    const __m128i value = _mm_or_si128(_mm_and_si128(isDigit, digit),
                                       _mm_and_si128(isLetter, _mm_add_epi8(letter, _mm_set1_epi8(10))));
    // Each 16-bit lane holds one pair, its first character in the low byte.
    const __m128i high = _mm_slli_epi16(_mm_and_si128(value, _mm_set1_epi16(0x00FF)), 4);
    const __m128i low = _mm_srli_epi16(value, 8);
    const __m128i bytes = _mm_packus_epi16(_mm_or_si128(high, low), _mm_setzero_si128());
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), bytes);

    const unsigned valid = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(isDigit, isLetter)));
    const unsigned badPairs = ~(valid & (valid >> 1)) & 0x5555u;
    if (badPairs == 0) {
        sum = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_sad_epu8(bytes, _mm_setzero_si128())));
        return 8;
    }
    return __builtin_ctz(badPairs) / 2;
}

// The sum of the 16 bytes at `in`.
inline std::uint32_t SumHexBlockBytes(const unsigned char* in) {
    const __m128i sums = _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)), _mm_setzero_si128());
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
}

// Writes the 32 lowercase hex digits of the 16 bytes at `in`.
inline void EncodeHexBlock(const unsigned char* in, char* out) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i mask = _mm_set1_epi8(0x0F);
    const __m128i high = _mm_and_si128(_mm_srli_epi16(bytes, 4), mask);
    const __m128i low = _mm_and_si128(bytes, mask);
    const auto ascii = [](__m128i nibbles) {
        // '0' + n, and 39 more ('a' - '0' - 10) for n above 9.
        const __m128i above9 = _mm_cmpgt_epi8(nibbles, _mm_set1_epi8(9));
        return _mm_add_epi8(_mm_add_epi8(nibbles, _mm_set1_epi8('0')), _mm_and_si128(above9, _mm_set1_epi8(39)));
    };
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), ascii(_mm_unpacklo_epi8(high, low)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), ascii(_mm_unpackhi_epi8(high, low)));
}

#endif

}  // namespace calverdon
