// The vector operations the kernels are written in, one record per width:
// a kernel written once over V runs 16, 32 or 64 bytes at a time. Only the
// kernel files include this, each compiled for its own instructions; each
// names the records with a tag type of its own (Vec128<Isa>), so that every
// function here is a separate copy per file and a copy built for wider
// instructions can never be linked in where a narrower one was meant.
// Operations work within 16-byte lanes, as the instructions do.
#ifndef PIECEPAINT_IMAGEOPS_VECTOR_TRAITS_H
#define PIECEPAINT_IMAGEOPS_VECTOR_TRAITS_H

#include "imageops/cpu.h"

#include <cstdint>

#if PP_HAVE_SSE2

template <typename Isa> struct Vec128 {
    using Reg = __m128i;
    static constexpr int32_t kBytes = 16;
    static constexpr int32_t kLanes = 1;

    static Reg Load(const void *p) { return _mm_loadu_si128(static_cast<const __m128i *>(p)); }
    static void Store(void *p, Reg v) { _mm_storeu_si128(static_cast<__m128i *>(p), v); }
    // 16 bytes into each lane, lane l's from base + starts[l x step] - origin.
    static Reg LoadLanes(const uint8_t *base, const int32_t *starts, int32_t, int32_t origin)
    {
        return Load(base + (starts[0] - origin));
    }
    // The same 16 bytes in every lane.
    static Reg Broadcast(const uint8_t *p) { return Load(p); }
    static Reg Zero() { return _mm_setzero_si128(); }
    static Reg Splat8(int32_t v) { return _mm_set1_epi8(static_cast<char>(v)); }
    static Reg Splat16(int32_t v) { return _mm_set1_epi16(static_cast<int16_t>(v)); }
    static Reg Splat32(int32_t v) { return _mm_set1_epi32(v); }

    static Reg And(Reg a, Reg b) { return _mm_and_si128(a, b); }
    static Reg AndNot(Reg a, Reg b) { return _mm_andnot_si128(a, b); } // ~a & b
    static Reg Or(Reg a, Reg b) { return _mm_or_si128(a, b); }
    static Reg Xor(Reg a, Reg b) { return _mm_xor_si128(a, b); }
    static Reg Equal8(Reg a, Reg b) { return _mm_cmpeq_epi8(a, b); }
    // One bit per byte, from its top bit.
    static uint64_t Bits(Reg mask) { return static_cast<uint32_t>(_mm_movemask_epi8(mask)); }
    static bool AllSet(Reg mask) { return _mm_movemask_epi8(mask) == 0xFFFF; }
    static bool NoneSet(Reg mask) { return _mm_movemask_epi8(mask) == 0; }
    // Where mask is set, a; elsewhere b (masks are whole bytes).
    static Reg Select(Reg mask, Reg a, Reg b)
    {
#ifdef __SSE4_1__
        return _mm_blendv_epi8(b, a, mask);
#else
        return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
#endif
    }

    static Reg MinU8(Reg a, Reg b)
    {
        return _mm_min_epu8(a, b);
    }
    static Reg MaxU8(Reg a, Reg b)
    {
        return _mm_max_epu8(a, b);
    }
    static Reg AddSatU8(Reg a, Reg b)
    {
        return _mm_adds_epu8(a, b);
    }
    static Reg SubSatU8(Reg a, Reg b)
    {
        return _mm_subs_epu8(a, b);
    }
    static Reg Add16(Reg a, Reg b)
    {
        return _mm_add_epi16(a, b);
    }
    static Reg Add32(Reg a, Reg b)
    {
        return _mm_add_epi32(a, b);
    }
    static Reg MulLow16(Reg a, Reg b)
    {
        return _mm_mullo_epi16(a, b);
    }
    static Reg MulHighU16(Reg a, Reg b)
    {
        return _mm_mulhi_epu16(a, b);
    }
    static Reg MulHigh16(Reg a, Reg b)
    {
        return _mm_mulhi_epi16(a, b);
    }
    static Reg Max16(Reg a, Reg b)
    {
        return _mm_max_epi16(a, b);
    }
    static Reg Min16(Reg a, Reg b)
    {
        return _mm_min_epi16(a, b);
    }
    static Reg MulAdd16(Reg a, Reg b)
    {
        return _mm_madd_epi16(a, b);
    }
    static Reg MulU32(Reg a, Reg b)
    {
        return _mm_mul_epu32(a, b);
    }
    template <int N> static Reg ShiftRight16(Reg v)
    {
        return _mm_srli_epi16(v, N);
    }
    template <int N> static Reg ShiftLeft16(Reg v)
    {
        return _mm_slli_epi16(v, N);
    }
    template <int N> static Reg ShiftRight64(Reg v)
    {
        return _mm_srli_epi64(v, N);
    }
    template <int N> static Reg ShiftLeft64(Reg v)
    {
        return _mm_slli_epi64(v, N);
    }
    // Shifts by the count in the low 64 bits of count.
    static Reg ShiftRight16(Reg v, __m128i count)
    {
        return _mm_srl_epi16(v, count);
    }
    static Reg ShiftRight32(Reg v, __m128i count)
    {
        return _mm_srl_epi32(v, count);
    }
    static Reg ShiftRight64(Reg v, __m128i count)
    {
        return _mm_srl_epi64(v, count);
    }
    static Reg PackU16(Reg a, Reg b)
    {
        return _mm_packus_epi16(a, b);
    }
    static Reg Pack32(Reg a, Reg b)
    {
        return _mm_packs_epi32(a, b);
    }
    static Reg LowBytes(Reg a, Reg b)
    {
        return _mm_unpacklo_epi8(a, b);
    }
    static Reg HighBytes(Reg a, Reg b)
    {
        return _mm_unpackhi_epi8(a, b);
    }
    static Reg LowWords(Reg a, Reg b)
    {
        return _mm_unpacklo_epi16(a, b);
    }
    static Reg HighWords(Reg a, Reg b)
    {
        return _mm_unpackhi_epi16(a, b);
    }
    // The words of a and then b as bytes, in order across the lanes.
    static Reg PackU16InOrder(Reg a, Reg b)
    {
        return _mm_packus_epi16(a, b);
    }

#ifdef __SSSE3__
    static Reg Shuffle8(Reg table, Reg index)
    {
        return _mm_shuffle_epi8(table, index);
    }
    static Reg MulAddU8S8(Reg a, Reg b)
    {
        return _mm_maddubs_epi16(a, b);
    }
#endif
#ifdef __SSE4_1__
    static Reg PackU32(Reg a, Reg b)
    {
        return _mm_packus_epi32(a, b);
    }
    // The even 32-bit elements of a, the odd ones of b.
    static Reg EvenOdd32(Reg a, Reg b)
    {
        return _mm_blend_epi16(a, b, 0xCC);
    }
#endif
};

#ifdef __AVX2__
template <typename Isa> struct Vec256 {
    using Reg = __m256i;
    using Half = Vec128<Isa>;
    static constexpr int32_t kBytes = 32;
    static constexpr int32_t kLanes = 2;

    static Reg Load(const void *p) { return _mm256_loadu_si256(static_cast<const __m256i *>(p)); }
    static void Store(void *p, Reg v) { _mm256_storeu_si256(static_cast<__m256i *>(p), v); }
    static Reg LoadLanes(const uint8_t *base, const int32_t *starts, int32_t step, int32_t origin)
    {
        return _mm256_inserti128_si256(
            _mm256_castsi128_si256(Half::Load(base + (starts[0] - origin))),
            Half::Load(base + (starts[step] - origin)), 1);
    }
    static Reg Broadcast(const uint8_t *p) { return _mm256_broadcastsi128_si256(Half::Load(p)); }
    static Reg Zero() { return _mm256_setzero_si256(); }
    static Reg Splat8(int32_t v) { return _mm256_set1_epi8(static_cast<char>(v)); }
    static Reg Splat16(int32_t v) { return _mm256_set1_epi16(static_cast<int16_t>(v)); }
    static Reg Splat32(int32_t v) { return _mm256_set1_epi32(v); }

    static Reg And(Reg a, Reg b) { return _mm256_and_si256(a, b); }
    static Reg AndNot(Reg a, Reg b) { return _mm256_andnot_si256(a, b); }
    static Reg Or(Reg a, Reg b) { return _mm256_or_si256(a, b); }
    static Reg Xor(Reg a, Reg b) { return _mm256_xor_si256(a, b); }
    static Reg Equal8(Reg a, Reg b) { return _mm256_cmpeq_epi8(a, b); }
    static uint64_t Bits(Reg mask) { return static_cast<uint32_t>(_mm256_movemask_epi8(mask)); }
    static bool AllSet(Reg mask) { return _mm256_movemask_epi8(mask) == -1; }
    static bool NoneSet(Reg mask) { return _mm256_movemask_epi8(mask) == 0; }
    static Reg Select(Reg mask, Reg a, Reg b) { return _mm256_blendv_epi8(b, a, mask); }

    static Reg MinU8(Reg a, Reg b) { return _mm256_min_epu8(a, b); }
    static Reg MaxU8(Reg a, Reg b) { return _mm256_max_epu8(a, b); }
    static Reg AddSatU8(Reg a, Reg b) { return _mm256_adds_epu8(a, b); }
    static Reg SubSatU8(Reg a, Reg b) { return _mm256_subs_epu8(a, b); }
    static Reg Add16(Reg a, Reg b) { return _mm256_add_epi16(a, b); }
    static Reg Add32(Reg a, Reg b) { return _mm256_add_epi32(a, b); }
    static Reg MulLow16(Reg a, Reg b) { return _mm256_mullo_epi16(a, b); }
    static Reg MulHighU16(Reg a, Reg b) { return _mm256_mulhi_epu16(a, b); }
    static Reg MulHigh16(Reg a, Reg b) { return _mm256_mulhi_epi16(a, b); }
    static Reg Max16(Reg a, Reg b) { return _mm256_max_epi16(a, b); }
    static Reg Min16(Reg a, Reg b) { return _mm256_min_epi16(a, b); }
    static Reg MulAdd16(Reg a, Reg b) { return _mm256_madd_epi16(a, b); }
    static Reg MulU32(Reg a, Reg b) { return _mm256_mul_epu32(a, b); }
    template <int N> static Reg ShiftRight16(Reg v) { return _mm256_srli_epi16(v, N); }
    template <int N> static Reg ShiftLeft16(Reg v) { return _mm256_slli_epi16(v, N); }
    template <int N> static Reg ShiftRight64(Reg v) { return _mm256_srli_epi64(v, N); }
    template <int N> static Reg ShiftLeft64(Reg v) { return _mm256_slli_epi64(v, N); }
    static Reg ShiftRight16(Reg v, __m128i count) { return _mm256_srl_epi16(v, count); }
    static Reg ShiftRight32(Reg v, __m128i count) { return _mm256_srl_epi32(v, count); }
    static Reg ShiftRight64(Reg v, __m128i count) { return _mm256_srl_epi64(v, count); }
    static Reg PackU16(Reg a, Reg b) { return _mm256_packus_epi16(a, b); }
    static Reg Pack32(Reg a, Reg b) { return _mm256_packs_epi32(a, b); }
    static Reg PackU32(Reg a, Reg b) { return _mm256_packus_epi32(a, b); }
    static Reg LowBytes(Reg a, Reg b) { return _mm256_unpacklo_epi8(a, b); }
    static Reg HighBytes(Reg a, Reg b) { return _mm256_unpackhi_epi8(a, b); }
    static Reg LowWords(Reg a, Reg b) { return _mm256_unpacklo_epi16(a, b); }
    static Reg HighWords(Reg a, Reg b) { return _mm256_unpackhi_epi16(a, b); }
    // Packing within lanes interleaves the halves of a and b; the quarters
    // are put back in order.
    static Reg PackU16InOrder(Reg a, Reg b)
    {
        return _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
    }
    // 16 words, one lane each half, as 16 bytes.
    static __m128i PackLanes(Reg words)
    {
        return _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
    }
    static Reg Shuffle8(Reg table, Reg index) { return _mm256_shuffle_epi8(table, index); }
    static Reg MulAddU8S8(Reg a, Reg b) { return _mm256_maddubs_epi16(a, b); }
    static Reg EvenOdd32(Reg a, Reg b) { return _mm256_blend_epi32(a, b, 0xAA); }
};
#endif

#ifdef __AVX512BW__
// Only what the 64-byte kernels use.
template <typename Isa> struct Vec512 {
    using Reg = __m512i;
    using Half = Vec256<Isa>;
    static constexpr int32_t kBytes = 64;
    static constexpr int32_t kLanes = 4;

    static Reg Load(const void *p) { return _mm512_loadu_si512(p); }
    static void Store(void *p, Reg v) { _mm512_storeu_si512(p, v); }
    static Reg Broadcast(const uint8_t *p)
    {
        // The zero-masking form: the plain one reads an undefined register.
        return _mm512_maskz_broadcast_i32x4(0xFFFF,
                                            _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)));
    }
    static Reg Zero() { return _mm512_setzero_si512(); }
    static Reg Splat8(int32_t v) { return _mm512_set1_epi8(static_cast<char>(v)); }
    static Reg Splat16(int32_t v) { return _mm512_set1_epi16(static_cast<int16_t>(v)); }
    static Reg And(Reg a, Reg b) { return _mm512_and_si512(a, b); }
    // The zero-masking form: g++ 12 warns of the plain one's undefined register.
    static Reg AndNot(Reg a, Reg b) { return _mm512_maskz_andnot_epi32(0xFFFF, a, b); }
    static Reg Or(Reg a, Reg b) { return _mm512_or_si512(a, b); }
    static Reg Xor(Reg a, Reg b) { return _mm512_xor_si512(a, b); }
    // Comparisons give bytes of all ones, as at the narrower widths, made
    // from the mask registers the instructions set.
    static Reg Equal8(Reg a, Reg b) { return _mm512_movm_epi8(_mm512_cmpeq_epi8_mask(a, b)); }
    static uint64_t Bits(Reg mask) { return _mm512_movepi8_mask(mask); }
    static bool AllSet(Reg mask) { return _mm512_movepi8_mask(mask) == ~__mmask64{0}; }
    static bool NoneSet(Reg mask) { return _mm512_movepi8_mask(mask) == 0; }
    static Reg Select(Reg mask, Reg a, Reg b)
    {
        return _mm512_mask_blend_epi8(_mm512_movepi8_mask(mask), b, a);
    }
    // Bit 0 cleared in the bytes at most limit (unsigned).
    static Reg ClearBit0AtMost(Reg v, int32_t limit)
    {
        const __mmask64 low = _mm512_cmple_epu8_mask(v, Splat8(limit));
        return _mm512_mask_mov_epi8(v, low, _mm512_and_si512(v, Splat8(0xFE)));
    }
    static Reg MinU8(Reg a, Reg b) { return _mm512_min_epu8(a, b); }
    static Reg MaxU8(Reg a, Reg b) { return _mm512_max_epu8(a, b); }
    static Reg AddSatU8(Reg a, Reg b) { return _mm512_adds_epu8(a, b); }
    static Reg SubSatU8(Reg a, Reg b) { return _mm512_subs_epu8(a, b); }
    static Reg Add16(Reg a, Reg b) { return _mm512_add_epi16(a, b); }
    static Reg MulLow16(Reg a, Reg b) { return _mm512_mullo_epi16(a, b); }
    static Reg MulHigh16(Reg a, Reg b) { return _mm512_mulhi_epi16(a, b); }
    static Reg PackU16(Reg a, Reg b) { return _mm512_packus_epi16(a, b); }
    static Reg LowBytes(Reg a, Reg b) { return _mm512_unpacklo_epi8(a, b); }
    static Reg HighBytes(Reg a, Reg b) { return _mm512_unpackhi_epi8(a, b); }
    static Reg MulAddU8S8(Reg a, Reg b) { return _mm512_maddubs_epi16(a, b); }
    static Reg MulHighU16(Reg a, Reg b) { return _mm512_mulhi_epu16(a, b); }
    template <int N> static Reg ShiftRight16(Reg v) { return _mm512_srli_epi16(v, N); }
    static Reg ShiftRight16(Reg v, __m128i count) { return _mm512_srl_epi16(v, count); }
    template <int N> static Reg ShiftLeft16(Reg v) { return _mm512_slli_epi16(v, N); }
    static Reg Shuffle8(Reg table, Reg index) { return _mm512_shuffle_epi8(table, index); }
};
#endif

#endif

#endif
