#include "stats/ToneFigures.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "dsp/SineInNoise.h"
#include "dsp/Spectrum.h"
#include "dsp/Turns.h"

namespace wavfreq {

namespace {

// Welch's segments: about 16 s, for a resolution of a sixteenth of a hertz.
constexpr double kSegmentSeconds = 16.0;
constexpr std::size_t kLongestSegment = 16384;
// Modulation is looked for from here to the band's top.
constexpr double kSlowestModulation = 0.1;
// A component's lobe must stand this far above the spectrum's median (13 dB).
constexpr double kComponentOverFloor = 20.0;
constexpr std::size_t kComponents = 3;
constexpr double kNoiseCutHz = 20.0;
constexpr double kSqrtTwo = 1.41421356237309505;
constexpr double kMedianOfGaussian = 0.67448975;
// The noise's filters settle from a new start within a tenth of a second.
constexpr double kNoiseSettleSeconds = 0.1;
constexpr double kNoiseWholeSeconds = 60.0;
// Seconds of noise whose values give one estimate of its power: a median of few values reads
// high when squared. At least this many values give one.
constexpr int kSecondsPooled = 4;
constexpr std::size_t kFewestNoiseValues = 8;
// The histogram the noise model is fitted to: 64 bins of equal width.
constexpr int kFitBins = 64;
constexpr double kSmallNoise = 1e-3;
// Wow below the split, flutter above it; drift from 0.05 to 0.5 Hz, once its filter has settled.
constexpr double kWowFlutterSplitHz = 6.0;
constexpr double kDriftLowHz = 0.05;
constexpr double kDriftHighHz = 0.5;
// A component is shown down to half the figure's last digit, and to a tenth of the strongest.
constexpr double kSmallestShare = 0.0005;
constexpr double kWeakestOfStrongest = 0.1;

std::size_t SegmentFor(double rate) {
  std::size_t length = 64;
  while (static_cast<double>(length) < kSegmentSeconds * rate && length < kLongestSegment) {
    length *= 2;
  }
  return length;
}

}  // namespace

ToneFigures::ToneFigures(double seriesRate, double bandTop)
    : rate(seriesRate),
      weighting(seriesRate),
      band(seriesRate, bandTop),
      noiseWeighting(seriesRate),
      noiseBand(seriesRate, bandTop),
      segmentLength(SegmentFor(seriesRate / 2.0)),
      fft(segmentLength / 2),
      window(segmentLength),
      segment(segmentLength, 0.0),
      work(segmentLength, 0.0),
      splitTwiddles(segmentLength, 0.0),
      spectrum(segmentLength / 2, 0.0),
      powerSum(segmentLength / 2, 0.0) {
  noiseSpan = std::max<std::int64_t>(1, static_cast<std::int64_t>(seriesRate + 0.5));
  noiseSettle = static_cast<std::int64_t>(kNoiseSettleSeconds * seriesRate + 0.5);
  noiseWholeValues = static_cast<std::int64_t>(kNoiseWholeSeconds * seriesRate);
  settleValues = static_cast<std::int64_t>(kSettleSeconds * seriesRate);
  driftSettleValues = static_cast<std::int64_t>(kDriftSettleSeconds * seriesRate);
  driftShortestValues = static_cast<std::int64_t>(kDriftShortestSeconds * seriesRate);
  weightedSplit = BandSplit(kWowFlutterSplitHz, seriesRate);
  unweightedSplit = weightedSplit;
  noiseWeightedSplit = weightedSplit;
  noiseUnweightedSplit = weightedSplit;
  driftAbove = Biquad::HighPass(kDriftLowHz, seriesRate);
  driftBelow = Biquad::LowPass(kDriftHighHz, seriesRate);
  interval = 1.0 / seriesRate;
  // c(f) sinc(f / rate) = 1 at f = rate / 5 with c(f) = (1 + 2a) - 2a cos(2 pi f / rate): the
  // series' averaging undone to within 0.3 % below a fifth of its rate.
  const double x = 0.2;
  const double sinc = Turns::Of(0.5 * x).sine / (Turns::kPi * x);
  correction = ThreeTap::Lifting(1.0 / sinc, x);
  noiseCorrection = correction;
  // The noise's own path leaves out what lies below 20 Hz (a quarter of a narrower band), where a
  // tone's level varies for reasons of its own (a tape's contact, a record's wear); white noise
  // puts little there.
  const double cut = Biquad::Warp(std::fmin(kNoiseCutHz, 0.25 * band.TopHertz()), seriesRate);
  const double cutTop[3] = {1.0, 0.0, 0.0};
  const double cutBottom[3] = {1.0, cut * kSqrtTwo, cut * cut};
  noiseCut = Biquad::FromAnalog(cutTop, cutBottom, seriesRate);
  for (std::size_t i = 0; i < segmentLength; ++i) {
    window[i] = Spectrum::Hann(i, segmentLength);
  }
  // e^(-j 2 pi k / segmentLength): the odd values' transform turned into place.
  for (std::size_t k = 0; k < segmentLength / 2; ++k) {
    const Turns twiddle = Turns::Of(static_cast<double>(k) / static_cast<double>(segmentLength));
    splitTwiddles[2 * k] = twiddle.cosine;
    splitTwiddles[2 * k + 1] = twiddle.sine;
  }
}

void ToneFigures::Add(double frequency, double noise, bool bridged, bool nearLevelStep) {
  if (seen == 0) {
    origin = frequency;
  }
  const double deviation = frequency - origin;
  const double corrected = correction.Next(deviation);
  const double weighted = weighting.Process(corrected);
  const double unweighted = band.Process(corrected);
  const BandSplit::Parts weightedParts = weightedSplit.Process(weighted);
  const BandSplit::Parts unweightedParts = unweightedSplit.Process(unweighted);
  const double drift = driftBelow.Process(driftAbove.Process(corrected));
  const double bands[kBands] = {weighted,
                                unweighted,
                                weightedParts.below,
                                weightedParts.above,
                                unweightedParts.below,
                                unweightedParts.above};
  // The noise is measured all through the first minute, where its estimate needs every value,
  // then sampled: a second of every four, its filters started afresh each time. Each second
  // measured gives the noise's power there, so that noise that changes along the tone (as it does
  // against a fading tone) is taken out at its mean.
  const bool whole = seen < noiseWholeValues;
  const std::int64_t noisePhase = noiseAt;
  noiseAt = noiseAt + 1 == kNoiseEvery * noiseSpan ? 0 : noiseAt + 1;
  if (whole || noisePhase < noiseSpan) {
    if (!whole && noisePhase == 0) {
      noiseCorrection.Reset();
      noiseCut.Reset();
      noiseWeighting.Reset();
      noiseBand.Reset();
      noiseWeightedSplit.Reset();
      noiseUnweightedSplit.Reset();
    }
    const double cleared = noiseCut.Process(noiseCorrection.Next(noise));
    const double noiseWeighted = noiseWeighting.Process(cleared);
    const double noiseUnweighted = noiseBand.Process(cleared);
    const BandSplit::Parts weightedNoise = noiseWeightedSplit.Process(noiseWeighted);
    const BandSplit::Parts unweightedNoise = noiseUnweightedSplit.Process(noiseUnweighted);
    const bool settledNoise = whole ? seen >= noiseSettle : noisePhase >= noiseSettle;
    if (!bridged) {
      if (settledNoise) {
        const double noises[kBands] = {noiseWeighted,         noiseUnweighted,
                                       weightedNoise.below,   weightedNoise.above,
                                       unweightedNoise.below, unweightedNoise.above};
        for (int b = 0; b < kBands; ++b) {
          second.bands[b].push_back(std::fabs(noises[b]));
        }
      }
      // No step is known where the value before did not count: those are left out.
      if (noise != 0.0) {
        second.steps.push_back(std::fabs(noise));
      }
    }
    if (noisePhase % noiseSpan == noiseSpan - 1) {
      second.weight += whole ? 1.0 : static_cast<double>(kNoiseEvery);
      if (++second.count == kSecondsPooled) {
        CloseSecond();
      }
    }
  }
  const double t = static_cast<double>(seen) * interval;
  if (turn != nullptr) {
    turn->Add(cycles, t, corrected, unweighted, !bridged);
    if (plots != nullptr) {
      plots->AddTurn(turn->Turn(cycles), turn->Angle(cycles), deviation);
    }
    cycles += frequency * interval;
  }
  if (plots != nullptr) {
    plots->Add(deviation);
  }
  ++seen;
  if (!bridged && seen > driftSettleValues) {
    ++driftCount;
    driftSquares += drift * drift;
  }
  if (!bridged) {
    ++count;
    sumT += t;
    sumF += deviation;
    sumTT += t * t;
    sumTF += t * deviation;
  }
  if (seen <= settleValues) {
    return;
  }
  AddToSpectrum(weighted);
  if (bridged) {
    return;
  }
  ++settled;
  weightedMagnitudes.Add(std::fabs(weighted));
  if (!recent.empty()) {
    recent[recentAt] = std::fabs(weighted);
    recentAt = recentAt + 1 == recent.size() ? 0 : recentAt + 1;
    recentCount = std::min(recentCount + 1, recent.size());
  }
  unweightedMagnitudes.Add(std::fabs(unweighted));
  if (plots != nullptr) {
    plots->AddUnweighted(unweighted);
  }
  for (int b = 0; b < kBands; ++b) {
    squares[b] += bands[b] * bands[b];
  }
  if (!nearLevelStep) {
    lowest = std::fmin(lowest, unweighted);
    highest = std::fmax(highest, unweighted);
  }
}

double ToneFigures::Second::Power(std::vector<double>& magnitudes) {
  // For Gaussian noise the median of the magnitudes is 0.6745 standard deviations: a click or a
  // dip's edge hardly moves it.
  const auto middle = magnitudes.begin() + static_cast<std::ptrdiff_t>(magnitudes.size() / 2);
  std::nth_element(magnitudes.begin(), middle, magnitudes.end());
  const double deviation = *middle / kMedianOfGaussian;
  return deviation * deviation;
}

void ToneFigures::CloseSecond() {
  const double weight = second.weight > 0.0 ? second.weight : 1.0;
  if (second.bands[kWeighted].size() >= kFewestNoiseValues) {
    for (int b = 0; b < kBands; ++b) {
      noiseSums.bands[b] += weight * Second::Power(second.bands[b]);
    }
    noiseSums.seconds += weight;
  }
  if (second.steps.size() >= kFewestNoiseValues) {
    noiseSums.steps += weight * Second::Power(second.steps);
    noiseSums.stepSeconds += weight;
  }
  for (std::vector<double>& magnitudes : second.bands) {
    magnitudes.clear();
  }
  second.steps.clear();
  second.weight = 0.0;
  second.count = 0;
}

void ToneFigures::AddToSpectrum(double weighted) {
  pairSum += weighted;
  if (++pairCount < 2) {
    return;
  }
  segment[sinceTransform] = 0.5 * pairSum;
  pairSum = 0.0;
  pairCount = 0;
  ++segmentFill;
  if (++sinceTransform == segmentLength) {
    sinceTransform = 0;
    TransformSegment();
  }
}

void ToneFigures::TransformSegment() {
  // The last segmentLength values, oldest first, Hann-weighted; or all there are, zero-padded.
  const std::size_t length = std::min(segmentFill, segmentLength);
  transformedLength = length;
  // The real values go in pairs, as the real and imaginary parts of half as many complex ones;
  // their transform is split into the transforms of the even and the odd values.
  if (length == segmentLength) {
    for (std::size_t i = 0; i < segmentLength; ++i) {
      work[i] = segment[i] * window[i];
    }
  } else {
    for (std::size_t i = 0; i < segmentLength; ++i) {
      work[i] = i < length ? segment[i] * Spectrum::Hann(i, length) : 0.0;
    }
  }
  fft.Transform(work.data(), false);
  const std::size_t half = segmentLength / 2;
  for (std::size_t k = 0; k < half; ++k) {
    const std::size_t mirror = k == 0 ? 0 : half - k;
    const double re = work[2 * k];
    const double im = work[2 * k + 1];
    const double mirrorRe = work[2 * mirror];
    const double mirrorIm = work[2 * mirror + 1];
    // Z[k] + conj(Z[-k]) is twice the even values' transform, Z[k] - conj(Z[-k]) twice j times
    // the odd values'.
    const double evenRe = 0.5 * (re + mirrorRe);
    const double evenIm = 0.5 * (im - mirrorIm);
    const double oddRe = 0.5 * (im + mirrorIm);
    const double oddIm = 0.5 * (mirrorRe - re);
    const double c = splitTwiddles[2 * k];
    const double s = splitTwiddles[2 * k + 1];
    const double xRe = evenRe + oddRe * c + oddIm * s;
    const double xIm = evenIm + oddIm * c - oddRe * s;
    spectrum[k] = xRe * xRe + xIm * xIm;
  }
  // Scaled so that a sinusoid of amplitude A has A^2 in its lobe: Hann's energy is 3/8 of the
  // segment, and each side of the spectrum holds half.
  const double scale =
      32.0 / (3.0 * static_cast<double>(segmentLength) * static_cast<double>(length));
  for (std::size_t k = 0; k < powerSum.size(); ++k) {
    powerSum[k] += scale * spectrum[k];
  }
  ++segments;
}

double ToneFigures::NoiseCorrection(const LogHistogram::Bins& bins, double power,
                                    double noisePower) {
  const double sine = SineInNoise::SineShare(bins.edges, bins.counts, power, power - noisePower);
  return SineInNoise::NoiseCorrection(power, sine, noisePower);
}

double ToneFigures::HistogramCorrection(const LogHistogram& magnitudes, double power,
                                        double noisePower) {
  // Noise below a thousandth of the power moves the figure as it would move noise's.
  if (!(noisePower > kSmallNoise * power)) {
    return std::sqrt(std::fmax(0.0, 1.0 - noisePower / power));
  }
  return NoiseCorrection(magnitudes.Linear(kFitBins, 1.5 * magnitudes.Percentile(0.999)), power,
                         noisePower);
}

void ToneFigures::KeepRecent() {
  recent.assign(static_cast<std::size_t>(kRecentSeconds * rate) + 1, 0.0);
}

double ToneFigures::RecentWeighted2Sigma() {
  if (recentCount < static_cast<std::size_t>(kShortestSeconds * rate) || count == 0) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  std::vector<double> magnitudes(recent.begin(),
                                 recent.begin() + static_cast<std::ptrdiff_t>(recentCount));
  double power = 0.0;
  for (double magnitude : magnitudes) {
    power += magnitude * magnitude;
  }
  power /= static_cast<double>(magnitudes.size());
  // The rank that covers 95 %, counted from 1, as the histograms' percentile takes it.
  const std::size_t rank =
      static_cast<std::size_t>(std::ceil(0.95 * static_cast<double>(magnitudes.size()))) - 1;
  std::nth_element(magnitudes.begin(), magnitudes.begin() + static_cast<std::ptrdiff_t>(rank),
                   magnitudes.end());
  double figure = magnitudes[rank];
  const double noise =
      noiseSums.seconds > 0.0 ? noiseSums.bands[kWeighted] / noiseSums.seconds : 0.0;
  if (noise > kSmallNoise * power) {
    const double noisePower = std::fmin(noise, power);
    const double share = noisePower / power;
    if (fittedAt < 0 || static_cast<double>(seen - fittedAt) >= kRefitSeconds * rate) {
      // The histogram the noise model is fitted to, as the whole tone's.
      const auto top =
          magnitudes.begin() +
          static_cast<std::ptrdiff_t>(std::min(
              magnitudes.size() - 1,
              static_cast<std::size_t>(std::ceil(0.999 * static_cast<double>(magnitudes.size()))) -
                  1));
      std::nth_element(magnitudes.begin(), top, magnitudes.end());
      LogHistogram::Bins bins;
      const double width = 1.5 * *top / kFitBins;
      bins.counts.assign(kFitBins, 0.0);
      for (int k = 0; k <= kFitBins; ++k) {
        bins.edges.push_back(k < kFitBins ? width * k : 1e300);
      }
      for (double magnitude : magnitudes) {
        const double at = width > 0.0 ? std::floor(magnitude / width) : 0.0;
        bins.counts[at < kFitBins ? static_cast<std::size_t>(at) : kFitBins - 1] += 1.0;
      }
      fittedSine =
          SineInNoise::SineShare(bins.edges, bins.counts, power, power - noisePower) / power;
      fittedAt = seen;
      factorShare = -1.0;
    }
    // A reading shows four digits: the percentile to 2^-30 of its range is more than enough.
    if (std::fabs(share - factorShare) > kRefitShare * factorShare) {
      factor = SineInNoise::NoiseCorrection(power, fittedSine * power, noisePower, 30);
      factorShare = share;
    }
    figure *= factor;
  }
  const double mean = origin + sumF / static_cast<double>(count);
  return mean > 0.0 ? figure * 100.0 / mean : std::numeric_limits<double>::quiet_NaN();
}

ToneFigures::Figures ToneFigures::Compute() {
  Figures figures;
  figures.values = count;
  if (count == 0) {
    return figures;
  }
  const double n = static_cast<double>(count);
  figures.mean = origin + sumF / n;
  const double spread = n * sumTT - sumT * sumT;
  figures.drift = spread > 0.0 ? (n * sumTF - sumT * sumF) / spread : 0.0;
  figures.span = static_cast<double>(seen - 1) / rate;
  figures.settledSeconds = static_cast<double>(settled) / rate;
  // What the last seconds measured hold counts for the seconds they stand for.
  CloseSecond();
  // The amplitude's steps in hertz are its relative steps times rate / 2 pi.
  const double stepPower =
      noiseSums.stepSeconds > 0.0 ? noiseSums.steps / noiseSums.stepSeconds : 0.0;
  const double step = std::sqrt(stepPower) * 2.0 * Turns::kPi / rate;
  figures.signalToNoiseDb = step > 0.0 ? -20.0 * std::log10(step) : 1e300;
  figures.flutterMeasured = figures.settledSeconds >= kShortestSeconds && figures.mean > 0.0;
  if (!figures.flutterMeasured) {
    CompletePlots(figures, figures.mean > 0.0 ? 100.0 / figures.mean : 0.0);
    return figures;
  }
  const double percent = 100.0 / figures.mean;
  FlutterFigures(figures, percent);
  if (segments == 0) {
    TransformSegment();
  }
  // Hann's lobe spans 2 bins either side of its peak, more where a short tone's values were
  // padded out to a segment.
  const std::size_t half = std::max<std::size_t>(
      2, static_cast<std::size_t>(std::ceil(2.0 * static_cast<double>(segmentLength) /
                                            static_cast<double>(transformedLength))));
  figures.modulation = ChooseComponents(SpectrumPeaks(half), half, percent);
  figures.spectrumStep = rate / 2.0 / static_cast<double>(segmentLength);
  TurnFigures(figures, percent);
  CompletePlots(figures, percent);
  return figures;
}

double ToneFigures::RunningMean() const {
  return count > 0 ? origin + sumF / static_cast<double>(count) : origin;
}

void ToneFigures::StartTurn(double cyclesPerTurn, double turnHertz) {
  turn = std::make_unique<TurnAverage>(cyclesPerTurn, turnHertz, kWowFlutterSplitHz);
}

void ToneFigures::KeepPlots(double firstSeconds) {
  plots = std::make_unique<TonePlots>(rate, firstSeconds);
}

void ToneFigures::TurnFigures(Figures& figures, double percent) {
  if (turn == nullptr) {
    return;
  }
  const TurnAverage::Result average = turn->Compute();
  figures.turns = average.turns;
  figures.repeatedHalfPeakToPeak = average.halfPeakToPeak * percent;
  // What does not repeat: the measuring band's power over the whole turns less what repeats of
  // it, and less the noise, as the unweighted figures have it.
  const double power = settled > 0 ? squares[kUnweighted] / static_cast<double>(settled) : 0.0;
  const double noise = figures.unweightedNoiseShare * power;
  figures.notRepeatedRms = std::sqrt(std::max(0.0, average.restPower - noise)) * percent;
  if (plots != nullptr) {
    plots->finished.turns = average.turns;
    plots->finished.turnCurve = average.curve;
    for (double& value : plots->finished.turnCurve) {
      value *= percent;
    }
  }
}

void ToneFigures::CompletePlots(const Figures& figures, double percent) const {
  if (plots == nullptr) {
    return;
  }
  TonePlots::Finished& done = plots->finished;
  done.mean = figures.mean;
  done.origin = origin;
  done.seriesRate = rate;
  done.flutterMeasured = figures.flutterMeasured;
  done.weighted2Sigma = figures.weighted2Sigma;
  done.unweighted2Sigma = figures.unweighted2Sigma;
  // Each bin as the amplitude of a component whose lobe is centred there, as the modulation
  // gives a component's.
  const double average = segments > 0 ? 1.0 / static_cast<double>(segments) : 0.0;
  done.spectrumStep = figures.spectrumStep;
  done.spectrum.assign(powerSum.size(), 0.0);
  for (std::size_t k = 2; k + 2 < powerSum.size(); ++k) {
    double lobe = 0.0;
    for (std::size_t j = k - 2; j <= k + 2; ++j) {
      lobe += powerSum[j];
    }
    done.spectrum[k] = std::sqrt(lobe * average) * percent;
  }
}

void ToneFigures::FlutterFigures(Figures& figures, double percent) const {
  // Noise and flutter add as powers: what the noise adds is taken out of each figure. A two-sigma
  // figure is a percentile, which does not scale with the power alone: a sine's grows less with
  // noise than noise's own does, so the flutter is taken as a sine and noise of its own, fitted
  // to the magnitudes' histogram.
  const double values = static_cast<double>(settled);
  const double seconds = noiseSums.seconds > 0.0 ? noiseSums.seconds : 1.0;
  double power[kBands];
  double noise[kBands];
  double rms[kBands];
  for (int b = 0; b < kBands; ++b) {
    power[b] = squares[b] / values;
    noise[b] = std::fmin(power[b], noiseSums.bands[b] / seconds);
    rms[b] = std::sqrt(power[b] - noise[b]) * percent;
  }
  const double weightedPower = power[kWeighted];
  const double unweightedPower = power[kUnweighted];
  const double weightedNoise = noise[kWeighted];
  const double unweightedNoise = noise[kUnweighted];
  figures.weightedNoiseShare = weightedPower > 0.0 ? weightedNoise / weightedPower : 0.0;
  figures.unweightedNoiseShare = unweightedPower > 0.0 ? unweightedNoise / unweightedPower : 0.0;
  figures.weightedRaw = weightedMagnitudes.Percentile(0.95) * percent;
  figures.unweightedRaw = unweightedMagnitudes.Percentile(0.95) * percent;
  figures.weighted2Sigma =
      figures.weightedRaw * HistogramCorrection(weightedMagnitudes, weightedPower, weightedNoise);
  figures.unweighted2Sigma =
      figures.unweightedRaw *
      HistogramCorrection(unweightedMagnitudes, unweightedPower, unweightedNoise);
  figures.weightedRms = rms[kWeighted];
  figures.unweightedRms = rms[kUnweighted];
  figures.weightedWowRms = rms[kWeightedWow];
  figures.weightedFlutterRms = rms[kWeightedFlutter];
  figures.unweightedWowRms = rms[kUnweightedWow];
  figures.unweightedFlutterRms = rms[kUnweightedFlutter];
  figures.peakToPeak = (highest - lowest) * percent;
  figures.driftMeasured = driftCount >= driftShortestValues;
  figures.driftRms = figures.driftMeasured
                         ? std::sqrt(driftSquares / static_cast<double>(driftCount)) * percent
                         : 0.0;
}

std::vector<ToneFigures::Peak> ToneFigures::SpectrumPeaks(std::size_t half) const {
  std::vector<Peak> peaks;
  const double spectrumRate = rate / 2.0;
  const double binWidth = spectrumRate / static_cast<double>(segmentLength);
  const std::size_t first = std::max<std::size_t>(
      half, static_cast<std::size_t>(std::ceil(kSlowestModulation / binWidth)));
  const double top = std::fmin(band.TopHertz(), 0.45 * spectrumRate);
  const std::size_t last =
      std::min(powerSum.size() - half - 1, static_cast<std::size_t>(top / binWidth));
  if (first >= last) {
    return peaks;
  }
  std::vector<double> floor(powerSum.begin() + static_cast<std::ptrdiff_t>(first),
                            powerSum.begin() + static_cast<std::ptrdiff_t>(last + 1));
  std::nth_element(floor.begin(), floor.begin() + static_cast<std::ptrdiff_t>(floor.size() / 2),
                   floor.end());
  const double median = floor[floor.size() / 2];
  for (std::size_t k = first; k <= last; ++k) {
    if (powerSum[k] > powerSum[k - 1] && powerSum[k] >= powerSum[k + 1]) {
      double lobe = 0.0;
      for (std::size_t j = k - half; j <= k + half; ++j) {
        lobe += powerSum[j];
      }
      if (lobe > kComponentOverFloor * static_cast<double>(2 * half + 1) * median) {
        peaks.push_back({k, lobe});
      }
    }
  }
  std::sort(peaks.begin(), peaks.end(),
            [](const Peak& a, const Peak& b) { return a.lobe > b.lobe; });
  return peaks;
}

std::vector<ToneFigures::Component> ToneFigures::ChooseComponents(const std::vector<Peak>& peaks,
                                                                  std::size_t half,
                                                                  double percent) const {
  std::vector<Component> chosen;
  const double binWidth = rate / 2.0 / static_cast<double>(segmentLength);
  const double average = 1.0 / static_cast<double>(segments);
  std::vector<std::size_t> taken;
  for (const Peak& peak : peaks) {
    if (chosen.size() == kComponents) {
      break;
    }
    const std::size_t k = peak.bin;
    const double amplitude = std::sqrt(peak.lobe * average) * percent;
    // Below what the figure shows, or far below the strongest, a peak is no component; nor is
    // the skirt of one already taken.
    if (amplitude < kSmallestShare ||
        (!chosen.empty() && amplitude < kWeakestOfStrongest * chosen.front().share)) {
      break;
    }
    bool skirt = false;
    for (std::size_t other : taken) {
      skirt = skirt || (k > other ? k - other : other - k) <= 2 * half;
    }
    if (skirt) {
      continue;
    }
    taken.push_back(k);
    chosen.push_back(
        {(static_cast<double>(k) + Spectrum::PeakOffset(powerSum.data(), k)) * binWidth,
         amplitude});
  }
  return chosen;
}

}  // namespace wavfreq
