#include "app/LiveDisplay.h"

#include <gtest/gtest.h>

#include <limits>

namespace wavfreq {
namespace {

RunSummary::Reading Reading(double seconds, double hertz, double error, double flutter) {
  RunSummary::Reading reading;
  reading.seconds = seconds;
  reading.tone = true;
  reading.hertz = hertz;
  reading.speedError = error;
  reading.flutter = flutter;
  return reading;
}

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

TEST(LiveDisplayTest, AReadingIsTheTimeTheMeanTheSpeedErrorAndTheFlutter) {
  EXPECT_EQ(LiveDisplay::Text(Reading(12.0, 3150.4214, 0.01337, 0.09118)),
            "  12.0 s  3150.421 Hz  +0.0134 %  W&F 0.0912 %");
  EXPECT_EQ(LiveDisplay::Text(Reading(7.0, 2999.9, -0.003333, kNone)),
            "   7.0 s  2999.900 Hz  -0.0033 %  W&F --");
  // No nominal frequency applies; an error that rounds to zero has no minus.
  EXPECT_EQ(LiveDisplay::Text(Reading(1.0, 2000.0, kNone, 0.05)),
            "   1.0 s  2000.000 Hz  --  W&F 0.0500 %");
  EXPECT_EQ(LiveDisplay::Text(Reading(1.0, 3150.0, -0.00001, kNone)),
            "   1.0 s  3150.000 Hz  +0.0000 %  W&F --");
  RunSummary::Reading silence;
  silence.seconds = 86400.0;
  EXPECT_EQ(LiveDisplay::Text(silence), "86400.0 s  no tone");
}

TEST(LiveDisplayTest, TheScalePointsAtTheSpeedErrorAndHoldsAtItsEnds) {
  EXPECT_EQ(LiveDisplay::Scale(Reading(1, 3150, 0.0, 0)), "-0.5 % [----------*----------] +0.5 %");
  EXPECT_EQ(LiveDisplay::Scale(Reading(1, 3150, 0.2, 0)), "-0.5 % [----------|---*------] +0.5 %");
  EXPECT_EQ(LiveDisplay::Scale(Reading(1, 3150, 0.13, 0)), "-0.5 % [----------|--*-------] +0.5 %");
  EXPECT_EQ(LiveDisplay::Scale(Reading(1, 3150, -0.5, 0)), "-0.5 % [*---------|----------] +0.5 %");
  EXPECT_EQ(LiveDisplay::Scale(Reading(1, 3150, 0.7, 0)), "-0.5 % [----------|--------->] +0.5 %");
  EXPECT_EQ(LiveDisplay::Scale(Reading(1, 3150, -3, 0)), "-0.5 % [<---------|----------] +0.5 %");
  EXPECT_EQ(LiveDisplay::Scale(Reading(1, 2000, kNone, 0)),
            "-0.5 % [----------|----------] +0.5 %");
}

}  // namespace
}  // namespace wavfreq
