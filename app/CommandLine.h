#pragma once

#include <string>

namespace wavfreq {

/// What the command line asks for:
/// `[-ch:N] [-rate:R] [-out:K] [-gate:N] [-band:L-H] [-stats] [-live] [-nominal:F] [-rpm:R]
/// [-report:FILE] [-json:FILE] <input.wav> <output.txt>`.
/// Options with values are matched by prefix and must stand before the two paths, which are always
/// the last two arguments. A lone "-h", "--help" or "-?" asks for help, a lone "--version" for the
/// banner.
class CommandLine {
 public:
  enum class Outcome {
    kRun,
    kUsage,
    kUnknownOption,
    kZeroRate,
    kBadGate,
    kBadBand,
    kBadNominal,
    kBadRpm,
    kBadReport,
    kBadJson,
    kBothOnStandardOutput,
    kHelp,
    kVersion
  };

  /// The gate's level in dBFS must lie in this range.
  static constexpr int kQuietestGate = -120;
  static constexpr int kLoudestGate = -1;

  /// Reads the arguments; argument 0 is the program's name.
  static CommandLine Parse(int argc, const char* const* argv);

  /// An option value read like strtol in base 10 (leading blanks, one sign, digits up to the first
  /// other character, 0 without digits), clamped to the 32-bit range.
  static int ParseValue(const char* text);
  /// The band's edges from "L-H": two decimal integers of the 32-bit range joined by a hyphen,
  /// nothing else, with 0 < L < H. False for anything else.
  static bool ParseBand(const char* text, int& low, int& high);
  /// A frequency in hertz: decimal digits with at most one point, above 0 and below 10^9. False
  /// for anything else (signs, exponents, blanks, "inf").
  static bool ParseHertz(const char* text, double& hertz);
  /// Turns a minute: decimal digits with at most one point, above 0 and below 10000.
  static bool ParseRpm(const char* text, double& rpm);

  Outcome outcome = Outcome::kUsage;
  /// The argument that matched no option, for kUnknownOption.
  std::string unknownOption;
  std::string inputPath;
  std::string outputPath;
  /// "-" as a path: standard input for the WAV file, standard output for the result table. This
  /// is the one place that gives "-" its meaning; the components below take streams.
  static constexpr const char* kStandardStream = "-";
  static bool IsStandardStream(const std::string& path) { return path == kStandardStream; }
  int channel = 0;
  int valueRate = 100;
  /// 2 x the value rate unless given; a negative rate is kept as it is.
  int outputRate = 0;
  /// A crossing counts only after the signal has been beyond +-gateLevel dBFS (`-gate:N`).
  bool gate = false;
  int gateLevel = 0;
  /// The measured channel passes a band-pass filter from bandLow to bandHigh Hz (`-band:L-H`).
  bool band = false;
  int bandLow = 0;
  int bandHigh = 0;
  /// A summary of the results on the console after the run (`-stats`).
  bool stats = false;
  /// A reading of the tone on the console once a second of the input, in place of the dots
  /// (`-live`).
  bool live = false;
  /// The frequency the speed error is taken against (`-nominal:F`); 0 for the nearest standard
  /// test frequency.
  double nominal = 0.0;
  /// The turns a minute of the platter or capstan (`-rpm:R`); 0 for none.
  double rpm = 0.0;
  /// Where the report goes (`-report:FILE`); empty for none.
  std::string reportPath;
  /// Where the summary goes as JSON (`-json:FILE`, "-" for standard output); empty for none.
  std::string jsonPath;
  /// Whether the run measures the summary: for the summary, the live readings, the report or
  /// the JSON.
  bool Summarises() const { return stats || live || !reportPath.empty() || !jsonPath.empty(); }
  /// Whether the console goes to standard error: when the table or the JSON takes standard
  /// output. Read from the arguments as they stand, before they are parsed.
  static bool ConsoleOnStandardError(int argc, const char* const* argv);
};

}  // namespace wavfreq
