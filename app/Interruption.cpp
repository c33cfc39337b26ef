#include "app/Interruption.h"

#include <cerrno>
#include <csignal>
#include <initializer_list>

#include "core/WindowsApi.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace wavfreq {

namespace {

StopFlag received{0};

#ifdef _WIN32

// Windows runs console handlers on a thread of their own, so a read that the main thread is
// blocked in is cancelled from there.
HANDLE mainThread = nullptr;

constexpr int kSigBreak = 21;
constexpr int kSigHangUp = 1;

BOOL WINAPI OnConsoleEvent(DWORD event) {
  const int signal = event == CTRL_C_EVENT       ? SIGINT
                     : event == CTRL_BREAK_EVENT ? kSigBreak
                     : event == CTRL_CLOSE_EVENT ? kSigHangUp
                                                 : 0;
  int none = 0;
  if (signal == 0 || !received.compare_exchange_strong(none, signal)) {
    return FALSE;  // the default handling ends the process
  }
  if (mainThread != nullptr) {
    CancelSynchronousIo(mainThread);
  }
  if (event == CTRL_CLOSE_EVENT) {
    // The process ends when this handler returns: give the run time to write its results.
    Sleep(4000);
  }
  return TRUE;
}

#else

// Set before the input is read, read by the handler.
volatile std::sig_atomic_t watchedInput = -1;
int nullInput = -1;

extern "C" void OnSignal(int signal) {
  // The interrupted code may be about to read errno: dup2 and raise must not change it.
  const int savedErrno = errno;
  if (received.load() != 0) {
    // The second signal ends the process at once, as if no handler were installed.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
  } else {
    received.store(signal);
    // Whatever read comes next sees the end of the input; one in progress returns with EINTR.
    if (watchedInput >= 0 && nullInput >= 0) {
      dup2(nullInput, watchedInput);
    }
  }
  errno = savedErrno;
}

#endif

}  // namespace

const StopFlag& Interruption::Install() {
#ifdef _WIN32
  DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &mainThread, 0,
                  FALSE, DUPLICATE_SAME_ACCESS);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
  nullInput = open("/dev/null", O_RDONLY | O_CLOEXEC);
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigfillset(&action.sa_mask);
  // No SA_RESTART: a blocked read of a pipe returns, so that the run can end.
  action.sa_flags = 0;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    sigaction(signal, &action, nullptr);
  }
#endif
  return received;
}

void Interruption::WatchInput(int descriptor) {
#ifdef _WIN32
  (void)descriptor;  // the blocked read is cancelled instead
#else
  watchedInput = descriptor;
#endif
}

}  // namespace wavfreq
