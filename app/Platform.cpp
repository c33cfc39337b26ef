#include "app/Platform.h"

#include <utility>

#include "core/WindowsApi.h"

#ifdef _WIN32
#include <io.h>
#else
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace wavfreq {

#ifdef _WIN32

bool Platform::IsTerminal(std::FILE* stream) {
  return _isatty(_fileno(stream)) != 0;
}

namespace {

// Volume serial number and file index identify a file on Windows, whatever its path.
bool FileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return false;
  }
  bool known = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  return known;
}

}  // namespace

bool Platform::SameExistingFile(const char* first, const char* second) {
  BY_HANDLE_FILE_INFORMATION a;
  BY_HANDLE_FILE_INFORMATION b;
  if (!FileIdentity(first, a) || !FileIdentity(second, b)) {
    return false;
  }
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

#else

bool Platform::IsTerminal(std::FILE* stream) {
  return isatty(fileno(stream)) != 0;
}

bool Platform::SameExistingFile(const char* first, const char* second) {
  struct stat a;
  struct stat b;
  if (stat(first, &a) != 0 || stat(second, &b) != 0) {
    return false;
  }
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

#endif

std::thread Platform::StartQuietThread(std::function<void()> work) {
#ifdef _WIN32
  // Console events come on a thread of their own; no signal interrupts a read.
  return std::thread(std::move(work));
#else
  // A new thread starts with its creator's signal mask: all blocked while it is made.
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  try {
    std::thread thread(std::move(work));
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return thread;
  } catch (...) {
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    throw;
  }
#endif
}

}  // namespace wavfreq
