#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wavfreq {

/// The signs of 64 neighbouring samples as two words: bit i of `above` is set where sample i is
/// greater than 0, bit i of `below` where it is less than 0; where neither is, the sample is 0
/// (or -0.0). Real samples must not be NaN. With SSE2, the x86-64 baseline, sixteen samples are
/// compared at a time; elsewhere one at a time, to the same bits.
struct SignMasks {
  std::uint64_t above = 0;
  std::uint64_t below = 0;

  static constexpr int kWidth = 64;

  static SignMasks Of(const int* samples) {
#if defined(__SSE2__)
    SignMasks masks;
    const __m128i zero = _mm_setzero_si128();
    for (int group = 0; group < 4; ++group) {
      const int* at = samples + 16 * group;
      // Packing with saturation keeps each sample's sign and whether it is 0: sixteen samples
      // become sixteen bytes of the same signs.
      const __m128i low = _mm_packs_epi32(Load(at), Load(at + 4));
      const __m128i high = _mm_packs_epi32(Load(at + 8), Load(at + 12));
      const __m128i bytes = _mm_packs_epi16(low, high);
      masks.Add(group, _mm_movemask_epi8(_mm_cmpgt_epi8(bytes, zero)), _mm_movemask_epi8(bytes));
    }
    return masks;
#else
    return OneByOne(samples);
#endif
  }

  static SignMasks Of(const std::int16_t* samples) {
#if defined(__SSE2__)
    SignMasks masks;
    const __m128i zero = _mm_setzero_si128();
    for (int group = 0; group < 4; ++group) {
      const std::int16_t* at = samples + 16 * group;
      const __m128i bytes =
          _mm_packs_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)),
                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 8)));
      masks.Add(group, _mm_movemask_epi8(_mm_cmpgt_epi8(bytes, zero)), _mm_movemask_epi8(bytes));
    }
    return masks;
#else
    return OneByOne(samples);
#endif
  }

  static SignMasks Of(const double* samples) {
#if defined(__SSE2__)
    SignMasks masks;
    const __m128d zero = _mm_setzero_pd();
    for (int group = 0; group < 4; ++group) {
      const double* at = samples + 16 * group;
      __m128i above[4];
      __m128i below[4];
      for (int quarter = 0; quarter < 4; ++quarter) {
        const __m128d first = _mm_loadu_pd(at + 4 * quarter);
        const __m128d second = _mm_loadu_pd(at + 4 * quarter + 2);
        above[quarter] = OnePerSample(_mm_cmpgt_pd(first, zero), _mm_cmpgt_pd(second, zero));
        below[quarter] = OnePerSample(_mm_cmplt_pd(first, zero), _mm_cmplt_pd(second, zero));
      }
      masks.Add(group, _mm_movemask_epi8(Bytes(above)), _mm_movemask_epi8(Bytes(below)));
    }
    return masks;
#else
    return OneByOne(samples);
#endif
  }

  static SignMasks Of(const float* samples) {
#if defined(__SSE2__)
    SignMasks masks;
    const __m128 zero = _mm_setzero_ps();
    for (int group = 0; group < 4; ++group) {
      const float* at = samples + 16 * group;
      __m128i above[4];
      __m128i below[4];
      for (int quarter = 0; quarter < 4; ++quarter) {
        const __m128 four = _mm_loadu_ps(at + 4 * quarter);
        above[quarter] = _mm_castps_si128(_mm_cmpgt_ps(four, zero));
        below[quarter] = _mm_castps_si128(_mm_cmplt_ps(four, zero));
      }
      masks.Add(group, _mm_movemask_epi8(Bytes(above)), _mm_movemask_epi8(Bytes(below)));
    }
    return masks;
#else
    return OneByOne(samples);
#endif
  }

  /// The same, a sample at a time.
  template <class Sample>
  static SignMasks OneByOne(const Sample* samples) {
    SignMasks masks;
    for (int i = 0; i < kWidth; ++i) {
      masks.above |= static_cast<std::uint64_t>(samples[i] > 0) << i;
      masks.below |= static_cast<std::uint64_t>(samples[i] < 0) << i;
    }
    return masks;
  }

 private:
#if defined(__SSE2__)
  static __m128i Load(const int* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  }
  // Four comparisons' 64-bit masks as four 32-bit ones.
  static __m128i OnePerSample(__m128d first, __m128d second) {
    return _mm_castps_si128(
        _mm_shuffle_ps(_mm_castpd_ps(first), _mm_castpd_ps(second), _MM_SHUFFLE(2, 0, 2, 0)));
  }
  static __m128i Bytes(const __m128i* four) {
    return _mm_packs_epi16(_mm_packs_epi32(four[0], four[1]), _mm_packs_epi32(four[2], four[3]));
  }
  void Add(int group, int aboveBits, int belowBits) {
    above |= static_cast<std::uint64_t>(static_cast<unsigned>(aboveBits)) << (16 * group);
    below |= static_cast<std::uint64_t>(static_cast<unsigned>(belowBits)) << (16 * group);
  }
#endif
};

}  // namespace wavfreq
