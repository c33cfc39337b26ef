#include "meter/AddOnes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace wavfreq {
namespace {

double OneAtATime(double value, std::int64_t count) {
  for (std::int64_t i = 0; i < count; ++i) {
    value = value + 1.0;
  }
  return value;
}

TEST(AddOnesTest, GivesTheBitsOfOneAdditionAfterAnother) {
  // Values whose additions round where they reach a power of two, fractions that round from the
  // first addition on, and random ones, with counts that pass several powers of two.
  std::vector<double> values = {0.0, 0.1, 0.5, 0.75, 0.9999999999999999, 1.0, 1.5, 11.0 / 16.0};
  for (int e = 1; e < 40; e += 3) {
    const double power = std::ldexp(1.0, e);
    for (double offset : {-1.0, -0.5, -0.3125, 0.0}) {
      values.push_back(std::nextafter(power + offset, 0.0));
      values.push_back(power + offset);
    }
  }
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> fraction(0.0, 1.0);
  for (int i = 0; i < 2000; ++i) {
    values.push_back(fraction(random) * std::ldexp(1.0, static_cast<int>(random() % 30)));
    // The start of a distance between crossings: 1 less a crossing's place, fine bits and all.
    values.push_back(1.0 - fraction(random) * std::ldexp(1.0, -static_cast<int>(random() % 60)));
  }
  for (double value : values) {
    for (std::int64_t count :
         {0, 1, 2, 3, 4, 5, 7, 8, 15, 16, 17, 22, 31, 32, 33, 64, 1000, 70000}) {
      const double expected = OneAtATime(value, count);
      const double actual = AddOnes(value, count);
      ASSERT_EQ(std::memcmp(&expected, &actual, sizeof expected), 0)
          << std::hexfloat << value << " + " << count << ": " << expected << " vs " << actual;
    }
  }
}

}  // namespace
}  // namespace wavfreq
