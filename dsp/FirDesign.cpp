#include "dsp/FirDesign.h"

#include <cmath>

#include "dsp/Turns.h"

namespace wavfreq {

namespace {

// The modified Bessel function of the first kind, order 0: the power series, to the term where
// it stops adding anything.
double BesselI0(double x) {
  const double quarterSquare = x * x * 0.25;
  double term = 1.0;
  double sum = 1.0;
  for (int k = 1; k < 200; ++k) {
    term = term * quarterSquare / (static_cast<double>(k) * static_cast<double>(k));
    const double next = sum + term;
    if (next == sum) {
      break;
    }
    sum = next;
  }
  return sum;
}

// Kaiser's empirical formula for the window's shape parameter, for stop bands of 50 dB and more.
double KaiserBeta(double attenuationDb) {
  return 0.1102 * (attenuationDb - 8.7);
}

}  // namespace

std::size_t FirDesign::KaiserLength(double transition, double attenuationDb) {
  // Order >= (A - 7.95) / (2.285 x the transition in radians per sample), rounded up to even.
  const double order = std::ceil((attenuationDb - 7.95) / (2.285 * 2.0 * Turns::kPi * transition));
  std::size_t half = static_cast<std::size_t>(order / 2.0 + 0.5);
  if (static_cast<double>(2 * half) < order) {
    ++half;
  }
  return 2 * half + 1;
}

std::vector<double> FirDesign::KaiserLowPass(double cutoff, double transition, double attenuationDb,
                                             std::size_t maxTaps) {
  std::size_t length = KaiserLength(transition, attenuationDb);
  if (length > maxTaps) {
    length = maxTaps | 1u;
  }
  const std::size_t half = length / 2;
  const double beta = KaiserBeta(attenuationDb);
  const double norm = BesselI0(beta);
  std::vector<double> taps(length);
  // One half, mirrored: the taps are symmetric to the last bit, so the filter's phase is linear.
  for (std::size_t k = 0; k <= half; ++k) {
    const double t = static_cast<double>(k);
    // sin(2 pi cutoff t) / (pi t): the ideal lowpass, 2 cutoff at t = 0.
    const double ideal = k == 0 ? 2.0 * cutoff : Turns::Of(cutoff * t).sine / (Turns::kPi * t);
    const double r = half == 0 ? 0.0 : t / static_cast<double>(half);
    const double window = BesselI0(beta * std::sqrt(std::fmax(0.0, 1.0 - r * r))) / norm;
    taps[half + k] = ideal * window;
    taps[half - k] = taps[half + k];
  }
  double sum = 0.0;
  for (double tap : taps) {
    sum += tap;
  }
  // Unit gain at 0 Hz; the sum is taken in one fixed order.
  for (double& tap : taps) {
    tap = tap / sum;
  }
  return taps;
}

}  // namespace wavfreq
