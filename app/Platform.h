#pragma once

#include <cstdint>
#include <cstdio>

namespace wavfreq {

/// The few operating-system questions the tool asks, answered per platform in one place.
class Platform {
 public:
  /// True when the stream is an interactive terminal (the console shows dots as they come).
  static bool IsTerminal(std::FILE* stream);
  /// Moves a binary stream to an absolute 64-bit offset.
  static bool SeekFile(std::FILE* stream, std::uint64_t offset);
  /// True when both paths name one existing file, however spelled (links included).
  static bool SameExistingFile(const char* first, const char* second);
};

}  // namespace wavfreq
