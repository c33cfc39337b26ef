#pragma once

#include <cstddef>
#include <cstdint>

namespace wavfreq {

/// How a sample is stored in its frame, little-endian. Integer widths that are not a multiple of
/// 8 bits are stored left-justified in the next whole number of bytes and read as that container.
enum class SampleCoding {
  kUnsigned8,       ///< one byte, centred on 127
  kSigned16,        ///< two bytes
  kSigned24,        ///< three bytes
  kSigned32,        ///< four bytes
  kSigned24InWord,  ///< the low three bytes of a four-byte word; the top byte is ignored
  kFloat32,         ///< IEEE single precision, full scale at +-1.0
  kFloat64,         ///< IEEE double precision, full scale at +-1.0
};

/// The decoder of one file's samples, chosen when the file is opened: a frame's sample and a
/// block of one channel's samples are decoded by the same function.
///
/// Samples reach the meter exactly: integers as they are stored, floating-point values times
/// 2^31 (a power of two, so nothing is rounded, and values beyond full scale stay as they are).
class SampleDecoder {
 public:
  /// Decodes every sample as 0.
  SampleDecoder();
  explicit SampleDecoder(SampleCoding coding);

  /// A sample as an integer: as stored; floating-point samples scaled, rounded to the nearest
  /// integer and held within the int range, and 0 for one that is not a number.
  int Integer(const unsigned char* sample) const { return integer(sample); }
  /// A sample as a real value: integers as stored, floating-point samples times 2^31.
  double Real(const unsigned char* sample) const { return real(sample); }

  /// `count` samples, one from each frame of `frameSize` bytes from `first` on. Returns the
  /// number of them before the first that is not finite: `count` when all are, as integer
  /// samples always are.
  std::int64_t Integers(const unsigned char* first, std::int64_t count, std::ptrdiff_t frameSize,
                        int* samples) const {
    return integers(first, count, frameSize, samples);
  }
  std::int64_t Reals(const unsigned char* first, std::int64_t count, std::ptrdiff_t frameSize,
                     double* samples) const {
    return reals(first, count, frameSize, samples);
  }

  /// The form in which samples can be handed on as they are stored, a quarter or a half of the
  /// bytes of Integers' ints and Reals' doubles: bytes of 8-bit samples, words of 16-bit ones,
  /// and 32-bit floats; Widen turns them into Integers' and Reals' values.
  enum class Stored { kNone, kBytes, kWords, kSingles };
  Stored StoredForm() const { return stored; }
  /// `count` samples as stored, one from each frame, for the decoder's own form only: floats up
  /// to the first that is not finite, as Reals counts them.
  std::int64_t StoredSamples(const unsigned char* first, std::int64_t count,
                             std::ptrdiff_t frameSize, std::uint8_t* samples) const;
  std::int64_t StoredSamples(const unsigned char* first, std::int64_t count,
                             std::ptrdiff_t frameSize, std::int16_t* samples) const;
  std::int64_t StoredSamples(const unsigned char* first, std::int64_t count,
                             std::ptrdiff_t frameSize, float* samples) const;
  static void Widen(const std::uint8_t* stored, int count, int* samples);
  /// Bytes to words, for a processor that takes 16-bit samples: the same values.
  static void Widen(const std::uint8_t* stored, int count, std::int16_t* samples);
  static void Widen(const std::int16_t* stored, int count, int* samples);
  static void Widen(const float* stored, int count, double* samples);
  /// What Widen multiplies a float by: full scale, 1.0, to the 32-bit integers' 2^31. A power of
  /// two, so each product is exact.
  static constexpr double kSingleScale = 2147483648.0;

 private:
  using IntegerRead = int (*)(const unsigned char*);
  using RealRead = double (*)(const unsigned char*);
  using IntegerBlock = std::int64_t (*)(const unsigned char*, std::int64_t, std::ptrdiff_t, int*);
  using RealBlock = std::int64_t (*)(const unsigned char*, std::int64_t, std::ptrdiff_t, double*);

  SampleDecoder(IntegerRead one, RealRead oneReal, IntegerBlock block, RealBlock realBlock)
      : integer(one), real(oneReal), integers(block), reals(realBlock) {}
  /// Every form of the decoder from the one function that decodes a sample.
  template <int (*Decode)(const unsigned char*)>
  static SampleDecoder OfIntegers();
  template <double (*Decode)(const unsigned char*)>
  static SampleDecoder OfFloats();

  int (*integer)(const unsigned char*);
  double (*real)(const unsigned char*);
  std::int64_t (*integers)(const unsigned char*, std::int64_t, std::ptrdiff_t, int*);
  std::int64_t (*reals)(const unsigned char*, std::int64_t, std::ptrdiff_t, double*);
  Stored stored = Stored::kNone;
};

}  // namespace wavfreq
