#include "output/FixedPoint.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

namespace wavfreq {
namespace {

template <int Decimals>
std::string Text(double value) {
  char text[400];
  char* end = FixedPoint::Append<Decimals>(text, text + sizeof text - 8, value);
  return std::string(text, end);
}

template <int Decimals>
std::string Printf(double value) {
  char text[400];
  std::snprintf(text, sizeof text, "%.*f", Decimals, value);
  return text;
}

TEST(FixedPointTest, NonFiniteValuesAreSpelledTheSameEverywhere) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(Text<6>(inf), "inf");
  EXPECT_EQ(Text<3>(-inf), "-inf");
  EXPECT_EQ(Text<3>(nan), "nan");
  EXPECT_EQ(Text<6>(-nan), "nan");
}

// Every number of decimals the tool uses and more, on random magnitudes from 1e-12 to 1e12 of
// either sign, on binary ties, and around 2^32, where the short conversion hands over.
template <int Decimals>
void ExpectPrintfDigits(std::uint64_t seed) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> magnitude(-12.0, 12.0);
  for (int i = 0; i < 20000; ++i) {
    double value = std::pow(10.0, magnitude(random)) * (i % 2 ? -1 : 1);
    if (i % 10 == 0) {
      value = static_cast<double>(2 * i + 1) / 2048.0;  // a tie at up to 11 binary places
    } else if (i % 10 == 1) {
      value = std::nextafter(4294967296.0, 0.0) + (i % 5) * 0.5;
    } else if (i % 10 == 2) {
      value = -std::pow(10.0, -magnitude(random) - 12.0);  // rounds to -0.000...
    }
    ASSERT_EQ(Text<Decimals>(value), Printf<Decimals>(value)) << value;
  }
}

TEST(FixedPointTest, DigitsMatchPrintfForManyValues) {
  ExpectPrintfDigits<1>(1);
  ExpectPrintfDigits<3>(3);
  ExpectPrintfDigits<4>(4);
  ExpectPrintfDigits<5>(5);
  ExpectPrintfDigits<6>(6);
  EXPECT_EQ(Text<6>(1e20), "100000000000000000000.000000");
  EXPECT_EQ(Text<3>(123.4567), "123.457");
}

}  // namespace
}  // namespace wavfreq
