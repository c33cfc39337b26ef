#include "dsp/BandPass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

namespace wavfreq {
namespace {

// The filter's output for the whole input, given in pieces of random sizes.
std::vector<double> Filter(BandPass& filter, const std::vector<double>& input,
                           std::uint32_t seed = 1) {
  std::vector<double> output;
  const auto keep = [&output](const double* values, int count) {
    output.insert(output.end(), values, values + count);
  };
  std::mt19937 random(seed);
  for (std::size_t done = 0; done < input.size();) {
    const std::size_t count = std::min<std::size_t>(random() % 5000 + 1, input.size() - done);
    filter.Process(input.data() + done, static_cast<int>(count), keep);
    done += count;
  }
  filter.Finish(keep);
  return output;
}

std::vector<double> Tone(double frequency, int rate, std::size_t count) {
  std::vector<double> samples(count);
  for (std::size_t i = 0; i < count; ++i) {
    samples[i] =
        1000.0 * std::sin(2.0 * std::acos(-1.0) * frequency * static_cast<double>(i) / rate + 0.3);
  }
  return samples;
}

// The largest difference between two signals over their middle half, relative to 1000.
double MiddleDifference(const std::vector<double>& a, const std::vector<double>& b, double scale) {
  double largest = 0.0;
  for (std::size_t i = a.size() / 4; i < 3 * a.size() / 4; ++i) {
    largest = std::fmax(largest, std::fabs(a[i] - scale * b[i]));
  }
  return largest / 1000.0;
}

TEST(BandPassTest, PassesTheBandInPlaceHalvesItsEdgesAndStopsTheRest) {
  const int rate = 8000;
  const std::size_t count = 16000;
  struct Case {
    double frequency;
    double gain;
    double tolerance;
  };
  // In place: the output is the tone itself, not a delayed copy, at the centre and off it. The
  // edges are at about half gain: the averaging into the low rate and out of it droops there.
  for (const Case& c :
       {Case{1000, 1.0, 1e-6}, Case{980, 1.0, 0.01}, Case{900, 0.5, 0.03}, Case{1100, 0.5, 0.03},
        Case{790, 0.0, 1e-4}, Case{1210, 0.0, 1e-4}, Case{50, 0.0, 1e-4}, Case{3999, 0.0, 1e-4}}) {
    BandPass filter(rate, 900, 1100);
    const std::vector<double> tone = Tone(c.frequency, rate, count);
    const std::vector<double> output = Filter(filter, tone);
    ASSERT_EQ(output.size(), count);
    EXPECT_LT(MiddleDifference(output, tone, c.gain), c.tolerance) << c.frequency;
  }
}

TEST(BandPassTest, ImpulseResponseIsSymmetricAboutTheImpulse) {
  // Linear phase with its delay taken off: an impulse comes out centred where it went in.
  BandPass filter(44100, 45, 55);
  const std::size_t at = 40 * static_cast<std::size_t>(filter.Decimation());
  std::vector<double> impulse(2 * at + 1, 0.0);
  impulse[at] = 1.0;
  const std::vector<double> output = Filter(filter, impulse);
  ASSERT_EQ(output.size(), impulse.size());
  double peak = 0.0;
  for (std::size_t k = 1; k < at; ++k) {
    ASSERT_NEAR(output[at + k], output[at - k], 1e-12 * output[at]) << k;
    peak = std::fmax(peak, std::fabs(output[at + k]));
  }
  EXPECT_GT(output[at], peak);
}

TEST(BandPassTest, OutputDoesNotDependOnHowTheInputIsCutUp) {
  std::mt19937 random(3);
  std::vector<double> noise(30000);
  for (double& sample : noise) {
    sample = static_cast<double>(random() % 20001) - 10000.0;
  }
  BandPass first(48000, 2800, 3500);
  BandPass second(48000, 2800, 3500);
  const std::vector<double> a = Filter(first, noise, 1);
  const std::vector<double> b = Filter(second, noise, 2);
  ASSERT_EQ(a.size(), noise.size());
  EXPECT_EQ(a, b);
  // Nothing in, nothing out.
  BandPass idle(48000, 2800, 3500);
  EXPECT_TRUE(Filter(idle, {}).empty());
}

TEST(BandPassTest, InputAndOutputSidesApartGiveWhatProcessGives) {
  // As the read-ahead runs it: Take and TakeLowRate per slot, Emit of each slot's values later,
  // then Finish; for a short filter and one convolved by spectra.
  std::mt19937 random(8);
  std::vector<double> input(40000);
  for (double& sample : input) {
    sample = static_cast<double>(random() % 65536) - 32768.0;
  }
  for (const auto& band : {std::make_pair(900, 1100), std::make_pair(10, 3990)}) {
    BandPass whole(8000, band.first, band.second);
    const std::vector<double> expected = Filter(whole, input, 4);
    BandPass apart(8000, band.first, band.second);
    std::vector<double> output;
    const auto keep = [&output](const double* values, int count) {
      output.insert(output.end(), values, values + count);
    };
    std::vector<std::vector<double>> slots;
    for (std::size_t done = 0; done < input.size();) {
      const std::size_t count = std::min<std::size_t>(random() % 3000 + 1, input.size() - done);
      apart.Take(input.data() + done, static_cast<int>(count));
      slots.emplace_back();
      apart.TakeLowRate(slots.back());
      done += count;
    }
    for (const std::vector<double>& values : slots) {
      apart.Emit(values, keep);
    }
    apart.Finish(keep);
    ASSERT_EQ(output.size(), expected.size());
    EXPECT_EQ(std::memcmp(output.data(), expected.data(), output.size() * sizeof(double)), 0)
        << band.first;
  }
}

// FNV-1a over the bytes of the values.
std::uint64_t Fingerprint(const std::vector<double>& values) {
  std::uint64_t hash = 14695981039346656037u;
  for (double value : values) {
    unsigned char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    for (unsigned char byte : bytes) {
      hash = (hash ^ byte) * 1099511628211u;
    }
  }
  return hash;
}

TEST(BandPassTest, OutputHasTheSameBitsOnEveryPlatform) {
  // The fingerprint was taken on Linux; the Windows build, run under wine, must give it too.
  // The coefficients come from the filter's own sine and cosine, so no C library enters them.
  std::mt19937 random(42);
  std::vector<double> input(20000);
  for (double& sample : input) {
    sample = static_cast<double>(random() % 65536) - 32768.0;
  }
  // With the widest vectors the processor has, and with the baseline's.
  for (bool baseline : {false, true}) {
    BandPass narrow(44100, 45, 55);
    BandPass wide(48000, 900, 1100);
    BandPass spectral(8000, 10, 3990);  // 2000 taps at the full rate: convolved by spectra
    ASSERT_GT(spectral.Taps(), 1000u);
    if (baseline) {
      for (BandPass* filter : {&narrow, &wide, &spectral}) {
        filter->KeepToBaseline();
      }
    }
    EXPECT_EQ(Fingerprint(Filter(narrow, input)), UINT64_C(3822663946496105485)) << baseline;
    EXPECT_EQ(Fingerprint(Filter(wide, input)), UINT64_C(9262065213422390879)) << baseline;
    EXPECT_EQ(Fingerprint(Filter(spectral, input)), UINT64_C(309091326169041744)) << baseline;
  }
}

TEST(BandPassTest, BandMustLieBelowHalfTheRate) {
  EXPECT_TRUE(BandPass::Fits(44100, 45, 55));
  EXPECT_TRUE(BandPass::Fits(44101, 1, 22050));
  EXPECT_FALSE(BandPass::Fits(44100, 1, 22050));
  EXPECT_FALSE(BandPass::Fits(44100, 0, 10));
  EXPECT_FALSE(BandPass::Fits(44100, 10, 10));
  // Bands that reach near 0 Hz or half the rate narrow their transitions and still work.
  BandPass wide(8000, 10, 3990);
  const std::vector<double> tone = Tone(2000, 8000, 20000);
  EXPECT_LT(MiddleDifference(Filter(wide, tone), tone, 1.0), 1e-3);
}

}  // namespace
}  // namespace wavfreq
