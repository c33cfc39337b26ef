#pragma once

#include <atomic>

namespace wavfreq {

/// 0 while a run may go on; the number of the signal that asked it to stop. Atomic, because on
/// Windows the console's handlers run on a thread of their own; lock-free, so that a POSIX signal
/// handler may write it.
using StopFlag = std::atomic<int>;
static_assert(StopFlag::is_always_lock_free, "a signal handler may write only a lock-free atomic");

/// Ends a run early but cleanly on SIGINT, SIGTERM and SIGHUP (on Windows: Ctrl-C, Ctrl-Break and
/// closing the console). The handlers only record the signal; the sample loop looks at the record
/// and stops, and the run still writes every line it measured. A second signal ends the process
/// at once.
class Interruption {
 public:
  /// Installs the handlers and returns the record they write: 0 until a signal arrives, then the
  /// signal's number.
  static const StopFlag& Install();
  /// After a signal, reads of this descriptor find the end of the input at once, instead of
  /// waiting on for a pipe whose writer may never go on.
  static void WatchInput(int descriptor);
  /// The exit code of a run that a signal ended: 128 plus its number, as shells report it.
  static int ExitCode(int signal) { return 128 + signal; }
};

}  // namespace wavfreq
