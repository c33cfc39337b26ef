#pragma once

#include <cstdio>
#include <functional>
#include <thread>

namespace wavfreq {

/// The few operating-system questions the tool asks, answered per platform in one place.
class Platform {
 public:
  /// True when the stream is an interactive terminal (the console shows dots as they come).
  static bool IsTerminal(std::FILE* stream);
  /// True when both paths name one existing file, however spelled (links included).
  static bool SameExistingFile(const char* first, const char* second);
  /// Starts a thread that no signal is delivered to: SIGINT and the like must reach the main
  /// thread, whose blocked read of a pipe they end. Throws std::system_error where no thread can
  /// be started.
  static std::thread StartQuietThread(std::function<void()> work);
};

}  // namespace wavfreq
