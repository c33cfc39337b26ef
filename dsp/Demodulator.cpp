#include "dsp/Demodulator.h"

#include <cmath>

#include "dsp/FirDesign.h"
#include "dsp/Turns.h"

namespace wavfreq {

namespace {

constexpr double kTurnScale = 4294967296.0;  // 2^32
constexpr std::int64_t kPhaseRefresh = 256;
constexpr double kLongestBlock = 4096.0;

// How far `hertz` lands from 0 Hz once sampled at `blockRate`.
double Folded(double hertz, double blockRate) {
  return std::fabs(hertz - std::floor(hertz / blockRate + 0.5) * blockRate);
}

}  // namespace

int Demodulator::BlockLengthFor(double rate, double tone, double passHertz) {
  // Block sums at 9 x the pass band or more, the FIR's output at a third of that: what lies
  // from 2 x the pass band on folds no closer than the pass band's edge. Blocks longer than a
  // 384 kHz recording needs for a 20 Hz tone only serve rates no recording has; there the
  // output runs faster than it must.
  const int longest = static_cast<int>(
      std::fmin(kLongestBlock, std::fmax(1.0, std::floor(rate / (9.0 * passHertz)))));
  // Mixed down, the tone's mirror image lies at -2 f, and a second and a third harmonic put
  // their images at f, -3 f, 2 f and -4 f. The block sums fold them by the block rate; folded
  // into the FIR's pass or transition band, the image of the tone itself would beat with it
  // at the full level. The longest block that folds the mirror image into the stop band, and
  // the harmonics' images as well where a block of up to half as many samples more can.
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

Demodulator::Demodulator(int sampleRate, double tone, double passHertz, double clip)
    : clipLevel(clip) {
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
    const Turns oscillator = Turns::Of(static_cast<double>(phase) / kTurnScale);
    cosines[static_cast<std::size_t>(i)] = static_cast<float>(oscillator.cosine);
    sines[static_cast<std::size_t>(i)] = static_cast<float>(-oscillator.sine);
  }
  const Turns blockTurn = Turns::Of(static_cast<double>(blockStep) / kTurnScale);
  turn[0] = blockTurn.cosine;
  turn[1] = blockTurn.sine;
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
  // Symmetric: the middle tap and those before it.
  for (std::size_t t = 0; t <= (designed.size() - 1) / 2; ++t) {
    tapPairs.push_back(designed[t] * scale);
    tapPairs.push_back(designed[t] * scale);
  }
  taps = designed.size();
  history.assign(4 * designed.size(), 0.0);
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

void Demodulator::TakeBlock(double re, double im, std::vector<double>& out) {
  // The block's sum was taken against the oscillator from the block's start; turned by the
  // oscillator's phase there, it is the sum against the whole stream's oscillator:
  // (re + j im) (cos - j sin) of the block's start phase.
  const double c = phasor[0];
  const double s = phasor[1];
  const double valueRe = re * c + im * s;
  const double valueIm = im * c - re * s;
  ++blocks;
  blockPhase += blockStep;
  if (blocks % kPhaseRefresh == 0) {
    const Turns exact = Turns::Of(static_cast<double>(blockPhase) / kTurnScale);
    phasor[0] = exact.cosine;
    phasor[1] = exact.sine;
  } else {
    phasor[0] = c * turn[0] - s * turn[1];
    phasor[1] = s * turn[0] + c * turn[1];
  }
  history[2 * historyAt] = history[2 * (historyAt + taps)] = valueRe;
  history[2 * historyAt + 1] = history[2 * (historyAt + taps) + 1] = valueIm;
  historyAt = historyAt + 1 == taps ? 0 : historyAt + 1;
  if (++phaseOfThree < kDecimation) {
    return;
  }
  phaseOfThree = 0;
  // The last `taps` block sums lie from historyAt on, oldest first. Tap t and tap taps - 1 - t
  // are equal: their block sums are added first. Four sums, so that the additions overlap.
  const double* values = history.data() + 2 * historyAt;
  const std::size_t half = taps / 2;
  const double* tap = tapPairs.data();
  const auto term = [values, tap, this](std::size_t t) {
    const Pair both =
        Pair::LoadAligned(values + 2 * t) + Pair::LoadAligned(values + 2 * (taps - 1 - t));
    return Pair::LoadAligned(tap + 2 * t) * both;
  };
  Pair partial0(0.0), partial1(0.0), partial2(0.0), partial3(0.0);
  std::size_t t = 0;
  for (; t + 4 <= half; t += 4) {
    partial0 += term(t);
    partial1 += term(t + 1);
    partial2 += term(t + 2);
    partial3 += term(t + 3);
  }
  for (; t < half; ++t) {
    partial0 += term(t);
  }
  if (taps % 2 != 0) {
    partial1 += Pair::LoadAligned(tap + 2 * half) * Pair::LoadAligned(values + 2 * half);
  }
  const Pair filtered = (partial0 + partial1) + (partial2 + partial3);
  out.push_back(filtered.Low());
  out.push_back(filtered.High());
}

}  // namespace wavfreq
