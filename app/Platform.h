#pragma once

#include <cstdio>

namespace wavfreq {

/// The few operating-system questions the tool asks, answered per platform in one place.
class Platform {
 public:
  /// True when the stream is an interactive terminal (the console shows dots as they come).
  static bool IsTerminal(std::FILE* stream);
  /// True when both paths name one existing file, however spelled (links included).
  static bool SameExistingFile(const char* first, const char* second);
};

}  // namespace wavfreq
