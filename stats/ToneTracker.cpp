#include "stats/ToneTracker.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "dsp/Turns.h"

namespace wavfreq {

namespace {

constexpr double kPassHz = 200.0;
// A carrier carries modulation up to a quarter of itself: its harmonics mixed down lie a whole
// carrier away, in the demodulator's stop band.
constexpr double kPassPerCarrier = 0.25;
constexpr double kLowestPower = 0.0316;  // 15 dB below the running level
constexpr double kHighestPower = 4.0;    // 6 dB above it
constexpr double kFadePower = 0.01;      // 20 dB below the tone's loudest
constexpr double kSteady = 0.05;
constexpr double kLevelSeconds = 0.3;
constexpr double kTrimSeconds = 0.05;
constexpr double kBridgeSeconds = 1.0;
constexpr double kReferenceSeconds = 1.0;
constexpr double kPoorSignalToNoiseDb = 30.0;
// Noise above this share of the flutter figures' power is worth a warning.
constexpr double kNoisyShare = 0.1;
constexpr double kClippedShare = 0.01;
// Values between new settings of the turn a value is expected to make.
constexpr std::int64_t kExpectedRefresh = 64;

#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void AppendLine(std::string& text, const char* format, ...) {
  char line[256];
  std::va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  text += line;
}

// Three significant digits, trailing zeros kept: 0.556, 1.11, 4.00, 12.5, 120.
std::string ThreeDigits(double value) {
  int decimals = 2;
  double limit = 1.0;
  while (value >= 10.0 * limit && decimals > 0) {
    limit *= 10.0;
    --decimals;
  }
  while (value < limit && decimals < 6) {
    limit /= 10.0;
    ++decimals;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// The standard test frequencies: IEC 60386, DIN 45507 and AES6 (3150 Hz), NAB and JIS (3000 Hz),
// the reference tones of test tapes and records, and mains.
double NearestStandard(double mean) {
  const double standards[] = {3150.0, 3000.0, 1000.0, 400.0, 315.0, 60.0, 50.0};
  double nearest = 0.0;
  for (double standard : standards) {
    const double off = std::fabs(mean - standard) / standard;
    if (off <= 0.05 && (nearest == 0.0 || off < std::fabs(mean - nearest) / nearest)) {
      nearest = standard;
    }
  }
  return nearest;
}

}  // namespace

ToneTracker::ToneTracker(int sampleRate, double carrier, double power, double startSeconds,
                         double clipLevel)
    : rate(0.0),
      pass(std::fmin(kPassHz, kPassPerCarrier * carrier)),
      start(startSeconds),
      demodulator(sampleRate, carrier, pass, clipLevel),
      figures(demodulator.OutputRate(), pass) {
  rate = demodulator.OutputRate();
  reference = demodulator.Carrier();
  levelStep = 1.0 / (kLevelSeconds * rate);
  referenceStep = 1.0 / (kReferenceSeconds * rate);
  radiansToHertz = rate / (2.0 * Turns::kPi);
  level = loudest = power;
  warmup = demodulator.FillValues();
  trim = static_cast<std::int64_t>(kTrimSeconds * rate + 0.5);
  bridge = static_cast<std::int64_t>(kBridgeSeconds * rate + 0.5);
  recent.resize(static_cast<std::size_t>(trim) + 1);
  Expect(reference);
}

void ToneTracker::Expect(double hertz) {
  expectedOffset = hertz - demodulator.Carrier();
  const Turns turn = Turns::Of(expectedOffset / rate);
  expected[0] = turn.cosine;
  expected[1] = turn.sine;
}

bool ToneTracker::Covers(double hertz) const {
  return std::fabs(hertz - demodulator.Carrier()) < 0.5 * pass;
}

double ToneTracker::TimeOf(std::int64_t value) const {
  return start + static_cast<double>(value) / rate - demodulator.Delay();
}

void ToneTracker::Take(double re, double im) {
  ++index;
  const double atFullScale = demodulator.TakeAtFullScale();
  if (index <= warmup) {
    previous[0] = re;
    previous[1] = im;
    return;
  }
  const double power = re * re + im * im;
  // The level rises with the tone's onset, and to a tone that stays louder than a click would;
  // it falls only with the values that count.
  loudRun = power > kHighestPower * level ? loudRun + 1 : 0;
  if ((loudRun > 0 && firstValid < 0) || loudRun > trim) {
    level = power;
    loudest = loudest > power ? loudest : power;
    loudRun = 0;
  }
  const bool there = power >= kLowestPower * level && power <= kHighestPower * level &&
                     power >= kFadePower * loudest && power > 0.0;
  bool valid = false;
  double frequency = 0.0;
  if (there && previousThere) {
    // The angle turned since the last value: z times the conjugate of the last, turned back by
    // what the tone's frequency turns it, so that what is left is a small angle.
    const double turnRe = re * previous[0] + im * previous[1];
    const double turnIm = im * previous[0] - re * previous[1];
    const double restRe = turnRe * expected[0] + turnIm * expected[1];
    const double restIm = turnIm * expected[0] - turnRe * expected[1];
    frequency = demodulator.Carrier() + expectedOffset + Turns::AngleOf(restIm, restRe) * rate;
    valid = std::fabs(frequency - reference) <= kSteady * reference;
  }
  previous[0] = re;
  previous[1] = im;
  previousThere = there;
  if (!valid) {
    TakeMissing();
    return;
  }
  // The amplitude's deviation from the running level, as a phase would deviate: for noise added
  // to the tone the two are alike.
  const double amplitudePhase = std::sqrt(power / level) - 1.0;
  const double noise = lastAmplitudeValid == index - 1
                           ? (amplitudePhase - lastAmplitudePhase) * radiansToHertz
                           : 0.0;
  lastAmplitudePhase = amplitudePhase;
  lastAmplitudeValid = index;
  level += (power - level) * levelStep;
  loudest = loudest > level ? loudest : level;
  reference += (frequency - reference) * referenceStep;
  if (index % kExpectedRefresh == 0) {
    Expect(reference);
  }
  ++counted;
  sumPower += power;
  sumPowerSquares += power * power;
  clipped += atFullScale;
  TakeValid(frequency, noise);
}

void ToneTracker::TakeValid(double frequency, double noise) {
  if (missing > 0 && lastValid >= 0) {
    // A gap that was not too long: a straight line across it.
    const double from = lastFrequency;
    for (std::int64_t k = 1; k <= missing; ++k) {
      const double share = static_cast<double>(k) / static_cast<double>(missing + 1);
      Keep({from + (frequency - from) * share, 0.0, true});
    }
  }
  missing = 0;
  if (firstValid < 0) {
    firstValid = index;
  }
  lastValid = index;
  lastFrequency = frequency;
  Keep({frequency, noise, false});
}

void ToneTracker::Keep(const Value& value) {
  // The last `trim` values wait; the oldest of them goes on, except the tone's first `trim`.
  if (trim == 0) {
    figures.Add(value.frequency, value.noise, value.bridged);
    return;
  }
  if (kept == trim) {
    const Value& oldest = recent[oldestAt];
    if (fed++ >= trim) {
      figures.Add(oldest.frequency, oldest.noise, oldest.bridged);
    }
    oldestAt = oldestAt + 1 == recent.size() ? 0 : oldestAt + 1;
    --kept;
  }
  std::size_t at = oldestAt + static_cast<std::size_t>(kept);
  recent[at >= recent.size() ? at - recent.size() : at] = value;
  ++kept;
}

void ToneTracker::TakeMissing() {
  if (ended || lastValid < 0) {
    return;
  }
  if (++missing > bridge) {
    // Over: the values just before the gap, which may hold its onset, count in no figure.
    ended = true;
    kept = 0;
  }
}

std::string ToneTracker::Report(int number, double nominal) {
  if (!ended) {
    // The input ended with the tone: its last values may hold a click or a cut.
    ended = true;
    kept = 0;
  }
  const ToneFigures::Figures f = figures.Compute();
  std::string text;
  const double from = firstValid < 0 ? start : TimeOf(firstValid);
  const double to = lastValid < 0 ? start : TimeOf(lastValid);
  AppendLine(text, "Tone %d: %.3f s to %.3f s\n", number, from, to);
  if (f.values == 0) {
    text += "Mean frequency: none (the tone is too short to measure)\n";
    return text;
  }
  AppendLine(text, "Mean frequency: %.3f Hz\n", f.mean);
  if (nominal <= 0.0) {
    nominal = NearestStandard(f.mean);
  }
  if (nominal > 0.0) {
    AppendLine(text, "Speed error: %.4f %%\n", 100.0 * (f.mean - nominal) / nominal);
  } else {
    text += "Speed error: none (no standard test frequency within 5 %)\n";
  }
  AppendLine(text, "Drift: %.5f Hz/s\n", f.drift);
  AppendLine(text, "Drift over the run: %.4f %%\n", 100.0 * f.drift * f.span / f.mean);
  if (f.flutterMeasured) {
    AppendLine(text, "Weighted wow and flutter (2-sigma): %.5f %%\n", f.weighted2Sigma);
    AppendLine(text, "Unweighted wow and flutter (2-sigma): %.5f %%\n", f.unweighted2Sigma);
    AppendLine(text, "Weighted wow and flutter (RMS): %.5f %%\n", f.weightedRms);
    if (f.modulation.empty()) {
      text += "Modulation: none (no component stands out of the noise)\n";
    } else {
      text += "Modulation: ";
      for (std::size_t i = 0; i < f.modulation.size(); ++i) {
        AppendLine(text, "%s%s Hz %.3f %%", i == 0 ? "" : ", ",
                   ThreeDigits(f.modulation[i].hertz).c_str(), f.modulation[i].share);
      }
      text += "\n";
    }
  } else {
    const char* reason = "none (too short: the weighting needs 4.5 s of the tone)";
    AppendLine(text, "Weighted wow and flutter (2-sigma): %s\n", reason);
    AppendLine(text, "Unweighted wow and flutter (2-sigma): %s\n", reason);
    AppendLine(text, "Weighted wow and flutter (RMS): %s\n", reason);
    AppendLine(text, "Modulation: %s\n", reason);
    AppendLine(text, "Warning: the tone lasts %.2f s, too short for the flutter figures\n", f.span);
  }
  if (pass < 200.0) {
    AppendLine(text,
               "Warning: a carrier of %.0f Hz carries modulation up to %.0f Hz only; measured "
               "0.5 to %.0f Hz\n",
               f.mean, pass, pass);
  }
  // A clean sine whose peaks reach full scale has under 0.4 % of its samples within half a step
  // of it; flattened tops have many more.
  const double clippedShare =
      counted > 0 ? clipped / (static_cast<double>(counted) * demodulator.Decimation()) : 0.0;
  if (clippedShare > kClippedShare) {
    AppendLine(text, "Warning: clipped, %.1f %% of the samples at full scale\n",
               100.0 * clippedShare);
  }
  if (counted > 1) {
    // For noise of power N added to a tone of power S, the power varies by 2 S N.
    const double n = static_cast<double>(counted);
    const double mean = sumPower / n;
    const double variance = std::fmax(sumPowerSquares / n - mean * mean, 0.0);
    const double ratio = variance > 0.0 ? 2.0 * mean * mean / variance : 1e30;
    const double db = 10.0 * std::log10(ratio);
    if (db < kPoorSignalToNoiseDb || f.noiseShare > kNoisyShare) {
      AppendLine(text, "Warning: signal-to-noise ratio about %.0f dB in the measured band", db);
      if (f.flutterMeasured) {
        AppendLine(text,
                   "; noise made %.0f %% of the flutter's power, taken out as far as the "
                   "amplitude shows it",
                   100.0 * f.noiseShare);
      }
      text += "; the flutter figures may read high\n";
    }
  }
  return text;
}

}  // namespace wavfreq
