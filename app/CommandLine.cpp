#include "app/CommandLine.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace wavfreq {

namespace {

constexpr std::int64_t kIntMin = std::numeric_limits<int>::min();
constexpr std::int64_t kIntMax = std::numeric_limits<int>::max();

int Clamp(std::int64_t value) {
  return static_cast<int>(value < kIntMin ? kIntMin : value > kIntMax ? kIntMax : value);
}

bool HasPrefix(const char* argument, const char* prefix) {
  return std::strncmp(argument, prefix, std::strlen(prefix)) == 0;
}

}  // namespace

int CommandLine::ParseValue(const char* text) {
  const char* c = text;
  while (*c == ' ' || *c == '\t' || *c == '\n' || *c == '\v' || *c == '\f' || *c == '\r') {
    ++c;
  }
  bool negative = false;
  if (*c == '+' || *c == '-') {
    negative = *c == '-';
    ++c;
  }
  // Accumulating past the 32-bit range is pointless: stop growing there and clamp at the end.
  std::int64_t magnitude = 0;
  for (; *c >= '0' && *c <= '9'; ++c) {
    if (magnitude <= kIntMax) {
      magnitude = magnitude * 10 + (*c - '0');
    }
  }
  return Clamp(negative ? -magnitude : magnitude);
}

namespace {

// Digits up to the first other character, as a value of the 32-bit range; false when there are
// none or the value leaves the range.
bool ParseDigits(const char*& c, int& value) {
  std::int64_t number = 0;
  const char* start = c;
  for (; *c >= '0' && *c <= '9'; ++c) {
    number = number * 10 + (*c - '0');
    if (number > kIntMax) {
      return false;
    }
  }
  value = static_cast<int>(number);
  return c != start;
}

}  // namespace

bool CommandLine::ParseBand(const char* text, int& low, int& high) {
  const char* c = text;
  if (!ParseDigits(c, low) || *c != '-') {
    return false;
  }
  ++c;
  return ParseDigits(c, high) && *c == '\0' && low > 0 && low < high;
}

namespace {

// Decimal digits with at most one point, above 0 and below `limit`.
bool ParseDecimal(const char* text, double limit, double& value) {
  int digits = 0;
  int points = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c >= '0' && *c <= '9') {
      ++digits;
    } else if (*c == '.' && points == 0) {
      ++points;
    } else {
      return false;
    }
  }
  if (digits == 0) {
    return false;
  }
  // Only digits and one point are left, which strtod reads the same in every locale that keeps
  // '.' as its decimal point; the program never changes the "C" locale.
  value = std::strtod(text, nullptr);
  return value > 0.0 && value < limit;
}

}  // namespace

bool CommandLine::ParseHertz(const char* text, double& hertz) {
  return ParseDecimal(text, 1e9, hertz);
}

bool CommandLine::ParseRpm(const char* text, double& rpm) {
  return ParseDecimal(text, 10000.0, rpm);
}

bool CommandLine::ConsoleOnStandardError(int argc, const char* const* argv) {
  if (argc < 3) {
    return false;
  }
  // The last -json: wins, as it does when the arguments are parsed.
  bool json = false;
  for (int i = 1; i <= argc - 3; ++i) {
    if (HasPrefix(argv[i], "-json:")) {
      json = IsStandardStream(argv[i] + 6);
    }
  }
  return json || IsStandardStream(argv[argc - 1]);
}

CommandLine CommandLine::Parse(int argc, const char* const* argv) {
  CommandLine line;
  if (argc == 2) {
    const std::string only = argv[1];
    if (only == "-h" || only == "--help" || only == "-?") {
      line.outcome = Outcome::kHelp;
      return line;
    }
    if (only == "--version") {
      line.outcome = Outcome::kVersion;
      return line;
    }
  }
  if (argc < 3) {
    line.outcome = Outcome::kUsage;
    return line;
  }
  line.inputPath = argv[argc - 2];
  line.outputPath = argv[argc - 1];
  for (int i = 1; i <= argc - 3; ++i) {
    const char* argument = argv[i];
    if (HasPrefix(argument, "-ch:")) {
      line.channel = ParseValue(argument + 4);
    } else if (HasPrefix(argument, "-rate:")) {
      line.valueRate = ParseValue(argument + 6);
    } else if (HasPrefix(argument, "-out:")) {
      line.outputRate = ParseValue(argument + 5);
    } else if (HasPrefix(argument, "-gate:")) {
      line.gate = true;
      line.gateLevel = ParseValue(argument + 6);
    } else if (HasPrefix(argument, "-band:")) {
      line.band = true;
      if (!ParseBand(argument + 6, line.bandLow, line.bandHigh)) {
        line.bandLow = line.bandHigh = 0;
      }
    } else if (HasPrefix(argument, "-nominal:")) {
      if (!ParseHertz(argument + 9, line.nominal)) {
        line.outcome = Outcome::kBadNominal;
        return line;
      }
    } else if (HasPrefix(argument, "-rpm:")) {
      if (!ParseRpm(argument + 5, line.rpm)) {
        line.outcome = Outcome::kBadRpm;
        return line;
      }
    } else if (HasPrefix(argument, "-report:")) {
      line.reportPath = argument + 8;
      // A report needs a file of its own: standard output carries the console or the table.
      if (line.reportPath.empty() || IsStandardStream(line.reportPath)) {
        line.outcome = Outcome::kBadReport;
        return line;
      }
    } else if (HasPrefix(argument, "-json:")) {
      line.jsonPath = argument + 6;
      if (line.jsonPath.empty()) {
        line.outcome = Outcome::kBadJson;
        return line;
      }
    } else if (std::strcmp(argument, "-stats") == 0) {
      line.stats = true;
    } else if (std::strcmp(argument, "-live") == 0) {
      line.live = true;
    } else {
      line.outcome = Outcome::kUnknownOption;
      line.unknownOption = argument;
      return line;
    }
  }
  if (IsStandardStream(line.jsonPath) && IsStandardStream(line.outputPath)) {
    line.outcome = Outcome::kBothOnStandardOutput;
    return line;
  }
  if (line.valueRate == 0) {
    line.outcome = Outcome::kZeroRate;
    return line;
  }
  if (line.gate && (line.gateLevel < kQuietestGate || line.gateLevel > kLoudestGate)) {
    line.outcome = Outcome::kBadGate;
    return line;
  }
  if (line.band && line.bandLow == 0) {
    line.outcome = Outcome::kBadBand;
    return line;
  }
  // K is settled after all options, so -out:7 -rate:50 keeps 7. Twice R may leave the int range.
  if (line.outputRate == 0) {
    line.outputRate = Clamp(2 * static_cast<std::int64_t>(line.valueRate));
  }
  line.outcome = Outcome::kRun;
  return line;
}

}  // namespace wavfreq
