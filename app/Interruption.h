#pragma once

#include <csignal>

namespace wavfreq {

/// Ends a run early but cleanly on SIGINT, SIGTERM and SIGHUP (on Windows: Ctrl-C, Ctrl-Break and
/// closing the console). The handlers only record the signal; the sample loop looks at the record
/// and stops, and the run still writes every line it measured. A second signal ends the process
/// at once.
class Interruption {
 public:
  /// Installs the handlers and returns the record they write: 0 until a signal arrives, then the
  /// signal's number.
  static const volatile std::sig_atomic_t& Install();
  /// After a signal, reads of this descriptor find the end of the input at once, instead of
  /// waiting on for a pipe whose writer may never go on.
  static void WatchInput(int descriptor);
  /// The exit code of a run that a signal ended: 128 plus its number, as shells report it.
  static int ExitCode(int signal) { return 128 + signal; }
};

}  // namespace wavfreq
