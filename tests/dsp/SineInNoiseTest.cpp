#include "dsp/SineInNoise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace wavfreq {
namespace {

TEST(SineInNoiseTest, ExpAndTheNormalCdfMatchTheLibrarys) {
  for (double x = -600.0; x <= 600.0; x += 0.37) {
    ASSERT_NEAR(SineInNoise::Exp(x), std::exp(x), 4e-16 * std::exp(x)) << x;
  }
  for (double z = -8.0; z <= 8.0; z += 0.01) {
    ASSERT_NEAR(SineInNoise::NormalCdf(z), 0.5 * std::erfc(-z / std::sqrt(2.0)), 2e-7) << z;
  }
}

TEST(SineInNoiseTest, TwoNormalCdfsAtOnceGiveTheBitsOfOneAtATime) {
  // Across the fit's range, where its exponent drops below -700 (|z| about 37.4), and the ends.
  std::mt19937 random(21);
  std::vector<double> z = {0.0,
                           -0.0,
                           37.37,
                           -37.37,
                           37.38,
                           -37.38,
                           1e300,
                           -1e300,
                           std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::denorm_min()};
  std::uniform_real_distribution<double> wide(-40.0, 40.0);
  for (int i = 0; i < 20000; ++i) {
    z.push_back(i % 2 == 0 ? wide(random) : 37.4 + 1e-3 * wide(random));
  }
  for (std::size_t i = 0; i + 1 < z.size(); ++i) {
    double p[2];
    SineInNoise::NormalCdfs(&z[i], p);
    for (std::size_t lane = 0; lane < 2; ++lane) {
      const double one = SineInNoise::NormalCdf(z[i + lane]);
      if (std::isnan(one)) {
        ASSERT_TRUE(std::isnan(p[lane])) << z[i + lane];
      } else {
        ASSERT_EQ(std::memcmp(&p[lane], &one, sizeof one), 0) << z[i + lane] << " " << one;
      }
    }
  }
}

TEST(SineInNoiseTest, PercentileOfASineOfNoiseAndOfBoth) {
  // A sine's two-sigma is sin(85.5 degrees) of its amplitude; noise's, 1.96 standard deviations.
  EXPECT_NEAR(SineInNoise::Percentile(1.0, 0.0, 0.95), 0.996917, 1e-6);
  EXPECT_NEAR(SineInNoise::Percentile(0.0, 2.0, 0.95), 2.0 * 1.959964, 1e-4);
  // Both at once, against a sum over a fine grid of phases and noise values.
  const double a = 1.0;
  const double sigma = 0.3;
  const double v = SineInNoise::Percentile(a, sigma, 0.95);
  double below = 0.0;
  double total = 0.0;
  for (int i = 0; i < 2000; ++i) {
    const double s = a * std::sin(2.0 * 3.14159265358979 * (i + 0.5) / 2000.0);
    for (int k = -600; k <= 600; ++k) {
      const double n = sigma * k / 100.0;
      const double weight = std::exp(-0.5 * (k / 100.0) * (k / 100.0));
      total += weight;
      below += std::fabs(s + n) <= v ? weight : 0.0;
    }
  }
  EXPECT_NEAR(below / total, 0.95, 0.001);
}

TEST(SineInNoiseTest, CorrectionTakesTheNoiseOutOfASineAndOfNoise) {
  const double noise = 0.09;  // standard deviation 0.3 against a sine of amplitude 1
  // A sine of power 1/2 with the noise added.
  const double noisy = SineInNoise::Percentile(1.0, std::sqrt(noise), 0.95);
  EXPECT_NEAR(noisy * SineInNoise::NoiseCorrection(0.5 + noise, 0.5, noise), 0.996917, 1e-3);
  // Noise on noise: the power's share that is left.
  EXPECT_NEAR(SineInNoise::NoiseCorrection(1.0, 0.0, 0.36), 0.8, 1e-3);
  EXPECT_EQ(SineInNoise::NoiseCorrection(1.0, 0.0, 0.0), 1.0);
  EXPECT_EQ(SineInNoise::NoiseCorrection(1.0, 0.0, 1.0), 0.0);
}

TEST(SineInNoiseTest, SineShareFindsTheModelsOwnShare) {
  // A histogram that the model gives exactly: 64 bins between its own percentiles, equal counts.
  // The fit must find the sine's share of the power to the search's last step.
  const double a = 1.0;
  const double sigma = 0.3;
  std::vector<double> edges = {0.0};
  std::vector<double> counts;
  for (int k = 1; k <= 64; ++k) {
    edges.push_back(k < 64 ? SineInNoise::Percentile(a, sigma, k / 64.0) : 1e300);
    counts.push_back(1000.0);
  }
  const double power = 0.5 * a * a + sigma * sigma;
  EXPECT_NEAR(SineInNoise::SineShare(edges, counts, power, power), 0.5, 1e-5);
}

}  // namespace
}  // namespace wavfreq
