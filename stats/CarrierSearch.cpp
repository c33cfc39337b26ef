#include "stats/CarrierSearch.h"

#include <algorithm>
#include <cmath>

#include "dsp/Spectrum.h"

namespace wavfreq {

namespace {

constexpr double kWindowSeconds = 0.1;
constexpr double kQuietDb = -70.0;
constexpr double kPeakOverMedian = 316.2;  // 25 dB
constexpr double kLowestHz = 20.0;
constexpr double kReachHz = 200.0;
constexpr double kReachPerCarrier = 0.25;
// A neighbour this far below the tone moves its amplitude and phase by 3 % at most.
constexpr double kFaintestNeighbour = 0.001;  // 30 dB
// Bins either side of a peak that its own Hann lobe covers.
constexpr std::size_t kLobeBins = 2;
// A neighbour's peak stands this far above the bins just past its lobe (10 dB).
constexpr double kNarrowPeak = 10.0;
// 85 ms at 192 kHz; shorter at higher rates, which no recording of a tone needs.
constexpr int kLongestWindow = 16384;

int WindowFor(int sampleRate) {
  int length = 64;
  while (2.0 * length <= kWindowSeconds * sampleRate && length < kLongestWindow) {
    length *= 2;
  }
  return length;
}

}  // namespace

CarrierSearch::CarrierSearch(int sampleRate, double fullScale)
    : rate(static_cast<double>(sampleRate)),
      length(WindowFor(sampleRate)),
      // A full-scale sine's energy is half of full scale squared per sample.
      quietEnergy(0.5 * fullScale * fullScale * length * std::pow(10.0, kQuietDb / 10.0)),
      fft(static_cast<std::size_t>(length)),
      window(static_cast<std::size_t>(length)),
      work(2 * static_cast<std::size_t>(length)),
      power(static_cast<std::size_t>(length / 2)) {
  for (std::size_t i = 0; i < window.size(); ++i) {
    window[i] = Spectrum::Hann(i, window.size());
  }
}

double CarrierSearch::Reach(double carrier) {
  return std::fmin(kReachHz, kReachPerCarrier * carrier);
}

double CarrierSearch::Interpolated(std::size_t peak) const {
  return static_cast<double>(peak) + Spectrum::PeakOffset(power.data(), peak);
}

void CarrierSearch::FindNeighbour(std::size_t peak, double lobe, double median, std::size_t first,
                                  std::size_t last) {
  neighbour = 0.0;
  neighbourDb = 0.0;
  const double binWidth = rate / static_cast<double>(length);
  const double carrier = Interpolated(peak) * binWidth;
  // What lies within twice the reach falls in the demodulator's pass or transition band.
  const double within = 2.0 * Reach(carrier) / binWidth;
  std::size_t best = 0;
  for (std::size_t k = first; k <= last; ++k) {
    const std::size_t apart = k > peak ? k - peak : peak - k;
    if (apart <= kLobeBins || static_cast<double>(apart) >= within) {
      continue;
    }
    // A steady tone's lobe stands well clear of the bins beside it; what a tone's onset or a
    // click spreads over the spectrum does not.
    const bool narrow = k + kLobeBins + 1 < power.size() && k > kLobeBins + 1 &&
                        power[k] > kNarrowPeak * power[k - kLobeBins - 1] &&
                        power[k] > kNarrowPeak * power[k + kLobeBins + 1];
    if (power[k] > power[k - 1] && power[k] >= power[k + 1] && narrow &&
        power[k] > kPeakOverMedian * median && (best == 0 || power[k] > power[best])) {
      best = k;
    }
  }
  if (best == 0) {
    return;
  }
  const double other = power[best - 1] + power[best] + power[best + 1];
  if (!(other > kFaintestNeighbour * lobe)) {
    return;
  }
  neighbour = Interpolated(best) * binWidth;
  neighbourDb = 10.0 * std::log10(other / lobe);
}

double CarrierSearch::Analyse() {
  fft.Transform(work.data(), false);
  const std::size_t bins = power.size();
  for (std::size_t k = 0; k < bins; ++k) {
    power[k] = work[2 * k] * work[2 * k] + work[2 * k + 1] * work[2 * k + 1];
  }
  const double binWidth = rate / static_cast<double>(length);
  const std::size_t first =
      std::max<std::size_t>(2, static_cast<std::size_t>(std::ceil(kLowestHz / binWidth)));
  const std::size_t last = std::min(bins - 2, static_cast<std::size_t>(0.45 * rate / binWidth));
  if (first >= last) {
    return 0.0;
  }
  std::size_t peak = first;
  for (std::size_t k = first; k <= last; ++k) {
    if (power[k] > power[peak]) {
      peak = k;
    }
  }
  std::vector<double> sorted(power.begin() + 1, power.end());
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2),
                   sorted.end());
  const double median = sorted[sorted.size() / 2];
  if (!(power[peak] > kPeakOverMedian * median)) {
    return 0.0;
  }
  // A sine of amplitude A puts 3 N^2 A^2 / 32 into its Hann lobe on one side of the spectrum.
  double lobe = 0.0;
  for (std::size_t k = peak - 1; k <= peak + 1; ++k) {
    lobe += power[k];
  }
  const double n = static_cast<double>(length);
  foundPower = lobe * 8.0 / (3.0 * n * n);
  FindNeighbour(peak, lobe, median, first, last);
  return Interpolated(peak) * binWidth;
}

}  // namespace wavfreq
