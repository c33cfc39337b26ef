#include "stats/ToneTracker.h"

#include <cmath>

#include "core/TextFormat.h"
#include "dsp/Turns.h"
#include "stats/CarrierSearch.h"

namespace wavfreq {

namespace {

// The values either side of one that tell whether it is a tone's: about 15 ms, at least 10, so
// that noise alone passes for a tone once in thousands of values.
constexpr double kCoherenceSeconds = 0.015;
constexpr int kShortestCoherence = 10;
constexpr double kTrimSeconds = 0.05;
// A value whose amplitude is this far from the tone's level around it is at a change of level.
constexpr double kLevelStep = 1.5;
// The report's first plot: four turns, or 10 s without a turn.
constexpr double kPlottedTurns = 4.0;
constexpr double kPlottedSeconds = 10.0;
// A component is named a harmonic of the turn up to the tenth, within half the spectrum's spacing.
constexpr int kNamedHarmonics = 10;
constexpr const char* kTooShortForFlutter = "too short: the weighting needs 4.5 s of the tone";
constexpr const char* kRepeatedName = "Wow repeated each turn (half peak-to-peak)";
constexpr const char* kNotRepeatedName = "Wow and flutter not repeated (RMS, 0.5-200 Hz)";
constexpr double kBridgeSeconds = 1.0;
constexpr double kReferenceSeconds = 1.0;
constexpr double kPoorSignalToNoiseDb = 30.0;
// Noise above this share of a flutter figure's power is worth a warning, where the figure is
// above the measuring floor: the smallest test tone's reading, and what the noise's
// estimate is sure of.
constexpr double kNoisyShare = 0.1;
constexpr double kMeasuringFloor = 0.01;
// The share of the noise's power that its estimate may be off by.
constexpr double kNoiseUncertainty = 0.3;
constexpr double kClippedShare = 0.01;
// A sine's crest puts equal neighbours there too, where it changes by less than a step: the
// warning takes three times that many.
constexpr double kNaturalFlatTops = 3.0;
// Values between new settings of the turn a value is expected to make.
constexpr std::int64_t kExpectedRefresh = 64;

// The standard test frequencies: IEC 60386, DIN 45507 and AES6 (3150 Hz), NAB and JIS (3000 Hz),
// the reference tones of test tapes and records, and mains.
}  // namespace

double ToneTracker::NearestStandard(double mean) {
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

namespace {

// What the demodulator passes either side of the carrier: a neighbouring tone is kept at the
// edge of its stop band, twice the pass band away.
double PassFor(const ToneTracker::Start& start) {
  const double reach = CarrierSearch::Reach(start.carrier);
  if (start.neighbour <= 0.0) {
    return reach;
  }
  return std::fmin(reach, 0.5 * std::fabs(start.neighbour - start.carrier));
}

int CoherenceFor(double rate) {
  const int window = static_cast<int>(kCoherenceSeconds * rate + 0.5);
  return window > kShortestCoherence ? window : kShortestCoherence;
}

// Values until the demodulator's filter holds the input alone, and the decisions on them.
std::int64_t SettlingValues(const Demodulator& demodulator) {
  return demodulator.FillValues() + 2 * CoherenceFor(demodulator.OutputRate()) + 2;
}

}  // namespace

ToneTracker::ToneTracker(const Start& s)
    : rate(0.0),
      pass(PassFor(s)),
      bandPass(CarrierSearch::Reach(s.carrier)),
      start(s.seconds),
      notBefore(s.notBefore),
      afterStep(s.afterStep),
      inputRate(static_cast<double>(s.sampleRate)),
      sampleStep(s.sampleStep),
      fullScale(s.fullScale),
      neighbour(s.neighbour),
      neighbourDb(s.neighbourDb),
      demodulator(s.sampleRate, s.carrier, pass),
      figures(demodulator.OutputRate(), pass),
      coherence(CoherenceFor(demodulator.OutputRate())),
      steps(demodulator.OutputRate()) {
  rate = demodulator.OutputRate();
  reference = demodulator.Carrier();
  referenceStep = 1.0 / (kReferenceSeconds * rate);
  radiansToHertz = rate / (2.0 * Turns::kPi);
  // From the input's first sample the filter's zeros are the silence before it.
  warmup = s.fromInputStart ? 0 : demodulator.FillValues();
  // The filter's band spans about 3 x `pass` of the output's rate.
  lag = std::max<std::int64_t>(1, static_cast<std::int64_t>(rate / (3.0 * pass) + 0.5));
  recentValues.assign(static_cast<std::size_t>(2 * lag), 0.0);
  trim = static_cast<std::int64_t>(kTrimSeconds * rate + 0.5);
  bridge = static_cast<std::int64_t>(kBridgeSeconds * rate + 0.5);
  foundAt = s.foundSeconds;
  pending.resize(static_cast<std::size_t>(coherence.Delay()) + 1);
  resumeValues = static_cast<std::size_t>(coherence.Delay() + 2) / 2;
  held.resize(static_cast<std::size_t>(trim + steps.Latency()) + 1);
  // A sine's crest lies at twice the demodulated amplitude; its upper half is where it may clip.
  flatTops.SetLevel(std::sqrt(s.power));
  Expect(reference);
}

int ToneTracker::PrerollSamples(const Start& s) {
  const Demodulator demodulator(s.sampleRate, s.carrier, PassFor(s));
  return static_cast<int>(SettlingValues(demodulator)) * demodulator.Decimation();
}

void ToneTracker::Finish() {
  const std::vector<float> silence(static_cast<std::size_t>(demodulator.Decimation()), 0.0F);
  const std::int64_t settling = SettlingValues(demodulator);
  for (std::int64_t k = 0; k < settling && !ended; ++k) {
    Process(silence.data(), static_cast<int>(silence.size()));
  }
}

void ToneTracker::Expect(double hertz) {
  expectedOffset = hertz - demodulator.Carrier();
  const Turns turn = Turns::Of(expectedOffset / rate);
  expected[0] = turn.cosine;
  expected[1] = turn.sine;
  const Turns overLag = Turns::Of(static_cast<double>(lag) * expectedOffset / rate);
  expectedOverLag[0] = overLag.cosine;
  expectedOverLag[1] = overLag.sine;
}

double ToneTracker::Turn(double re, double im, const double* from, const double* turn) {
  // z times the conjugate of `from`, turned back by `turn`.
  const double turnRe = re * from[0] + im * from[1];
  const double turnIm = im * from[0] - re * from[1];
  const double restRe = turnRe * turn[0] + turnIm * turn[1];
  const double restIm = turnIm * turn[0] - turnRe * turn[1];
  return Turns::AngleOf(restIm, restRe);
}

bool ToneTracker::Covers(double hertz) const {
  return std::fabs(hertz - demodulator.Carrier()) < 0.5 * pass;
}

double ToneTracker::TimeOf(std::int64_t value) const {
  return start + static_cast<double>(value) / rate - demodulator.Delay();
}

double ToneTracker::EndSeconds() const {
  if (lastValid < 0) {
    return std::fmax(notBefore, start);
  }
  return stepped ? stepSeconds : TimeOf(lastValid);
}

double ToneTracker::StartSeconds() const {
  return afterStep ? notBefore : TimeOf(firstValid < 0 ? 0 : firstValid);
}

double ToneTracker::Seconds() const {
  return firstValid < 0 ? 0.0 : EndSeconds() - StartSeconds();
}

void ToneTracker::Take(double re, double im, std::int64_t pairs) {
  const std::size_t at =
      static_cast<std::size_t>(index % static_cast<std::int64_t>(pending.size()));
  ++index;
  // The angle turned since the last value: z times the conjugate of the last, turned back by
  // what the tone's frequency turns it, so that what is left is a small angle.
  const double* last = recentValues.data() + 2 * ((index + lag - 1) % lag);
  const double turns = Turn(re, im, last, expected);
  // The coherence takes the turn over as many values as the filter's band is oversampled, so
  // that noise's neighbouring values, which the filter makes alike, do not pass for a tone.
  const double* lagged = recentValues.data() + 2 * (index % lag);
  const double lagTurns = lag == 1 ? turns : Turn(re, im, lagged, expectedOverLag);
  recentValues[static_cast<std::size_t>(2 * (index % lag))] = re;
  recentValues[static_cast<std::size_t>(2 * (index % lag) + 1)] = im;
  Pending& value = pending[at];
  value.frequency = demodulator.Carrier() + expectedOffset + turns * rate;
  value.amplitude = std::sqrt(re * re + im * im);
  value.flatPairs = pairs;
  // Until the filter has filled, its values hold the silence it started from.
  coherence.Add(value.amplitude, 2.0 * Turns::kPi * lagTurns, index > warmup + lag);
  if (coherence.Count() > coherence.Delay()) {
    const std::int64_t decide = index - coherence.Delay();
    const std::size_t from =
        static_cast<std::size_t>((decide - 1) % static_cast<std::int64_t>(pending.size()));
    Decide(decide, pending[from], coherence.Amplitude());
  }
}

void ToneTracker::Decide(std::int64_t value, const Pending& taken, double localAmplitude) {
  decided = value;
  if (ended) {
    return;
  }
  const bool there = coherence.There() && TimeOf(value) >= notBefore;
  // A value beyond the pass band is no tone of it: the filter ringing after a click, or another
  // tone in its transition band.
  if (!there || std::fabs(taken.frequency - demodulator.Carrier()) > pass) {
    // What looked like the tone's return was too short to be one.
    for (const Value& candidate : resuming) {
      TakeMissing(candidate.index);
    }
    resuming.clear();
    TakeMissing(value);
    return;
  }
  // The amplitude's step, against the tone's level where it is, as a phase would step: for
  // noise added to the tone the two are alike.
  const double noise = lastValid == value - 1 && localAmplitude > 0.0
                           ? (taken.amplitude - lastAmplitude) / localAmplitude * radiansToHertz
                           : 0.0;
  lastAmplitude = taken.amplitude;
  const bool levelStep = localAmplitude > 0.0 && (taken.amplitude > kLevelStep * localAmplitude ||
                                                  taken.amplitude * kLevelStep < localAmplitude);
  reference += (taken.frequency - reference) * referenceStep;
  if (value % kExpectedRefresh == 0) {
    Expect(reference);
    flatTops.SetLevel(localAmplitude);
  }
  ++counted;
  flatPairs += taken.flatPairs;
  sumAmplitude += taken.amplitude;
  // Where the tone begins, or returns after a gap, it must stay a while: the onset of another
  // tone, or a click, can pass for it for a few values.
  resuming.push_back({value, taken.frequency, noise, false, levelStep});
  if ((missing > 0 || lastValid < 0) && resuming.size() < resumeValues) {
    return;
  }
  for (const Value& v : resuming) {
    if (steps.Add(v.index, v.frequency)) {
      resuming.clear();
      EndAtStep(v.index);
      return;
    }
    TakeValid(v);
  }
  resuming.clear();
}

void ToneTracker::TakeValid(const Value& taken) {
  const std::int64_t value = taken.index;
  const double frequency = taken.frequency;
  if (taken.nearLevelStep) {
    for (std::size_t k = heldCount; k > 0 && HeldAt(k - 1).index > value - trim; --k) {
      HeldAt(k - 1).nearLevelStep = true;
    }
    levelStepUntil = value + trim;
  }
  if (missing > 0 && lastValid >= 0) {
    // The tone is back after a gap short enough to bridge. The values at the gap's edges hold
    // the filter's view of a tone that stops and starts, not its speed: they are bridged too,
    // from the last value before the gap's edge to the first after the edge that follows it.
    if (!bridging) {
      while (heldCount > 0 && HeldAt(heldCount - 1).index > lastValid - trim) {
        --heldCount;
      }
      anchor = heldCount > 0 ? HeldAt(heldCount - 1) : Value{-1, 0.0, 0.0, true};
      bridging = true;
    }
    edgeUntil = value + trim;
  }
  missing = 0;
  if (firstValid < 0) {
    firstValid = value;
  }
  lastValid = value;
  if (bridging) {
    if (value < edgeUntil) {
      return;
    }
    bridging = false;
    if (anchor.index >= 0) {
      // A straight line across the gap and its edges.
      const std::int64_t gap = value - anchor.index - 1;
      for (std::int64_t k = 1; k <= gap; ++k) {
        const double share = static_cast<double>(k) / static_cast<double>(gap + 1);
        Hold({anchor.index + k, anchor.frequency + (frequency - anchor.frequency) * share, 0.0,
              true, false});
      }
    }
  }
  Hold({value, frequency, taken.noise, false, value < levelStepUntil});
}

ToneTracker::Value& ToneTracker::HeldAt(std::size_t k) {
  const std::size_t at = oldestAt + k;
  return held[at >= held.size() ? at - held.size() : at];
}

void ToneTracker::Hold(const Value& value) {
  // The last values wait until a step could no longer be found before them; the oldest goes on,
  // except the tone's first `trim`.
  if (heldCount == held.size()) {
    const Value& oldest = held[oldestAt];
    if (oldest.index >= firstValid + trim) {
      Feed(oldest);
    }
    oldestAt = oldestAt + 1 == held.size() ? 0 : oldestAt + 1;
    --heldCount;
  }
  ++heldCount;
  HeldAt(heldCount - 1) = value;
}

void ToneTracker::End(std::int64_t last) {
  ended = true;
  // The values just before the end, which may hold its onset, count in no figure.
  for (; heldCount > 0; --heldCount) {
    const Value& oldest = held[oldestAt];
    if (oldest.index <= last - trim && oldest.index >= firstValid + trim) {
      Feed(oldest);
    }
    oldestAt = oldestAt + 1 == held.size() ? 0 : oldestAt + 1;
  }
  // The second the tone ended in is over for it.
  CloseSecond();
}

void ToneTracker::KeepTurn(double rpm, double nominal) {
  turnRpm = rpm;
  turnNominal = nominal;
}

void ToneTracker::KeepPlots() {
  // The first plot spans four turns, or 10 s without a turn.
  figures.KeepPlots(turnRpm > 0.0 ? kPlottedTurns * 60.0 / turnRpm : kPlottedSeconds);
}

std::unique_ptr<TonePlots> ToneTracker::TakePlots() {
  return figures.TakePlots();
}

void ToneTracker::Feed(const Value& value) {
  if (firstFed < 0) {
    firstFed = value.index;
  }
  if (turnRpm > 0.0 && !figures.TurnStarted() && figures.Settled()) {
    // A turn holds the cycles that the nominal frequency fills in one at the nominal speed.
    const double mean = figures.RunningMean();
    double against = turnNominal > 0.0 ? turnNominal : NearestStandard(mean);
    if (!(against > 0.0)) {
      against = mean;
    }
    figures.StartTurn(against * 60.0 / turnRpm, turnRpm / 60.0 * mean / against);
  }
  figures.Add(value.frequency, value.noise, value.bridged, value.nearLevelStep);
  if (!readings) {
    return;
  }
  // The second of the input the value falls in: (k - 1, k] is second k.
  const std::int64_t second = static_cast<std::int64_t>(std::ceil(TimeOf(value.index)));
  if (second != currentSecond.second) {
    CloseSecond();
    currentSecond = {second, 0.0, 0};
  }
  if (!value.bridged) {
    currentSecond.sum += value.frequency;
    ++currentSecond.values;
  }
}

void ToneTracker::CloseSecond() {
  if (readings && currentSecond.second > 0) {
    Second done;
    done.second = currentSecond.second;
    done.values = currentSecond.values;
    done.hertz = currentSecond.values > 0
                     ? currentSecond.sum / static_cast<double>(currentSecond.values)
                     : 0.0;
    done.flutter = figures.RecentWeighted2Sigma();
    seconds.push_back(done);
  }
  currentSecond = {};
}

std::vector<ToneTracker::Second> ToneTracker::TakeSeconds() {
  std::vector<Second> done;
  done.swap(seconds);
  return done;
}

void ToneTracker::EndAtStep(std::int64_t value) {
  // The new tone starts at the first value from the step's earliest place on that lies nearer
  // its frequency than the old one's; the old tone ends at the last valid value before it.
  const double before = steps.Before();
  const double after = steps.After();
  std::int64_t first = value;
  std::int64_t last = lastValid;
  double lastBefore = -1.0;
  for (std::size_t k = 0; k < heldCount; ++k) {
    const Value& v = HeldAt(k);
    if (v.bridged) {
      continue;
    }
    if (v.index >= steps.From() &&
        std::fabs(v.frequency - after) < std::fabs(v.frequency - before)) {
      first = v.index;
      break;
    }
    lastBefore = static_cast<double>(v.index);
  }
  if (first != value) {
    last = static_cast<std::int64_t>(lastBefore);
  }
  if (last < firstValid) {
    last = firstValid;
  }
  lastValid = last;
  End(last);
  stepped = true;
  stepFrequency = after;
  stepSeconds = 0.5 * (TimeOf(last) + TimeOf(first));
}

void ToneTracker::TakeMissing(std::int64_t value) {
  ++missing;
  if (lastValid < 0) {
    // A tone found that never came (a burst that looked like one): give up on it once it has
    // been missing for a gap's length past where it was found.
    if (TimeOf(value) > foundAt + kBridgeSeconds) {
      ended = true;
    }
    return;
  }
  if (missing > bridge) {
    End(lastValid);
  }
  static_cast<void>(value);
}

bool ToneTracker::ReadsHigh(double raw, double figure, double noiseShare) {
  // Noise that made a tenth of a figure's power or more makes it read high, unless what is left
  // once the noise is taken out lies within what the noise's estimate is sure of: the figure is
  // then at the measuring floor (as a clean tone's is, on 8-bit samples or at -60 dBFS).
  return noiseShare > kNoisyShare && figure >= kMeasuringFloor &&
         figure > raw * std::sqrt(kNoiseUncertainty * noiseShare);
}

void ToneTracker::Close() {
  if (!ended) {
    End(lastValid);
  }
}

std::string ToneTracker::Report(int number, double nominal, std::string* json) {
  Close();
  const ToneFigures::Figures f = figures.Compute();
  // Where the tone follows or meets a step, its block starts or ends at the step.
  const double from = StartSeconds();
  const double to = EndSeconds();
  ToneBlock block(number, TextFormat::Fixed(from, 3), TextFormat::Fixed(to, 3), json != nullptr,
                  kJsonDepth);
  const auto done = [&]() {
    if (json != nullptr) {
      *json = block.Json();
    }
    return block.Text();
  };
  if (f.values == 0) {
    block.None("Mean frequency", "mean_hz", "the tone is too short to measure");
    return done();
  }
  block.Figure("Mean frequency", "mean_hz", TextFormat::Fixed(f.mean, 3), "Hz");
  if (nominal <= 0.0) {
    nominal = NearestStandard(f.mean);
  }
  if (nominal > 0.0) {
    block.Figure("Speed error", "speed_error_percent",
                 TextFormat::Fixed(100.0 * (f.mean - nominal) / nominal, 4), "%");
  } else {
    block.None("Speed error", "speed_error_percent", "no standard test frequency within 5 %");
  }
  if (turnRpm > 0.0) {
    if (nominal > 0.0) {
      block.Figure("Speed", "speed_rpm", TextFormat::Fixed(turnRpm * f.mean / nominal, 3), "rpm");
    } else {
      block.None("Speed", "speed_rpm", "no speed error: -nominal:F gives one");
    }
  }
  block.Figure("Drift", "drift_hz_per_s", TextFormat::Fixed(f.drift, 5), "Hz/s");
  block.Figure("Drift over the run", "drift_over_the_run_percent",
               TextFormat::Fixed(100.0 * f.drift * f.span / f.mean, 4), "%");
  // The flutter figures, in the block's order, with their values where the tone was long enough.
  enum class Kind { kPercent, kModulation, kDrift };
  struct Flutter {
    const char* name;
    const char* key;
    double value;
    Kind kind;
  };
  const Flutter flutter[] = {
      {"Weighted wow and flutter (2-sigma)", "weighted_2sigma_percent", f.weighted2Sigma,
       Kind::kPercent},
      {"Unweighted wow and flutter (2-sigma)", "unweighted_2sigma_percent", f.unweighted2Sigma,
       Kind::kPercent},
      {"Weighted wow and flutter (RMS)", "weighted_rms_percent", f.weightedRms, Kind::kPercent},
      {"Modulation", "modulation", 0.0, Kind::kModulation},
      {"Unweighted wow and flutter (RMS, 0.5-200 Hz)", "unweighted_rms_percent", f.unweightedRms,
       Kind::kPercent},
      {"Weighted wow (RMS, below 6 Hz)", "weighted_wow_rms_percent", f.weightedWowRms,
       Kind::kPercent},
      {"Weighted flutter (RMS, above 6 Hz)", "weighted_flutter_rms_percent", f.weightedFlutterRms,
       Kind::kPercent},
      {"Unweighted wow (RMS, 0.5-6 Hz)", "unweighted_wow_rms_percent", f.unweightedWowRms,
       Kind::kPercent},
      {"Unweighted flutter (RMS, 6-200 Hz)", "unweighted_flutter_rms_percent",
       f.unweightedFlutterRms, Kind::kPercent},
      {"Drift (RMS, 0.05-0.5 Hz)", "drift_rms_percent", f.driftRms, Kind::kDrift},
      {"Peak-to-peak deviation (0.5-200 Hz)", "peak_to_peak_percent", f.peakToPeak,
       Kind::kPercent}};
  for (const Flutter& figure : flutter) {
    if (!f.flutterMeasured || (figure.kind == Kind::kDrift && !f.driftMeasured)) {
      block.None(figure.name, figure.key,
                 figure.kind == Kind::kDrift ? "too short: drift needs 30 s of the tone"
                                             : kTooShortForFlutter);
    } else if (figure.kind != Kind::kModulation) {
      block.Figure(figure.name, figure.key, TextFormat::Fixed(figure.value, 5), "%");
    } else if (f.modulation.empty()) {
      block.None(figure.name, figure.key, "no component stands out of the noise");
    } else {
      std::vector<ToneBlock::Component> components;
      for (const ToneFigures::Component& c : f.modulation) {
        components.push_back({TextFormat::ThreeDigits(c.hertz), TextFormat::Fixed(c.share, 3),
                              TurnName(c.hertz, TurnHertz(f, nominal), f.spectrumStep)});
      }
      block.Modulation(components);
    }
  }
  if (turnRpm > 0.0) {
    ReportTurn(block, f);
  }
  if (!f.flutterMeasured) {
    block.Warning("the tone lasts " + TextFormat::Fixed(f.span, 2) +
                  " s, too short for the flutter figures");
  }
  Warn(block, f);
  if (TonePlots* drawn = figures.Plots()) {
    const std::string& text = block.Text();
    drawn->finished.startSeconds = TimeOf(firstFed < 0 ? 0 : firstFed);
    drawn->finished.rpm = turnRpm;
    TextFormat::Append(drawn->finished.title, "Tone %d: %s s to %s s, %s Hz", number,
                       TextFormat::Fixed(from, 3).c_str(), TextFormat::Fixed(to, 3).c_str(),
                       TextFormat::Fixed(f.mean, 3).c_str());
    for (std::size_t at = text.find('\n') + 1; at < text.size();) {
      const std::size_t end = text.find('\n', at);
      drawn->finished.figures.push_back(text.substr(at, end - at));
      at = end + 1;
    }
    for (const ToneFigures::Component& c : f.modulation) {
      drawn->finished.peaks.push_back(
          {c.hertz, c.share, TurnName(c.hertz, TurnHertz(f, nominal), f.spectrumStep)});
    }
  }
  return done();
}

double ToneTracker::TurnHertz(const ToneFigures::Figures& f, double nominal) const {
  // The nominal frequency fills a turn at the nominal rpm: the tone's speed is the turn's.
  return turnRpm / 60.0 * (nominal > 0.0 ? f.mean / nominal : 1.0);
}

std::string ToneTracker::TurnName(double hertz, double turnHertz, double step) {
  if (!(turnHertz > 0.0)) {
    return std::string();
  }
  const double order = std::round(hertz / turnHertz);
  if (order < 1.0 || order > kNamedHarmonics || std::fabs(hertz - order * turnHertz) > 0.5 * step) {
    return std::string();
  }
  return order == 1.0 ? std::string("turn")
                      : std::to_string(static_cast<int>(order)) + std::string("x turn");
}

void ToneTracker::ReportTurn(ToneBlock& block, const ToneFigures::Figures& f) const {
  std::string reason;
  if (!f.flutterMeasured) {
    reason = kTooShortForFlutter;
  } else if (f.turns < TurnAverage::kFewestTurns) {
    reason = "too short: the turn's average needs 2 whole turns after the first 2.5 s, " +
             TextFormat::Fixed(TurnAverage::kFewestTurns * 60.0 / turnRpm, 2) + " s";
  }
  if (!reason.empty()) {
    block.None(kRepeatedName, "wow_repeated_each_turn_percent", reason);
    block.None(kNotRepeatedName, "not_repeated_rms_percent", reason);
    return;
  }
  block.Turns(kRepeatedName, "wow_repeated_each_turn_percent",
              TextFormat::Fixed(f.repeatedHalfPeakToPeak, 5), f.turns);
  block.Figure(kNotRepeatedName, "not_repeated_rms_percent", TextFormat::Fixed(f.notRepeatedRms, 5),
               "%");
}

void ToneTracker::Warn(ToneBlock& block, const ToneFigures::Figures& f) const {
  std::string text;
  if (pass < bandPass) {
    TextFormat::Append(text,
                       "a second tone at %s Hz, %s dB %s this one, narrows the measured band to "
                       "0.5 to %s Hz",
                       TextFormat::Fixed(neighbour, 0).c_str(),
                       TextFormat::Fixed(std::fabs(neighbourDb), 0).c_str(),
                       neighbourDb > 0.0 ? "above" : "below",
                       TextFormat::ThreeDigits(pass).c_str());
    block.Warning(text);
  } else if (pass < 200.0) {
    TextFormat::Append(text,
                       "a carrier of %s Hz carries modulation up to %s Hz only; measured 0.5 to "
                       "%s Hz",
                       TextFormat::Fixed(f.mean, 0).c_str(), TextFormat::Fixed(pass, 0).c_str(),
                       TextFormat::Fixed(pass, 0).c_str());
    block.Warning(text);
  }
  // Flat tops: equal neighbours at the crests, more than a clean sine's crests hold. A crest of
  // amplitude A (in steps of the samples), turning by w radians a sample, gives its two samples
  // either side the same value about once in 2 A w sin(w / 2) crests; and where w is small, a run
  // of about 2 / (w sqrt(A)) samples within half a step of its top.
  if (counted > 0) {
    const double samples = static_cast<double>(counted) * demodulator.Decimation();
    const double flatShare = static_cast<double>(flatPairs) / samples;
    const double crest = 2.0 * sumAmplitude / static_cast<double>(counted) / sampleStep;
    const double turn = 2.0 * Turns::kPi * f.mean / inputRate;
    double natural = 0.0;
    if (crest > 0.0 && turn > 0.0) {
      natural = 1.0 / (Turns::kPi * crest * std::sin(0.5 * turn)) +
                std::fmax(0.0, (2.0 / std::sqrt(crest) - turn) / Turns::kPi);
    }
    if (flatShare > std::fmax(kClippedShare, kNaturalFlatTops * natural)) {
      block.Warning("clipped, " + TextFormat::Fixed(100.0 * flatShare, 1) +
                    " % of the samples on flat tops at " +
                    TextFormat::Fixed(20.0 * std::log10(flatTops.Top() / fullScale), 1) + " dBFS");
    }
  }
  const bool noisyWeighted = ReadsHigh(f.weightedRaw, f.weighted2Sigma, f.weightedNoiseShare);
  const bool noisyUnweighted =
      ReadsHigh(f.unweightedRaw, f.unweighted2Sigma, f.unweightedNoiseShare);
  if (f.signalToNoiseDb < kPoorSignalToNoiseDb ||
      (f.flutterMeasured && (noisyWeighted || noisyUnweighted))) {
    std::string noise = "signal-to-noise ratio about " + TextFormat::Fixed(f.signalToNoiseDb, 0) +
                        " dB in the measured band";
    if (f.flutterMeasured) {
      noise +=
          "; noise made " +
          TextFormat::Fixed(100.0 * std::fmax(f.weightedNoiseShare, f.unweightedNoiseShare), 0) +
          " % of the flutter's power, taken out as far as the amplitude shows it";
    }
    block.Warning(noise + "; the flutter figures may read high");
  }
}

}  // namespace wavfreq
