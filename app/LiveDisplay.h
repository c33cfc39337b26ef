#pragma once

#include <cstddef>
#include <string>

#include "app/Console.h"
#include "stats/RunSummary.h"

namespace wavfreq {

/// The readings of `-live` on the console, once a second of the input: into a pipe or a file,
/// each on a line of its own, a log of the run; on a terminal, one line rewritten in place, with a
/// pointer on a scale of the speed error (+-0.5 %) to set a trimmer by eye.
class LiveDisplay {
 public:
  explicit LiveDisplay(Console& console);

  void Show(const RunSummary::Reading& reading);
  /// Ends the line rewritten in place, so that what comes next starts a line of its own.
  void Close();

  /// "  12.0 s  3150.421 Hz  +0.0134 %  W&F 0.0912 %": the time, the mean, the speed error
  /// (`--` where no nominal frequency applies) and the weighted two-sigma figure of the last 10 s
  /// (`--` until the weighting has settled); "  12.0 s  no tone" without one.
  static std::string Text(const RunSummary::Reading& reading);
  /// "-0.5 % [----------|-*--------] +0.5 %": a pointer at the speed error, 0.05 % a mark, held
  /// at either end ('<', '>') beyond it; no pointer where there is no speed error.
  static std::string Scale(const RunSummary::Reading& reading);

 private:
  Console& out;
  bool inPlace;
  std::size_t shown = 0;  // characters of the line shown in place
};

}  // namespace wavfreq
