#pragma once

#include <cstdio>

namespace wavfreq {

/// Every console text of the tool goes through here, to one stream with printf formatting.
/// On a terminal each print is flushed at once so that progress dots appear as they happen;
/// into a pipe or file the stream's buffering applies.
class Console {
 public:
  explicit Console(std::FILE* stream);

#if defined(__GNUC__)
  __attribute__((format(printf, 2, 3)))
#endif
  void
  Print(const char* format, ...);

  /// Writes out what is buffered; false when anything printed so far failed to arrive.
  bool Flush();
  /// Whether the console is an interactive terminal, which shows each print at once.
  bool IsTerminal() const {
    return flushEachPrint;
  }

 private:
  std::FILE* out;
  bool flushEachPrint;
};

}  // namespace wavfreq
