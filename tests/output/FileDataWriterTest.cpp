#include "output/FileDataWriter.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <random>

#include "support/TempFile.h"

namespace wavfreq {
namespace {

using test::ReadText;
using test::TempFile;

std::string Written(double interval, const std::vector<std::pair<double, double>>& values) {
  TempFile out(".txt");
  {
    FileDataWriter writer(out.c_str(), interval);
    for (const auto& value : values) {
      writer.WriteValue(value.first, value.second);
    }
  }
  return ReadText(out.Path());
}

TEST(FileDataWriterTest, HeaderAndValueLinesEndInCrLf) {
  TempFile out(".txt");
  {
    FileDataWriter writer(out.c_str(), 0.005);
    writer.WriteText("Time:  \tFreq:\n");
    writer.WriteValue(2.5, 1000.0);
    EXPECT_FALSE(writer.HasError());
  }
  EXPECT_EQ(ReadText(out.Path()), "Time:  \tFreq:\r\n2.500000\t1000.000\r\n");
}

TEST(FileDataWriterTest, TimesHaveSixDecimalsAndFrequenciesThree) {
  EXPECT_EQ(Written(0.0, {{-0.5, 123.4567}}), "-0.500000\t123.457\r\n");
  EXPECT_EQ(Written(0.0, {{0.0125, 440.0}}), "0.012500\t440.000\r\n");
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(Written(0.0, {{inf, -inf}}), "inf\t-inf\r\n");
}

TEST(FileDataWriterTest, ThinsByStrictDifferenceFromTheLastAcceptedTime) {
  // First value always; 1.25 - 1.0 equals the interval and is dropped; 1.3 is accepted and becomes
  // the reference, so 1.5 (0.2 later) is dropped and 1.56 is accepted.
  EXPECT_EQ(Written(0.25, {{1.0, 1}, {1.25, 2}, {1.3, 3}, {1.5, 4}, {1.56, 5}, {1.0, 6}}),
            "1.000000\t1.000\r\n1.300000\t3.000\r\n1.560000\t5.000\r\n");
  // 1.005 - 1.0 falls just below 0.005 in doubles.
  EXPECT_EQ(Written(1.0 / 200, {{1.0, 1}, {1.005, 2}, {1.006, 3}}),
            "1.000000\t1.000\r\n1.006000\t3.000\r\n");
  EXPECT_EQ(Written(0.0, {{-3.0, 1}, {-3.0, 2}, {-2.0, 3}}),
            "-3.000000\t1.000\r\n-2.000000\t3.000\r\n");
  EXPECT_EQ(Written(std::numeric_limits<double>::infinity(), {{0, 1}, {1e300, 2}}),
            "0.000000\t1.000\r\n");
  // A negative interval (negative output rate) lets repeats through, and drops only values that
  // lie the interval's magnitude or more before the last.
  EXPECT_EQ(Written(-0.2, {{1.0, 1}, {1.0, 2}, {0.85, 3}, {0.6, 4}}),
            "1.000000\t1.000\r\n1.000000\t2.000\r\n0.850000\t3.000\r\n");
}

TEST(FileDataWriterTest, TimesUpToDropsUpToAreDroppedAndItLiesJustBelowTheNextLine) {
  EXPECT_EQ(FileDataWriter::ToStandardOutput(0.005).DropsUpTo(),
            -std::numeric_limits<double>::infinity());
  std::mt19937_64 random(3);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (int i = 0; i < 3000; ++i) {
    const double interval = i % 5 == 0 ? 0.0 : std::ldexp(unit(random), -(i % 40));
    const double last = std::ldexp(unit(random), static_cast<int>(random() % 30) - 10);
    TempFile out(".txt");
    FileDataWriter writer(out.c_str(), interval);
    writer.WriteValue(last, 1.0);
    const double bound = writer.DropsUpTo();
    // Within a hair of the rule's own edge, and below it.
    ASSERT_GE(bound, last + interval - (std::fabs(last) + std::fabs(interval)) * 1e-11)
        << last << " " << interval;
    for (double time : {bound, std::nextafter(bound, -1e300), bound - std::fabs(bound) * 1e-13}) {
      writer.WriteValue(time, 2.0);
      ASSERT_EQ(writer.LinesAccepted(), 1) << std::hexfloat << last << " " << interval;
    }
  }
}

TEST(FileDataWriterTest, EmptyTextWritesNothing) {
  TempFile out(".txt");
  {
    FileDataWriter writer(out.c_str(), 0.005);
    writer.WriteText("");
    EXPECT_FALSE(writer.HasError());
  }
  EXPECT_EQ(ReadText(out.Path()), "");
}

TEST(FileDataWriterTest, UnopenableFileIsRecordedAndLaterCallsAreHarmless) {
  FileDataWriter writer("/nonexistent-dir/wavfreq/out.txt", 0.25);
  EXPECT_TRUE(writer.HasError());
  EXPECT_EQ(writer.GetErrorCode(), ENOENT);
  EXPECT_EQ(writer.GetErrorMessage(), "Can not open file.");
  writer.WriteText("Time:  \tFreq:\n");
  writer.WriteValue(1.0, 2.0);
  writer.Flush();
  EXPECT_EQ(writer.GetErrorCode(), ENOENT);
  EXPECT_EQ(writer.GetErrorMessage(), "Can not open file.");
}

TEST(FileDataWriterTest, ErrorsReadThroughTheInterfaceAreTheRecord) {
  std::unique_ptr<IErrorInfoProvider> writer =
      std::make_unique<FileDataWriter>("/nonexistent-dir/out.txt", 1.0);
  EXPECT_TRUE(writer->HasError());
  EXPECT_EQ(writer->GetErrorMessage(), "Can not open file.");
}

#ifdef __linux__
TEST(FileDataWriterTest, FullDiskIsRecordedOnFlush) {
  FileDataWriter writer("/dev/full", 0.005);
  ASSERT_FALSE(writer.HasError());
  writer.WriteText("Time:  \tFreq:\n");
  writer.WriteValue(1.0, 2.0);
  writer.Flush();
  EXPECT_TRUE(writer.HasError());
  EXPECT_EQ(writer.GetErrorCode(), ENOSPC);
  EXPECT_EQ(writer.GetErrorMessage(), "Can not write data to file.");
}
#endif

}  // namespace
}  // namespace wavfreq
