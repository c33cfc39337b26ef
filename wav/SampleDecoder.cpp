#include "wav/SampleDecoder.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "wav/LittleEndian.h"

namespace wavfreq {

namespace {

static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559,
              "floating-point samples are IEEE 754 values");

// Floating-point samples have full scale at +-1.0; the meter takes integer units, 2^31 to full
// scale, and multiplying by a power of two is exact.
constexpr double kFloatScale = SampleDecoder::kSingleScale;

#if defined(__SSE2__)
// Four stored 32-bit floats, read as the vector unit reads them, at any alignment, as Reals'
// values: widened and scaled by the power of two, exactly as one at a time.
void WidenFour(const float* from, double* to) {
  const __m128d scale = _mm_set1_pd(kFloatScale);
  const __m128 four = _mm_loadu_ps(from);
  _mm_storeu_pd(to, _mm_mul_pd(_mm_cvtps_pd(four), scale));
  _mm_storeu_pd(to + 2, _mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(four, four)), scale));
}
#endif

double ReadFloat32(const unsigned char* bytes) {
  const std::uint32_t bits = ReadLe32(bytes);
  float value = 0.0f;
  std::memcpy(&value, &bits, sizeof value);
  return static_cast<double>(value) * kFloatScale;
}

double ReadFloat64(const unsigned char* bytes) {
  const std::uint64_t bits = ReadLe64(bytes);
  double value = 0.0;
  std::memcpy(&value, &bits, sizeof value);
  return value * kFloatScale;
}

int ReadNothing(const unsigned char*) {
  return 0;
}

template <int (*Decode)(const unsigned char*)>
double AsReal(const unsigned char* bytes) {
  return static_cast<double>(Decode(bytes));
}

template <double (*Decode)(const unsigned char*)>
int Rounded(const unsigned char* bytes) {
  const double value = Decode(bytes);
  if (!(value == value)) {
    return 0;
  }
  if (value >= 2147483647.0) {
    return std::numeric_limits<int>::max();
  }
  if (value <= -2147483648.0) {
    return std::numeric_limits<int>::min();
  }
  return static_cast<int>(std::nearbyint(value));
}

// One loop per decoder, so that each is a plain strided load the compiler can unroll.
template <class Sample, class Decode>
void DecodeChannel(const unsigned char* frames, std::int64_t count, std::ptrdiff_t frameSize,
                   Sample* samples, Decode decode) {
  std::int64_t i = 0;
  for (; i + 4 <= count; i += 4) {
    samples[i] = decode(frames);
    samples[i + 1] = decode(frames + frameSize);
    samples[i + 2] = decode(frames + 2 * frameSize);
    samples[i + 3] = decode(frames + 3 * frameSize);
    frames += 4 * frameSize;
  }
  for (; i < count; ++i) {
    samples[i] = decode(frames);
    frames += frameSize;
  }
}

#if defined(__SSE2__)
// 16-bit samples of mono and stereo frames, four at a time: each 32-bit lane of the loaded bytes
// holds a frame's first sample in its low half (stereo) or two samples (mono), which shifts
// sign-extend as the scalar load does.
template <class Sample>
std::int64_t Signed16(const unsigned char* frames, std::int64_t count, std::ptrdiff_t frameSize,
                      Sample* samples) {
  std::int64_t i = 0;
  const auto store = [&samples](std::int64_t at, __m128i four) {
    if constexpr (std::is_same_v<Sample, int>) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + at), four);
    } else {
      _mm_storeu_pd(samples + at, _mm_cvtepi32_pd(four));
      _mm_storeu_pd(samples + at + 2, _mm_cvtepi32_pd(_mm_unpackhi_epi64(four, four)));
    }
  };
  if (frameSize == 4) {
    // The second channel's four samples end two bytes into the fifth frame: one must follow.
    for (; i + 5 <= count; i += 4, frames += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(frames));
      store(i, _mm_srai_epi32(_mm_slli_epi32(bytes, 16), 16));
    }
  } else if (frameSize == 2) {
    for (; i + 8 <= count; i += 8, frames += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(frames));
      store(i, _mm_srai_epi32(_mm_unpacklo_epi16(bytes, bytes), 16));
      store(i + 4, _mm_srai_epi32(_mm_unpackhi_epi16(bytes, bytes), 16));
    }
  }
  DecodeChannel(frames, count - i, frameSize, samples + i, [](const unsigned char* bytes) {
    return static_cast<Sample>(ReadLeSigned16(bytes));
  });
  return count;
}
#endif

// Whether a decoder reads 16-bit samples, as integers or as reals: told by specialisation, since
// not every compiler compares the addresses of functions in a constant expression.
template <auto Decode>
struct ReadsSigned16 : std::false_type {};
template <>
struct ReadsSigned16<&ReadLeSigned16> : std::true_type {};
template <>
struct ReadsSigned16<&AsReal<&ReadLeSigned16>> : std::true_type {};
template <auto Decode>
struct ReadsFloat32 : std::false_type {};
template <>
struct ReadsFloat32<&ReadFloat32> : std::true_type {};

template <class Sample, Sample (*Decode)(const unsigned char*)>
std::int64_t Whole(const unsigned char* frames, std::int64_t count, std::ptrdiff_t frameSize,
                   Sample* samples) {
#if defined(__SSE2__)
  if constexpr (ReadsSigned16<Decode>::value) {
    return Signed16(frames, count, frameSize, samples);
  }
#endif
  DecodeChannel(frames, count, frameSize, samples, Decode);
  return count;
}

// Whether any of the values is infinite or not a number: an exponent of all ones. Tested on the
// bits, over the whole block at once; the block is clean nearly always.
bool AnyNotFinite(const double* values, std::int64_t count) {
  constexpr std::uint64_t kExponent = 0x7FF0000000000000u;
  constexpr std::uint64_t kExponentOne = 0x0010000000000000u;
  std::uint64_t flags = 0;
  for (std::int64_t i = 0; i < count; ++i) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &values[i], sizeof bits);
    // An exponent of all ones carries into the sign's place; no other does.
    flags |= (bits & kExponent) + kExponentOne;
  }
  return (flags & 0x8000000000000000u) != 0;
}

// Floating-point samples, up to the first that is not finite.
template <double (*Decode)(const unsigned char*)>
std::int64_t FiniteReals(const unsigned char* frames, std::int64_t count, std::ptrdiff_t frameSize,
                         double* samples) {
  std::int64_t i = 0;
#if defined(__SSE2__)
  if constexpr (ReadsFloat32<Decode>::value) {
    // Mono 32-bit floats, four at a time: widened and scaled by a power of two, exact as the
    // scalar conversion is.
    if (frameSize == 4) {
      for (; i + 4 <= count; i += 4, frames += 16) {
        WidenFour(reinterpret_cast<const float*>(frames), samples + i);
      }
    }
  }
#endif
  DecodeChannel(frames, count - i, frameSize, samples + i, Decode);
  if (!AnyNotFinite(samples, count)) {
    return count;
  }
  std::int64_t finite = 0;
  while (std::isfinite(samples[finite])) {
    ++finite;
  }
  return finite;
}

template <double (*Decode)(const unsigned char*)>
std::int64_t FiniteIntegers(const unsigned char* frames, std::int64_t count,
                            std::ptrdiff_t frameSize, int* samples) {
  for (std::int64_t i = 0; i < count; ++i, frames += frameSize) {
    if (!std::isfinite(Decode(frames))) {
      return i;
    }
    samples[i] = Rounded<Decode>(frames);
  }
  return count;
}

// 32-bit floats as stored, up to the first that is not finite: an exponent of all ones.
std::int64_t FiniteSingles(const unsigned char* frames, std::int64_t count,
                           std::ptrdiff_t frameSize, float* samples) {
  std::uint32_t flags = 0;
  std::int64_t i = 0;
#if defined(__SSE2__)
  if (frameSize == 4) {
    // Mono: four at a time as they lie (x86 is little-endian), the flags in four lanes.
    const __m128i exponent = _mm_set1_epi32(0x7F800000);
    const __m128i exponentOne = _mm_set1_epi32(0x00800000);
    __m128i lanes = _mm_setzero_si128();
    for (; i + 4 <= count; i += 4, frames += 16) {
      const __m128i bits = _mm_loadu_si128(reinterpret_cast<const __m128i*>(frames));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + i), bits);
      lanes = _mm_or_si128(lanes, _mm_add_epi32(_mm_and_si128(bits, exponent), exponentOne));
    }
    flags = _mm_movemask_ps(_mm_castsi128_ps(lanes)) != 0 ? 0x80000000u : 0u;
  }
#endif
  for (; i < count; ++i, frames += frameSize) {
    const std::uint32_t bits = ReadLe32(frames);
    std::memcpy(&samples[i], &bits, sizeof bits);
    // An exponent of all ones carries into the sign's place; no other does.
    flags |= (bits & 0x7F800000u) + 0x00800000u;
  }
  if ((flags & 0x80000000u) == 0) {
    return count;
  }
  std::int64_t finite = 0;
  while (std::isfinite(samples[finite])) {
    ++finite;
  }
  return finite;
}

}  // namespace

std::int64_t SampleDecoder::StoredSamples(const unsigned char* first, std::int64_t count,
                                          std::ptrdiff_t frameSize, std::uint8_t* samples) const {
  if (stored != Stored::kBytes) {
    return 0;
  }
  if (frameSize == 1) {
    std::memcpy(samples, first, static_cast<std::size_t>(count));
    return count;
  }
  DecodeChannel(first, count, frameSize, samples,
                [](const unsigned char* bytes) { return static_cast<std::uint8_t>(bytes[0]); });
  return count;
}

std::int64_t SampleDecoder::StoredSamples(const unsigned char* first, std::int64_t count,
                                          std::ptrdiff_t frameSize, std::int16_t* samples) const {
  if (stored != Stored::kWords) {
    return 0;
  }
  std::int64_t i = 0;
#if defined(__SSE2__)
  // x86 is little-endian: a mono channel's words are the samples.
  if (frameSize == 2) {
    std::memcpy(samples, first, static_cast<std::size_t>(count) * 2);
    return count;
  }
  if (frameSize == 4) {
    // Each frame's first word, sign-extended in its 32-bit lane, then packed back: eight frames
    // to eight words, the packing exact for values that were words.
    // As for the integers: a ninth frame must follow the eight.
    for (; i + 9 <= count; i += 8, first += 32) {
      const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first));
      const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + 16));
      const __m128i words = _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(low, 16), 16),
                                            _mm_srai_epi32(_mm_slli_epi32(high, 16), 16));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + i), words);
    }
  }
#endif
  DecodeChannel(first, count - i, frameSize, samples + i, [](const unsigned char* bytes) {
    return static_cast<std::int16_t>(ReadLeSigned16(bytes));
  });
  return count;
}

std::int64_t SampleDecoder::StoredSamples(const unsigned char* first, std::int64_t count,
                                          std::ptrdiff_t frameSize, float* samples) const {
  return stored == Stored::kSingles ? FiniteSingles(first, count, frameSize, samples) : 0;
}

void SampleDecoder::Widen(const std::uint8_t* stored, int count, int* samples) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i centre = _mm_set1_epi32(127);
  for (; i + 16 <= count; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(stored + i));
    const __m128i low = _mm_unpacklo_epi8(bytes, zero);
    const __m128i high = _mm_unpackhi_epi8(bytes, zero);
    const __m128i parts[4] = {_mm_unpacklo_epi16(low, zero), _mm_unpackhi_epi16(low, zero),
                              _mm_unpacklo_epi16(high, zero), _mm_unpackhi_epi16(high, zero)};
    for (int q = 0; q < 4; ++q) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + i + 4 * q),
                       _mm_sub_epi32(parts[q], centre));
    }
  }
#endif
  for (; i < count; ++i) {
    samples[i] = ReadUnsigned8(stored + i);
  }
}

void SampleDecoder::Widen(const std::uint8_t* stored, int count, std::int16_t* samples) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i centre = _mm_set1_epi16(127);
  for (; i + 16 <= count; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(stored + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + i),
                     _mm_sub_epi16(_mm_unpacklo_epi8(bytes, zero), centre));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + i + 8),
                     _mm_sub_epi16(_mm_unpackhi_epi8(bytes, zero), centre));
  }
#endif
  for (; i < count; ++i) {
    samples[i] = static_cast<std::int16_t>(ReadUnsigned8(stored + i));
  }
}

void SampleDecoder::Widen(const std::int16_t* stored, int count, int* samples) {
  int i = 0;
#if defined(__SSE2__)
  for (; i + 8 <= count; i += 8) {
    const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(stored + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + i),
                     _mm_srai_epi32(_mm_unpacklo_epi16(words, words), 16));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + i + 4),
                     _mm_srai_epi32(_mm_unpackhi_epi16(words, words), 16));
  }
#endif
  for (; i < count; ++i) {
    samples[i] = stored[i];
  }
}

void SampleDecoder::Widen(const float* stored, int count, double* samples) {
  int i = 0;
#if defined(__SSE2__)
  for (; i + 4 <= count; i += 4) {
    WidenFour(stored + i, samples + i);
  }
#endif
  for (; i < count; ++i) {
    samples[i] = static_cast<double>(stored[i]) * kFloatScale;
  }
}

template <int (*Decode)(const unsigned char*)>
SampleDecoder SampleDecoder::OfIntegers() {
  return SampleDecoder(Decode, AsReal<Decode>, Whole<int, Decode>, Whole<double, AsReal<Decode>>);
}

template <double (*Decode)(const unsigned char*)>
SampleDecoder SampleDecoder::OfFloats() {
  return SampleDecoder(Rounded<Decode>, Decode, FiniteIntegers<Decode>, FiniteReals<Decode>);
}

SampleDecoder::SampleDecoder() : SampleDecoder(OfIntegers<ReadNothing>()) {}

SampleDecoder::SampleDecoder(SampleCoding coding) : SampleDecoder() {
  switch (coding) {
    case SampleCoding::kUnsigned8:
      *this = OfIntegers<ReadUnsigned8>();
      stored = Stored::kBytes;
      break;
    case SampleCoding::kSigned16:
      *this = OfIntegers<ReadLeSigned16>();
      stored = Stored::kWords;
      break;
    case SampleCoding::kSigned24:
    case SampleCoding::kSigned24InWord:
      *this = OfIntegers<ReadLeSigned24>();
      break;
    case SampleCoding::kSigned32:
      *this = OfIntegers<ReadLeSigned32>();
      break;
    case SampleCoding::kFloat32:
      *this = OfFloats<ReadFloat32>();
      stored = Stored::kSingles;
      break;
    case SampleCoding::kFloat64:
      *this = OfFloats<ReadFloat64>();
      break;
  }
}

}  // namespace wavfreq
