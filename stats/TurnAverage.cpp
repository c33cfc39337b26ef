#include "stats/TurnAverage.h"

#include <algorithm>
#include <cmath>

#include "dsp/Turns.h"

namespace wavfreq {

namespace {

// A harmonic repeats where its power in the average is this many times what its variation from
// turn to turn leaves in an average of that many turns: noise passes for one about once in
// e^9 = 8000 tries.
constexpr double kStandsOut = 9.0;

}  // namespace

TurnAverage::TurnAverage(double cycles, double turnHertz, double topHertz)
    : cyclesPerTurn(cycles),
      harmonics(std::clamp(static_cast<int>(topHertz / turnHertz), 1, kMostHarmonics)),
      bins(3 * kBins, 0.0) {
  Clear(turn);
  Clear(whole);
  spreadRe.assign(static_cast<std::size_t>(harmonics), 0.0);
  spreadIm = spreadRe;
  spreadSquares = spreadRe;
  // e^(-i k angle) at each bin's middle, and what a bin's width takes off harmonic k of values
  // spread evenly over it: sin(pi k / bins) / (pi k / bins), which the sums are divided by.
  twiddles.resize(static_cast<std::size_t>(2 * harmonics * kBins));
  widthLoss.resize(static_cast<std::size_t>(harmonics));
  for (int k = 1; k <= harmonics; ++k) {
    for (int j = 0; j < kBins; ++j) {
      const Turns at = Turns::Of(k * (j + 0.5) / kBins);
      const std::size_t w = static_cast<std::size_t>(2 * ((k - 1) * kBins + j));
      twiddles[w] = at.cosine;
      twiddles[w + 1] = -at.sine;
    }
    const double half = static_cast<double>(k) / (2.0 * kBins);
    widthLoss[static_cast<std::size_t>(k - 1)] = Turns::Of(half).sine / (2.0 * Turns::kPi * half);
  }
}

void TurnAverage::Clear(Sums& sums) const {
  sums.count = 0;
  sums.t = sums.x = sums.tt = sums.tx = sums.bb = 0.0;
  sums.xRe.assign(static_cast<std::size_t>(harmonics), 0.0);
  sums.xIm = sums.xRe;
  sums.tRe = sums.xRe;
  sums.tIm = sums.xRe;
  sums.bRe = sums.xRe;
  sums.bIm = sums.xRe;
}

double TurnAverage::Angle(double cycles) const {
  const double turnsSoFar = cycles / cyclesPerTurn;
  return turnsSoFar - std::floor(turnsSoFar);
}

std::int64_t TurnAverage::Turn(double cycles) const {
  return static_cast<std::int64_t>(std::floor(cycles / cyclesPerTurn));
}

void TurnAverage::Add(double cycles, double seconds, double deviation, double band, bool counts) {
  const std::int64_t number = Turn(cycles);
  if (number != turnNumber) {
    Commit();
    turnNumber = number;
  }
  if (!counts) {
    return;
  }
  if (!started) {
    started = true;
    firstSeconds = seconds;
  }
  const double t = seconds - firstSeconds;
  turn.count += 1;
  turn.t += t;
  turn.x += deviation;
  turn.tt += t * t;
  turn.tx += t * deviation;
  turn.bb += band * band;
  // The turn's values gather in bins of its angle: the harmonics come from the bins once the
  // turn is whole.
  const std::size_t bin =
      static_cast<std::size_t>(std::min(kBins - 1, static_cast<int>(Angle(cycles) * kBins)));
  double* sums = bins.data() + 3 * bin;
  sums[0] += deviation;
  sums[1] += t;
  sums[2] += band;
}

void TurnAverage::Commit() {
  // Cycles count from the average's start, which is a turn's start: every turn that ends is
  // whole. One the tone dropped out of all through adds nothing.
  if (turn.count == 0) {
    return;
  }
  for (std::size_t k = 0; k < static_cast<std::size_t>(harmonics); ++k) {
    const double* w = twiddles.data() + 2 * k * kBins;
    double xRe = 0.0, xIm = 0.0, tRe = 0.0, tIm = 0.0, bRe = 0.0, bIm = 0.0;
    for (std::size_t j = 0; j < static_cast<std::size_t>(kBins); ++j) {
      const double* b = bins.data() + 3 * j;
      xRe += b[0] * w[2 * j];
      xIm += b[0] * w[2 * j + 1];
      tRe += b[1] * w[2 * j];
      tIm += b[1] * w[2 * j + 1];
      bRe += b[2] * w[2 * j];
      bIm += b[2] * w[2 * j + 1];
    }
    const double loss = widthLoss[k];
    turn.xRe[k] = xRe / loss;
    turn.xIm[k] = xIm / loss;
    turn.tRe[k] = tRe / loss;
    turn.tIm[k] = tIm / loss;
    turn.bRe[k] = bRe / loss;
    turn.bIm[k] = bIm / loss;
  }
  std::fill(bins.begin(), bins.end(), 0.0);
  const double n = static_cast<double>(turn.count);
  for (std::size_t k = 0; k < turn.xRe.size(); ++k) {
    const double re = 2.0 * turn.xRe[k] / n;
    const double im = 2.0 * turn.xIm[k] / n;
    spreadRe[k] += re;
    spreadIm[k] += im;
    spreadSquares[k] += re * re + im * im;
    whole.xRe[k] += turn.xRe[k];
    whole.xIm[k] += turn.xIm[k];
    whole.tRe[k] += turn.tRe[k];
    whole.tIm[k] += turn.tIm[k];
    whole.bRe[k] += turn.bRe[k];
    whole.bIm[k] += turn.bIm[k];
  }
  whole.count += turn.count;
  whole.t += turn.t;
  whole.x += turn.x;
  whole.tt += turn.tt;
  whole.tx += turn.tx;
  whole.bb += turn.bb;
  ++turns;
  Clear(turn);
}

TurnAverage::Result TurnAverage::Compute() const {
  Result result;
  result.turns = turns;
  result.curve.assign(kCurvePoints, 0.0);
  if (turns < kFewestTurns) {
    return result;
  }
  // The straight line through the averaged values: drift, which would tilt the average.
  const double n = static_cast<double>(whole.count);
  const double spread = n * whole.tt - whole.t * whole.t;
  const double slope = spread > 0.0 ? (n * whole.tx - whole.t * whole.x) / spread : 0.0;
  const double count = static_cast<double>(turns);
  result.restPower = whole.bb / n;
  for (std::size_t k = 0; k < whole.xRe.size(); ++k) {
    const double re = 2.0 * (whole.xRe[k] - slope * whole.tRe[k]) / n;
    const double im = 2.0 * (whole.xIm[k] - slope * whole.tIm[k]) / n;
    // How much the harmonic varies from turn to turn, and so how much of it an average of this
    // many turns holds by chance.
    const double meanRe = spreadRe[k] / count;
    const double meanIm = spreadIm[k] / count;
    const double variance =
        std::max(0.0, spreadSquares[k] / count - meanRe * meanRe - meanIm * meanIm);
    if (re * re + im * im > kStandsOut * variance / count) {
      result.harmonics.push_back({static_cast<int>(k) + 1, re, im});
      // The band's own view of the harmonic: its power there is what repeats of it.
      const double bandRe = 2.0 * whole.bRe[k] / n;
      const double bandIm = 2.0 * whole.bIm[k] / n;
      result.restPower -= 0.5 * (bandRe * bandRe + bandIm * bandIm);
    }
  }
  // The deviation at angle a is the sum of re cos(k a) - im sin(k a): the sums above took
  // e^(-i k a), whose imaginary part is -sin.
  double lowest = 0.0;
  double highest = 0.0;
  for (int j = 0; j < kCurvePoints; ++j) {
    double value = 0.0;
    for (const Harmonic& h : result.harmonics) {
      const Turns at = Turns::Of(static_cast<double>(h.order) * j / kCurvePoints);
      value += h.re * at.cosine - h.im * at.sine;
    }
    result.curve[static_cast<std::size_t>(j)] = value;
    lowest = j == 0 ? value : std::min(lowest, value);
    highest = j == 0 ? value : std::max(highest, value);
  }
  result.halfPeakToPeak = 0.5 * (highest - lowest);
  return result;
}

}  // namespace wavfreq
