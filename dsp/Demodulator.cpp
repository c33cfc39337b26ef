#include "dsp/Demodulator.h"

#include <cmath>

#include "core/Avx.h"
#if defined(WAVFREQ_AVX_AT_RUN_TIME)
#include <immintrin.h>
#endif

#include "dsp/FirDesign.h"
#include "dsp/Turns.h"

namespace wavfreq {

namespace {

constexpr double kTurnScale = 4294967296.0;  // 2^32
constexpr double kLongestBlock = 4096.0;

// How far `hertz` lands from 0 Hz once sampled at `blockRate`.
double Folded(double hertz, double blockRate) {
  return std::fabs(hertz - std::floor(hertz / blockRate + 0.5) * blockRate);
}

}  // namespace

int Demodulator::BlockLengthFor(double rate, double tone, double passHertz) {
  // The FIR's output at 3 x the pass band or more, the block sums at kDecimation times that:
  // what lies from 2 x the pass band on folds no closer than the pass band's edge. Blocks longer
  // than a 384 kHz recording needs for a 20 Hz tone only serve rates no recording has; there the
  // output runs faster than it must.
  const int longest = static_cast<int>(
      std::fmin(kLongestBlock, std::fmax(1.0, std::floor(rate / (3.0 * kDecimation * passHertz)))));
  // Mixed down, the tone's mirror image lies at -2 f, and a second and a third harmonic put
  // their images at f, -3 f, 2 f and -4 f. The block sums fold them by the block rate; folded
  // into the FIR's pass or transition band, the image of the tone itself would beat with it
  // at the full level. The longest block that folds the mirror image into the stop band, and
  // the harmonics' images as well where a block of up to half as many samples can.
  const double stop = 2.0 * passHertz;
  int mirrorClear = 0;
  for (int length = longest; length >= 1 && 2 * length >= longest; --length) {
    const double blockRate = rate / static_cast<double>(length);
    if (Folded(2.0 * tone, blockRate) < stop) {
      continue;
    }
    if (mirrorClear == 0) {
      mirrorClear = length;
    }
    if (Folded(tone, blockRate) >= stop && Folded(3.0 * tone, blockRate) >= stop &&
        Folded(4.0 * tone, blockRate) >= stop) {
      return length;
    }
  }
  return mirrorClear != 0 ? mirrorClear : longest;
}

namespace {

#if defined(WAVFREQ_AVX_AT_RUN_TIME)
__attribute__((target("avx"))) __m256 EightFloats(const int* x) {
  return _mm256_cvtepi32_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(x)));
}
__attribute__((target("avx"))) __m256 EightFloats(const double* x) {
  return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm256_cvtpd_ps(_mm256_loadu_pd(x))),
                              _mm256_cvtpd_ps(_mm256_loadu_pd(x + 4)), 1);
}
__attribute__((target("avx"))) __m256 EightFloats(const float* x) {
  return _mm256_loadu_ps(x);
}

template <class Sample>
__attribute__((target("avx"))) void MixEights(const Sample* x, const float* c, const float* s,
                                              int padded, float* re, float* im) {
  __m256 sumRe = _mm256_setzero_ps();
  __m256 sumIm = _mm256_setzero_ps();
  for (int i = 0; i < padded; i += 8) {
    const __m256 value = EightFloats(x + i);
    sumRe = _mm256_add_ps(sumRe, _mm256_mul_ps(value, _mm256_loadu_ps(c + i)));
    sumIm = _mm256_add_ps(sumIm, _mm256_mul_ps(value, _mm256_loadu_ps(s + i)));
  }
  // Places 0 to 3 plus places 4 to 7, as the two quads are added.
  _mm_storeu_ps(re, _mm_add_ps(_mm256_castps256_ps128(sumRe), _mm256_extractf128_ps(sumRe, 1)));
  _mm_storeu_ps(im, _mm_add_ps(_mm256_castps256_ps128(sumIm), _mm256_extractf128_ps(sumIm, 1)));
  _mm256_zeroupper();
}
#else
// Not reached: without AVX the mix stays with the quads.
template <class Sample>
void MixEights(const Sample*, const float*, const float*, int, float*, float*) {}
#endif

}  // namespace

void Demodulator::MixWide(const int* x, const float* c, const float* s, int padded, float* re,
                          float* im) {
  MixEights(x, c, s, padded, re, im);
}
void Demodulator::MixWide(const double* x, const float* c, const float* s, int padded, float* re,
                          float* im) {
  MixEights(x, c, s, padded, re, im);
}
void Demodulator::MixWide(const float* x, const float* c, const float* s, int padded, float* re,
                          float* im) {
  MixEights(x, c, s, padded, re, im);
}

Demodulator::Demodulator(int sampleRate, double tone, double passHertz)
    : wideVectors(Avx::Available()) {
  const double rate = static_cast<double>(sampleRate);
  blockLength = BlockLengthFor(rate, tone, passHertz);
  outputRate = rate / static_cast<double>(kDecimation * blockLength);
  step =
      static_cast<std::uint32_t>(std::fmod(std::floor(tone / rate * kTurnScale + 0.5), kTurnScale));
  carrier = static_cast<double>(step) / kTurnScale * rate;
  blockStep = static_cast<std::uint32_t>(static_cast<std::uint64_t>(step) *
                                         static_cast<std::uint64_t>(blockLength));
  const std::size_t padded = static_cast<std::size_t>(blockLength + 7) & ~std::size_t{7};
  cosines.assign(padded, 0.0F);
  sines.assign(padded, 0.0F);
  for (int i = 0; i < blockLength; ++i) {
    const std::uint32_t phase = static_cast<std::uint32_t>(static_cast<std::uint64_t>(step) *
                                                           static_cast<std::uint64_t>(i));
    const Turns atSample = Turns::Of(static_cast<double>(phase) / kTurnScale);
    cosines[static_cast<std::size_t>(i)] = static_cast<float>(atSample.cosine);
    sines[static_cast<std::size_t>(i)] = static_cast<float>(-atSample.sine);
  }
  oscillator = Phasor(static_cast<double>(blockStep) / kTurnScale);
  // Pass `passHertz`, stop from 2 x `passHertz`: half gain at 1.5 x.
  const double blockRate = rate / static_cast<double>(blockLength);
  const std::vector<double> designed =
      FirDesign::KaiserLowPass(1.5 * passHertz / blockRate, passHertz / blockRate, 80.0, 255);
  double sumOfTaps = 0.0;
  for (double tap : designed) {
    sumOfTaps += tap;
  }
  // Unit gain at 0 Hz for the block sums, which add blockLength samples.
  const double scale = 1.0 / (sumOfTaps * static_cast<double>(blockLength));
  // Twice each, padded to an even number with a 0.
  for (double tap : designed) {
    tapQuads.push_back(static_cast<float>(tap * scale));
    tapQuads.push_back(static_cast<float>(tap * scale));
  }
  if (designed.size() % 2 != 0) {
    tapQuads.push_back(0.0F);
    tapQuads.push_back(0.0F);
  }
  taps = tapQuads.size() / 2;
  history.assign(4 * taps, 0.0F);
  // The FIR's middle tap lies (taps - 1) / 2 block sums back, and a block sum's middle half a
  // block less one sample before its end.
  const double middleTap = 0.5 * static_cast<double>(designed.size() - 1);
  delay = ((middleTap + 0.5) * blockLength + 0.5) / rate;
}

void Demodulator::EndBlock(std::vector<double>& out) {
  const double re = (Quad::LoadAligned(sum) + Quad::LoadAligned(sum + 4)).Sum();
  const double im = (Quad::LoadAligned(sum + 8) + Quad::LoadAligned(sum + 12)).Sum();
  const Quad zero(0.0F);
  for (int quad = 0; quad < 4; ++quad) {
    zero.Store(sum + 4 * quad);
  }
  inBlock = 0;
  TakeBlock(re, im, out);
}

void Demodulator::Filter(std::vector<double>& out) {
  // The last `taps` block sums lie from historyAt on, oldest first, a real and an imaginary part
  // each; a quad holds two of them, and the taps come twice each to match. Four sums, so that
  // the additions overlap.
  const float* values = history.data() + 2 * historyAt;
  const float* tap = tapQuads.data();
  const std::size_t quads = tapQuads.size() / 4;
  Quad partial0(0.0F), partial1(0.0F), partial2(0.0F), partial3(0.0F);
  std::size_t q = 0;
  for (; q + 4 <= quads; q += 4) {
    partial0 += Quad::LoadAligned(tap + 4 * q) * Quad::Load(values + 4 * q);
    partial1 += Quad::LoadAligned(tap + 4 * q + 4) * Quad::Load(values + 4 * q + 4);
    partial2 += Quad::LoadAligned(tap + 4 * q + 8) * Quad::Load(values + 4 * q + 8);
    partial3 += Quad::LoadAligned(tap + 4 * q + 12) * Quad::Load(values + 4 * q + 12);
  }
  for (; q < quads; ++q) {
    partial0 += Quad::LoadAligned(tap + 4 * q) * Quad::Load(values + 4 * q);
  }
  float lanes[4];
  ((partial0 + partial1) + (partial2 + partial3)).Store(lanes);
  out.push_back(static_cast<double>(lanes[0] + lanes[2]));
  out.push_back(static_cast<double>(lanes[1] + lanes[3]));
}

}  // namespace wavfreq
