#include "dsp/BandPass.h"

#include <cmath>

#include "core/Avx.h"
#if defined(WAVFREQ_AVX_AT_RUN_TIME)
#include <immintrin.h>
#endif

#include "core/Lanes.h"
#include "dsp/FirDesign.h"
#include "dsp/Turns.h"

namespace wavfreq {

namespace {

// The low rate is this many times the band's width with its transitions: the straight-line
// averaging into it and out of it then keeps what lies a low rate away from the band's edges
// 43 dB or more below it, and far more near its centre. The FIR's work grows with the square of
// this factor.
constexpr double kOversampling = 3.0;
// Blocks after which the oscillator's phase is set afresh from the exact phase.
constexpr double kStopBandDb = 80.0;
// Bounds on the tables of one block and on the FIR; a band too narrow for them gets a wider
// transition.
constexpr int kMaxDecimation = 1 << 12;
constexpr std::size_t kMaxTaps = 8191;
// Longer filters than this convolve by spectra.
constexpr std::size_t kMostDirectTaps = 255;

#if defined(WAVFREQ_AVX_AT_RUN_TIME)
// The interpolation of a block, four output samples to a register, on processors with AVX: each
// lane takes the operations of the plain loop in its order (no contraction: AVX has none), so
// the output has the same bits. Returns the samples done: a multiple of four.
__attribute__((target("avx"))) std::size_t InterpolateFours(const double* pRe, const double* pIm,
                                                            const double* qRe, const double* qIm,
                                                            std::size_t m, double fromRe,
                                                            double fromIm, double toRe, double toIm,
                                                            double* out) {
  const __m256d fr = _mm256_set1_pd(fromRe);
  const __m256d fi = _mm256_set1_pd(fromIm);
  const __m256d tr = _mm256_set1_pd(toRe);
  const __m256d ti = _mm256_set1_pd(toIm);
  std::size_t i = 0;
  for (; i + 4 <= m; i += 4) {
    const __m256d a = _mm256_sub_pd(_mm256_mul_pd(fr, _mm256_loadu_pd(pRe + i)),
                                    _mm256_mul_pd(fi, _mm256_loadu_pd(pIm + i)));
    const __m256d b = _mm256_add_pd(a, _mm256_mul_pd(tr, _mm256_loadu_pd(qRe + i)));
    _mm256_storeu_pd(out + i, _mm256_sub_pd(b, _mm256_mul_pd(ti, _mm256_loadu_pd(qIm + i))));
  }
  // The upper halves of the registers are cleared before the SSE2 code that follows runs.
  _mm256_zeroupper();
  return i;
}
#endif

}  // namespace

BandPass::BandPass(int sampleRate, int low, int high) : wideVectors(Avx::Available()) {
  const double rate = static_cast<double>(sampleRate);
  const double width = static_cast<double>(high - low);
  // A transition as wide as the band, centred on each edge; near 0 Hz or half the rate, what is
  // left there: the band's mirror images below 0 Hz and above half the rate must stay out.
  const double transition =
      std::fmin(width, std::fmin(2.0 * low, rate - 2.0 * static_cast<double>(high)));
  const double wanted = std::floor(rate / (kOversampling * (width + transition)));
  decimation = static_cast<int>(std::fmax(1.0, std::fmin(wanted, kMaxDecimation)));
  const double reduced = rate / static_cast<double>(decimation);
  taps =
      FirDesign::KaiserLowPass(width * 0.5 / reduced, transition / reduced, kStopBandDb, kMaxTaps);
  centreHalfHertz = static_cast<std::uint64_t>(low) + static_cast<std::uint64_t>(high);
  turnDivisor = 2 * static_cast<std::uint64_t>(sampleRate);

  // Per place i in a block: the oscillator e^(j 2 pi centre i / rate), with the weights of the
  // triangle that averages into the low rate (conjugated: it moves the band down) and of the
  // straight line that interpolates out of it.
  const std::size_t m = static_cast<std::size_t>(decimation);
  tableStride = (m + 1) & ~std::size_t{1};
  averaging.assign(4 * tableStride, 0.0);
  interpolation.assign(kTables * tableStride, 0.0);
  const double steps = static_cast<double>(decimation);
  const double squared = steps * steps;
  for (std::size_t i = 0; i < m; ++i) {
    const std::uint64_t turn = centreHalfHertz % turnDivisor * i % turnDivisor;
    const Turns oscillator =
        Turns::Of(static_cast<double>(turn) / static_cast<double>(turnDivisor));
    const double rest = static_cast<double>(m - i);
    const double done = static_cast<double>(i);
    averaging[kAre * tableStride + i] = rest / squared * oscillator.cosine;
    averaging[kAim * tableStride + i] = -(rest / squared * oscillator.sine);
    averaging[kBre * tableStride + i] = done / squared * oscillator.cosine;
    averaging[kBim * tableStride + i] = -(done / squared * oscillator.sine);
    interpolation[kPre * tableStride + i] = rest / steps * oscillator.cosine;
    interpolation[kPim * tableStride + i] = rest / steps * oscillator.sine;
    interpolation[kQre * tableStride + i] = done / steps * oscillator.cosine;
    interpolation[kQim * tableStride + i] = done / steps * oscillator.sine;
  }
  inputPhase = Phasor(BlockTurns(1));
  outputPhase = Phasor(BlockTurns(1));
  lowRate.assign(4 * (taps.size() + kBatch), 0.0);
  for (double tap : taps) {
    tapPairs.push_back(tap);
    tapPairs.push_back(tap);
  }
  if (taps.size() > kMostDirectTaps) {
    // Segments of at least twice the taps: each gives taps + 1 or more filtered values.
    std::size_t points = 1;
    while (points < 2 * taps.size()) {
      points <<= 1;
    }
    fft = std::make_unique<Fft>(points);
    tapSpectrum.assign(2 * points, 0.0);
    for (std::size_t i = 0; i < taps.size(); ++i) {
      tapSpectrum[2 * i] = taps[i];
    }
    fft->Transform(tapSpectrum.data(), false);
    segment.assign(2 * points, 0.0);
    work.assign(2 * points, 0.0);
    segmentFill = taps.size() - 1;  // the values before the first are silence
  }
  ready.assign(kOutputBatch + m, 0.0);
}

double BandPass::BlockTurns(std::int64_t blockIndex) const {
  const std::uint64_t start =
      static_cast<std::uint64_t>(blockIndex) * static_cast<std::uint64_t>(decimation);
  const std::uint64_t turn = start % turnDivisor * (centreHalfHertz % turnDivisor) % turnDivisor;
  return static_cast<double>(turn) / static_cast<double>(turnDivisor);
}

void BandPass::EndInputBlock() {
  double a[4];  // the block's sums, kAre to kBim, their two parts added in one fixed order
  for (int q = 0; q < 4; ++q) {
    a[q] = sums[q][0] + sums[q][1];
    sums[q][0] = sums[q][1] = 0.0;
  }
  // The block's sums were taken against the oscillator from the block's start; the phase at
  // that start turns them to the phase of the whole stream.
  const double c = inputPhase.Cosine();
  const double s = inputPhase.Sine();
  // This value: the first half of its triangle from this block, the second from the last one.
  const double re = c * a[kAre] + s * a[kAim] + carry[0];
  const double im = c * a[kAim] - s * a[kAre] + carry[1];
  carry[0] = c * a[kBre] + s * a[kBim];
  carry[1] = c * a[kBim] - s * a[kBre];
  inputPhase.Advance([this](std::int64_t block) { return BlockTurns(block); });
  inBlock = 0;
  PushLowRate(re, im);
}

void BandPass::PushLowRate(double re, double im) {
  if (fft != nullptr) {
    PushLowRateToSegment(re, im);
    return;
  }
  // A ring of the last taps + kBatch values, each stored twice, so that they lie in one piece
  // from lowAt on, oldest first.
  const std::size_t ring = taps.size() + kBatch;
  lowRate[2 * lowAt] = lowRate[2 * (lowAt + ring)] = re;
  lowRate[2 * lowAt + 1] = lowRate[2 * (lowAt + ring) + 1] = im;
  lowAt = lowAt + 1 == ring ? 0 : lowAt + 1;
  ++lowCount;
  if (++unfiltered == kBatch) {
    FilterLowRate();
  }
}

void BandPass::FilterLowRate() {
  // The value pushed k pushes before the newest is filtered over the taps.size() values that end
  // with it, centred on its middle one; each filter adds its products in the order of a lone
  // one, however many run side by side.
  const std::size_t n = taps.size();
  const std::size_t half = n / 2;
  const double* tap = tapPairs.data() + 2 * half;
  const double* newestCentre = lowRate.data() + 2 * (lowAt + kBatch + half);
  const std::int64_t newest = lowCount - 1 - static_cast<std::int64_t>(half);
  std::size_t k = unfiltered;
  if (k == kBatch) {
    // Four filters at once: four sums that do not wait on each other.
    const double* c0 = newestCentre - 2 * 3;
    const double* c1 = newestCentre - 2 * 2;
    const double* c2 = newestCentre - 2 * 1;
    const double* c3 = newestCentre;
    const Pair centreTap = Pair::LoadAligned(tap);
    Pair f0 = centreTap * Pair::LoadAligned(c0);
    Pair f1 = centreTap * Pair::LoadAligned(c1);
    Pair f2 = centreTap * Pair::LoadAligned(c2);
    Pair f3 = centreTap * Pair::LoadAligned(c3);
    for (std::size_t t = 1; t <= half; ++t) {
      const Pair w = Pair::LoadAligned(tap + 2 * t);
      f0 += w * (Pair::LoadAligned(c0 + 2 * t) + Pair::LoadAligned(c0 - 2 * t));
      f1 += w * (Pair::LoadAligned(c1 + 2 * t) + Pair::LoadAligned(c1 - 2 * t));
      f2 += w * (Pair::LoadAligned(c2 + 2 * t) + Pair::LoadAligned(c2 - 2 * t));
      f3 += w * (Pair::LoadAligned(c3 + 2 * t) + Pair::LoadAligned(c3 - 2 * t));
    }
    TakeFiltered(newest - 3, f0.Low(), f0.High());
    TakeFiltered(newest - 2, f1.Low(), f1.High());
    TakeFiltered(newest - 1, f2.Low(), f2.High());
    TakeFiltered(newest, f3.Low(), f3.High());
    unfiltered = 0;
    return;
  }
  for (; k > 0; --k) {
    const std::size_t before = k - 1;
    const double* centre = newestCentre - 2 * before;
    Pair f = Pair::LoadAligned(tap) * Pair::LoadAligned(centre);
#if defined(__GNUC__)
#pragma GCC unroll 4
#endif
    for (std::size_t t = 1; t <= half; ++t) {
      f += Pair::LoadAligned(tap + 2 * t) *
           (Pair::LoadAligned(centre + 2 * t) + Pair::LoadAligned(centre - 2 * t));
    }
    TakeFiltered(newest - static_cast<std::int64_t>(before), f.Low(), f.High());
  }
  unfiltered = 0;
}

void BandPass::PushLowRateToSegment(double re, double im) {
  const std::size_t points = fft->Size();
  segment[2 * segmentFill] = re;
  segment[2 * segmentFill + 1] = im;
  ++segmentFill;
  ++lowCount;
  if (segmentFill < points) {
    return;
  }
  // The circular convolution of the segment with the taps; its first taps - 1 values wrap
  // around and are dropped, the rest are the filter's output for the newest values.
  work = segment;
  fft->Transform(work.data(), false);
  for (std::size_t k = 0; k < points; ++k) {
    const double a = work[2 * k];
    const double b = work[2 * k + 1];
    const double c = tapSpectrum[2 * k];
    const double d = tapSpectrum[2 * k + 1];
    work[2 * k] = a * c - b * d;
    work[2 * k + 1] = a * d + b * c;
  }
  fft->Transform(work.data(), true);
  const double scale = 1.0 / static_cast<double>(points);  // a power of two: exact
  const std::size_t overlap = taps.size() - 1;
  const std::int64_t first = lowCount - static_cast<std::int64_t>(points - overlap) -
                             static_cast<std::int64_t>(overlap / 2);
  for (std::size_t i = overlap; i < points; ++i) {
    TakeFiltered(first + static_cast<std::int64_t>(i - overlap), work[2 * i] * scale,
                 work[2 * i + 1] * scale);
  }
  // The last taps - 1 values begin the next segment.
  std::copy(segment.end() - static_cast<std::ptrdiff_t>(2 * overlap), segment.end(),
            segment.begin());
  segmentFill = overlap;
}

void BandPass::EmitOutputBlock(const double* next) {
  // Both ends of the block's straight line, turned to the oscillator's phase at its start and
  // doubled: the band's image at negative frequencies was dropped with the conjugate.
  const double c = outputPhase.Cosine();
  const double s = outputPhase.Sine();
  const double fromRe = 2.0 * (filtered[0] * c - filtered[1] * s);
  const double fromIm = 2.0 * (filtered[0] * s + filtered[1] * c);
  const double toRe = 2.0 * (next[0] * c - next[1] * s);
  const double toIm = 2.0 * (next[0] * s + next[1] * c);
  const std::size_t m = static_cast<std::size_t>(decimation);
  const double* pRe = interpolation.data() + kPre * tableStride;
  const double* pIm = interpolation.data() + kPim * tableStride;
  const double* qRe = interpolation.data() + kQre * tableStride;
  const double* qIm = interpolation.data() + kQim * tableStride;
  double* out = ready.data() + readyCount;
  const Pair fr(fromRe), fi(fromIm), tr(toRe), ti(toIm);
  std::size_t i = 0;
#if defined(WAVFREQ_AVX_AT_RUN_TIME)
  if (wideVectors) {
    i = InterpolateFours(pRe, pIm, qRe, qIm, m, fromRe, fromIm, toRe, toIm, out);
  }
#endif
#if defined(__GNUC__)
#pragma GCC unroll 4
#endif
  for (; i + 2 <= m; i += 2) {
    const Pair y = fr * Pair::LoadAligned(pRe + i) - fi * Pair::LoadAligned(pIm + i) +
                   tr * Pair::LoadAligned(qRe + i) - ti * Pair::LoadAligned(qIm + i);
    y.Store(out + i);
  }
  if (i < m) {
    out[i] = fromRe * pRe[i] - fromIm * pIm[i] + toRe * qRe[i] - toIm * qIm[i];
  }
  readyCount += m;
  outputPhase.Advance([this](std::int64_t block) { return BlockTurns(block); });
}

}  // namespace wavfreq
