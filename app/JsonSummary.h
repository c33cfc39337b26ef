#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/CommandLine.h"

namespace wavfreq {

/// The run's summary as one JSON document, for scripts: the input, the options, the table's
/// line count, the tones as the summary gives them, and how the run ended.
class JsonSummary {
 public:
  /// What the run found of its input, once the input was open.
  struct Input {
    bool open = false;
    int sampleRate = 0;
    int bits = 0;
    bool floatingPoint = false;
    int channels = 0;
  };
  /// What the run measured and how it ended.
  struct Run {
    Input input;
    std::int64_t lines = 0;
    std::vector<std::string> tones;  // each tone's object, two indents in
    std::int64_t shortTones = 0;
    std::int64_t unshownTones = 0;
    int exitStatus = 0;
    std::string error;  // the error line's message, empty for none
  };

  static std::string Document(const CommandLine& line, const Run& run);
  /// A decimal option as a JSON number: "33.33", "3150".
  static std::string Decimal(double value);
};

}  // namespace wavfreq
