#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <vector>

namespace wavfreq {
namespace {

CommandLine Parse(std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "wavfreq");
  return CommandLine::Parse(static_cast<int>(arguments.size()), arguments.data());
}

TEST(CommandLineTest, ValuesAreReadLikeStrtolAndClampedTo32Bits) {
  EXPECT_EQ(CommandLine::ParseValue(""), 0);
  EXPECT_EQ(CommandLine::ParseValue("abc"), 0);
  EXPECT_EQ(CommandLine::ParseValue("3x"), 3);
  EXPECT_EQ(CommandLine::ParseValue("  \t-12"), -12);
  EXPECT_EQ(CommandLine::ParseValue("+7"), 7);
  EXPECT_EQ(CommandLine::ParseValue("- 7"), 0);
  EXPECT_EQ(CommandLine::ParseValue("2147483647"), 2147483647);
  EXPECT_EQ(CommandLine::ParseValue("2147483648"), 2147483647);
  EXPECT_EQ(CommandLine::ParseValue("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(CommandLine::ParseValue("99999999999"), 2147483647);
  EXPECT_EQ(CommandLine::ParseValue("-99999999999"), -2147483647 - 1);
  EXPECT_EQ(CommandLine::ParseValue("123456789012345678901234567890"), 2147483647);
}

TEST(CommandLineTest, TwoArgumentsAreThePathsWithDefaults) {
  CommandLine line = Parse({"in.wav", "out.txt"});
  EXPECT_EQ(line.outcome, CommandLine::Outcome::kRun);
  EXPECT_EQ(line.inputPath, "in.wav");
  EXPECT_EQ(line.outputPath, "out.txt");
  EXPECT_EQ(line.channel, 0);
  EXPECT_EQ(line.valueRate, 100);
  EXPECT_EQ(line.outputRate, 200);

  // The last two positions are always the paths, even when they look like options.
  line = Parse({"-ch:1", "out.txt"});
  EXPECT_EQ(line.inputPath, "-ch:1");
  EXPECT_EQ(line.channel, 0);
}

TEST(CommandLineTest, TooFewArgumentsAskForUsage) {
  EXPECT_EQ(Parse({}).outcome, CommandLine::Outcome::kUsage);
  EXPECT_EQ(Parse({"in.wav"}).outcome, CommandLine::Outcome::kUsage);
}

TEST(CommandLineTest, OptionsMatchByPrefixAndLaterOnesWin) {
  EXPECT_EQ(Parse({"-ch:", "a", "b"}).channel, 0);
  EXPECT_EQ(Parse({"-ch:3x", "a", "b"}).channel, 3);
  EXPECT_EQ(Parse({"-ch:2", "-ch:0", "a", "b"}).channel, 0);
  EXPECT_EQ(Parse({"-ch:-1", "a", "b"}).channel, -1);
}

TEST(CommandLineTest, OutputRateIsSettledAfterAllOptions) {
  EXPECT_EQ(Parse({"-rate:50", "a", "b"}).outputRate, 100);
  EXPECT_EQ(Parse({"-rate:50", "-out:0", "a", "b"}).outputRate, 100);
  EXPECT_EQ(Parse({"-out:7", "-rate:50", "a", "b"}).outputRate, 7);
  EXPECT_EQ(Parse({"-out:-5", "a", "b"}).outputRate, -5);
  EXPECT_EQ(Parse({"-rate:-3", "a", "b"}).outputRate, -6);
  EXPECT_EQ(Parse({"-rate:2000000000", "a", "b"}).outputRate, 2147483647);
  EXPECT_EQ(Parse({"-rate:-2000000000", "a", "b"}).outputRate, -2147483647 - 1);
}

TEST(CommandLineTest, UnknownOptionStopsTheLoop) {
  for (const char* bad : {"-ch", "-CH:1", "-channel:1", "in.wav"}) {
    CommandLine line = Parse({bad, "-rate:0", "a", "b"});
    EXPECT_EQ(line.outcome, CommandLine::Outcome::kUnknownOption) << bad;
    EXPECT_EQ(line.unknownOption, bad);
  }
  // Options after the paths put the input path in option position.
  CommandLine line = Parse({"in.wav", "out.txt", "-ch:1"});
  EXPECT_EQ(line.unknownOption, "in.wav");
}

TEST(CommandLineTest, GateAndStatsOptions) {
  CommandLine line = Parse({"-gate:-40", "-stats", "a", "b"});
  EXPECT_EQ(line.outcome, CommandLine::Outcome::kRun);
  EXPECT_TRUE(line.gate);
  EXPECT_EQ(line.gateLevel, -40);
  EXPECT_TRUE(line.stats);
  line = Parse({"a", "b"});
  EXPECT_FALSE(line.gate);
  EXPECT_FALSE(line.stats);
  // The range ends are levels; past them, and a gate of no level, are refused.
  EXPECT_EQ(Parse({"-gate:-120", "a", "b"}).outcome, CommandLine::Outcome::kRun);
  EXPECT_EQ(Parse({"-gate:-1", "a", "b"}).outcome, CommandLine::Outcome::kRun);
  for (const char* gate : {"-gate:-121", "-gate:0", "-gate:", "-gate:x"}) {
    EXPECT_EQ(Parse({gate, "a", "b"}).outcome, CommandLine::Outcome::kBadGate) << gate;
  }
  // -stats is a flag: nothing may follow it.
  EXPECT_EQ(Parse({"-statsx", "a", "b"}).outcome, CommandLine::Outcome::kUnknownOption);
}

TEST(CommandLineTest, BandIsTwoWholeNumbersOfHertzInOrder) {
  CommandLine line = Parse({"-band:45-55", "a", "b"});
  EXPECT_EQ(line.outcome, CommandLine::Outcome::kRun);
  EXPECT_TRUE(line.band);
  EXPECT_EQ(line.bandLow, 45);
  EXPECT_EQ(line.bandHigh, 55);
  EXPECT_FALSE(Parse({"a", "b"}).band);
  EXPECT_EQ(Parse({"-band:1-2147483647", "a", "b"}).bandHigh, 2147483647);
  for (const char* band : {"-band:", "-band:45", "-band:45-", "-band:-45-55", "-band:55-45",
                           "-band:45-45", "-band:0-10", "-band:45-55x", "-band:45 -55",
                           "-band:+45-55", "-band:45-2147483648", "-band:4.5-55"}) {
    EXPECT_EQ(Parse({band, "a", "b"}).outcome, CommandLine::Outcome::kBadBand) << band;
  }
}

TEST(CommandLineTest, NominalIsAPositiveDecimalOfHertz) {
  EXPECT_EQ(Parse({"a", "b"}).nominal, 0.0);
  EXPECT_EQ(Parse({"-nominal:3150", "a", "b"}).nominal, 3150.0);
  EXPECT_EQ(Parse({"-nominal:3000.25", "a", "b"}).nominal, 3000.25);
  EXPECT_EQ(Parse({"-nominal:.5", "a", "b"}).nominal, 0.5);
  for (const char* nominal :
       {"-nominal:", "-nominal:0", "-nominal:-50", "-nominal:1e3", "-nominal:50Hz", "-nominal:inf",
        "-nominal:1.2.3", "-nominal:.", "-nominal:1000000000"}) {
    EXPECT_EQ(Parse({nominal, "a", "b"}).outcome, CommandLine::Outcome::kBadNominal) << nominal;
  }
}

TEST(CommandLineTest, TurnAndReportAskForTheSummarysMeasurement) {
  EXPECT_FALSE(Parse({"a", "b"}).Summarises());
  const CommandLine line = Parse({"-rpm:33.33", "-report:r.svg", "a", "b"});
  EXPECT_EQ(line.rpm, 33.33);
  EXPECT_EQ(line.reportPath, "r.svg");
  EXPECT_TRUE(line.Summarises());
  EXPECT_FALSE(Parse({"-rpm:45", "a", "b"}).Summarises());
  EXPECT_EQ(Parse({"-rpm:9999.99", "a", "b"}).rpm, 9999.99);
  EXPECT_EQ(Parse({"-rpm:10000", "a", "b"}).outcome, CommandLine::Outcome::kBadRpm);
}

TEST(CommandLineTest, JsonTakesStandardOutputFromTheConsoleButNotFromTheTable) {
  const char* const jsonOut[] = {"wavfreq", "-json:-", "a", "b"};
  const char* const jsonFile[] = {"wavfreq", "-json:-", "-json:r.json", "a", "b"};
  const char* const tableOut[] = {"wavfreq", "a", "-"};
  EXPECT_TRUE(CommandLine::ConsoleOnStandardError(4, jsonOut));
  EXPECT_FALSE(CommandLine::ConsoleOnStandardError(5, jsonFile));
  EXPECT_TRUE(CommandLine::ConsoleOnStandardError(3, tableOut));
  EXPECT_EQ(Parse({"-json:r.json", "a", "b"}).jsonPath, "r.json");
  EXPECT_TRUE(Parse({"-json:r.json", "a", "b"}).Summarises());
  EXPECT_EQ(Parse({"-json:", "a", "b"}).outcome, CommandLine::Outcome::kBadJson);
  EXPECT_EQ(Parse({"-json:-", "a", "-"}).outcome, CommandLine::Outcome::kBothOnStandardOutput);
}

TEST(CommandLineTest, ZeroValueRateIsRefused) {
  EXPECT_EQ(Parse({"-rate:0", "a", "b"}).outcome, CommandLine::Outcome::kZeroRate);
  EXPECT_EQ(Parse({"-rate:", "a", "b"}).outcome, CommandLine::Outcome::kZeroRate);
  EXPECT_EQ(Parse({"-rate:abc", "a", "b"}).outcome, CommandLine::Outcome::kZeroRate);
}

}  // namespace
}  // namespace wavfreq
