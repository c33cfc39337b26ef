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
      harmonics(std::clamp(static_cast<int>(topHertz / turnHertz), 1, kMostHarmonics)) {
  Clear(turn);
  Clear(whole);
  spreadRe.assign(static_cast<std::size_t>(harmonics), 0.0);
  spreadIm = spreadRe;
  spreadSquares = spreadRe;
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
  // e^(-i k angle) for k = 1, 2, ... by one complex multiplication each.
  const Turns first = Turns::Of(Angle(cycles));
  double re = 1.0;
  double im = 0.0;
  for (std::size_t k = 0; k < turn.xRe.size(); ++k) {
    const double nextRe = re * first.cosine + im * first.sine;
    im = im * first.cosine - re * first.sine;
    re = nextRe;
    turn.xRe[k] += deviation * re;
    turn.xIm[k] += deviation * im;
    turn.tRe[k] += t * re;
    turn.tIm[k] += t * im;
    turn.bRe[k] += band * re;
    turn.bIm[k] += band * im;
  }
}

void TurnAverage::Commit() {
  // Cycles count from the average's start, which is a turn's start: every turn that ends is
  // whole. One the tone dropped out of all through adds nothing.
  if (turn.count == 0) {
    return;
  }
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
