#include "dsp/Demodulator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/Turns.h"

namespace wavfreq {
namespace {

constexpr double kTwoPi = 2.0 * Turns::kPi;

// A tone at `rate` whose frequency is carrier + deviation x sin(2 pi modulation t), with 5 % of
// second and 2 % of third harmonic, as int samples of amplitude 16000.
std::vector<int> Tone(double rate, double carrier, double deviation, double modulation,
                      double seconds) {
  std::vector<int> samples(static_cast<std::size_t>(seconds * rate));
  double phase = 0.3;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    samples[i] = static_cast<int>(std::lround(
        16000.0 * (std::sin(phase) + 0.05 * std::sin(2 * phase) + 0.02 * std::sin(3 * phase))));
    phase += kTwoPi * (carrier + deviation * std::sin(kTwoPi * modulation * t)) / rate;
  }
  return samples;
}

// The frequency of each output value from the angle it turned since the last, after the FIR
// has filled.
std::vector<double> Frequencies(Demodulator& demodulator, const std::vector<int>& samples) {
  std::vector<double> out;
  demodulator.Process(samples.data(), static_cast<int>(samples.size()), out);
  std::vector<double> frequencies;
  for (std::size_t i = 2 * static_cast<std::size_t>(demodulator.FillValues() + 1);
       i + 1 < out.size(); i += 2) {
    const double re = out[i] * out[i - 2] + out[i + 1] * out[i - 1];
    const double im = out[i + 1] * out[i - 2] - out[i] * out[i - 1];
    frequencies.push_back(demodulator.Carrier() +
                          Turns::AngleOf(im, re) * demodulator.OutputRate());
  }
  return frequencies;
}

TEST(DemodulatorTest, FollowsTheFrequencyFlatToThePassBand) {
  // 3150 Hz swinging by 3.15 Hz (0.1 %) at 4, 100 and 190 Hz, mixed 2 Hz off: the swing comes out
  // whole, about the tone's own frequency.
  for (const double modulation : {4.0, 100.0, 190.0}) {
    Demodulator demodulator(48000, 3152.0, 200.0);
    ASSERT_GE(demodulator.OutputRate(), 600.0);
    const std::vector<double> f =
        Frequencies(demodulator, Tone(48000, 3150.0, 3.15, modulation, 2));
    double low = 1e9;
    double high = -1e9;
    for (double value : f) {
      low = std::fmin(low, value);
      high = std::fmax(high, value);
    }
    EXPECT_NEAR(0.5 * (high + low), 3150.0, 0.01) << modulation;
    // Each value's frequency is the mean over the time from the last: the swing times
    // sinc(modulation / rate).
    const double x = Turns::kPi * modulation / demodulator.OutputRate();
    EXPECT_NEAR(0.5 * (high - low), 3.15 * std::sin(x) / x, 0.005 * 3.15) << modulation;
  }
}

TEST(DemodulatorTest, MirrorImageAndHarmonicsLeaveASteadyToneSteady) {
  // At 2060 Hz and 48 kHz the tone's mirror image, -4120 Hz, would fold to 120 Hz with blocks
  // of the longest length; with the harmonics' images, any of them folded into the band would
  // move the frequency by hertz.
  for (const double carrier : {2060.0, 1000.0, 3150.0, 10000.0}) {
    Demodulator demodulator(48000, carrier, 200.0);
    for (double value : Frequencies(demodulator, Tone(48000, carrier, 0.0, 1.0, 1))) {
      ASSERT_NEAR(value, carrier, 2e-3) << carrier;
    }
  }
}

TEST(DemodulatorTest, OutputDoesNotDependOnHowTheInputIsCutUp) {
  const std::vector<int> samples = Tone(44100, 1000.0, 5.0, 3.0, 0.5);
  std::vector<double> whole;
  Demodulator once(44100, 1000.0, 200.0);
  once.Process(samples.data(), static_cast<int>(samples.size()), whole);
  for (const int piece : {1, 7, 333}) {
    Demodulator cut(44100, 1000.0, 200.0);
    std::vector<double> out;
    for (std::size_t at = 0; at < samples.size(); at += static_cast<std::size_t>(piece)) {
      const int count =
          static_cast<int>(std::min(static_cast<std::size_t>(piece), samples.size() - at));
      cut.Process(samples.data() + at, count, out);
    }
    ASSERT_EQ(out, whole) << piece;
  }
  // Doubles and floats of the same values give the same bits as ints.
  const std::vector<double> real(samples.begin(), samples.end());
  Demodulator doubles(44100, 1000.0, 200.0);
  std::vector<double> out;
  doubles.Process(real.data(), static_cast<int>(real.size()), out);
  EXPECT_EQ(out, whole);
  const std::vector<float> single(samples.begin(), samples.end());
  Demodulator floats(44100, 1000.0, 200.0);
  out.clear();
  floats.Process(single.data(), static_cast<int>(single.size()), out);
  EXPECT_EQ(out, whole);
}

}  // namespace
}  // namespace wavfreq
