#include "wav/FileByteStream.h"

#include <cerrno>
#include <cstring>
#include <limits>

#include "core/WindowsApi.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <poll.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace wavfreq {

std::unique_ptr<FileByteStream> FileByteStream::StandardInput() {
#ifdef _WIN32
  // Windows reads standard input as text unless told otherwise.
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  std::setvbuf(stdin, nullptr, _IONBF, 0);
  return std::unique_ptr<FileByteStream>(new FileByteStream(stdin, false));
}

std::unique_ptr<FileByteStream> FileByteStream::Open(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    return nullptr;
  }
  std::setvbuf(file, nullptr, _IONBF, 0);
  return std::unique_ptr<FileByteStream>(new FileByteStream(file, true));
}

namespace {

// Regular files (and disks) can seek; pipes, FIFOs, sockets and character devices cannot.
bool HasRandomAccess(std::FILE* file) {
#ifdef _WIN32
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  return GetFileType(handle) == FILE_TYPE_DISK;
#else
  struct stat status;
  return fstat(fileno(file), &status) == 0 && (S_ISREG(status.st_mode) || S_ISBLK(status.st_mode));
#endif
}

}  // namespace

FileByteStream::FileByteStream(std::FILE* openFile, bool owned)
    : file(openFile), ownsFile(owned), seekable(HasRandomAccess(openFile)) {}

FileByteStream::~FileByteStream() {
  if (ownsFile) {
    std::fclose(file);
  }
}

int FileByteStream::Descriptor() const {
#ifdef _WIN32
  return _fileno(file);
#else
  return fileno(file);
#endif
}

bool FileByteStream::Ready() const {
#ifdef _WIN32
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  DWORD available = 0;
  // A pipe says what it holds; a console or anything else may always wait.
  if (GetFileType(handle) == FILE_TYPE_PIPE) {
    return PeekNamedPipe(handle, nullptr, 0, nullptr, &available, nullptr) == 0 || available > 0;
  }
  return false;
#else
  struct pollfd input = {fileno(file), POLLIN, 0};
  return poll(&input, 1, 0) != 0;
#endif
}

std::int64_t FileByteStream::ReadArrived(unsigned char* destination, std::int64_t size) {
  if (beforeWait && !Ready()) {
    beforeWait();
  }
  const unsigned limit = size > (1 << 30) ? (1u << 30) : static_cast<unsigned>(size);
  for (;;) {
#ifdef _WIN32
    const int count = _read(_fileno(file), destination, limit);
#else
    const ssize_t count = ::read(fileno(file), destination, limit);
#endif
    // A signal that arrives while a pipe is awaited interrupts the read; reading again then
    // finds whatever the signal's handler left the input at.
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count < 0) {
      return -1;
    }
    position += static_cast<std::uint64_t>(count);
    return static_cast<std::int64_t>(count);
  }
}

std::int64_t FileByteStream::Read(unsigned char* destination, std::int64_t size) {
  if (size <= 0) {
    return 0;
  }
  if (!seekable) {
    return ReadArrived(destination, size);
  }
  std::size_t count = 0;
  for (;;) {
    errno = 0;
    count = std::fread(destination, 1, static_cast<std::size_t>(size), file);
    // A signal that arrives while a pipe is awaited interrupts the read; reading again then
    // finds whatever the signal's handler left the input at.
    if (count == 0 && std::ferror(file) != 0 && errno == EINTR) {
      std::clearerr(file);
      continue;
    }
    break;
  }
  position += count;
  if (count == 0 && std::ferror(file) != 0) {
    std::clearerr(file);
    return -1;
  }
  // A partial read followed by a fault reports the bytes now; the next call meets the fault.
  std::clearerr(file);
  return static_cast<std::int64_t>(count);
}

bool FileByteStream::SeekFile(std::uint64_t offset) {
#ifdef _WIN32
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<__int64>::max())) {
    return false;
  }
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
    return false;
  }
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

bool FileByteStream::Seek(std::uint64_t offset) {
  if (offset == position) {
    return true;
  }
  if (SeekFile(offset)) {
    position = offset;
    return true;
  }
  // Pipes and other unseekable inputs still work forwards: read up to the target. Going past the
  // end is allowed and then reads as the end of the data, as on a regular file.
  if (offset < position) {
    return false;
  }
  unsigned char scratch[4096];
  while (position < offset) {
    const std::uint64_t want = offset - position;
    const std::int64_t got =
        Read(scratch, want < sizeof scratch ? static_cast<std::int64_t>(want)
                                            : static_cast<std::int64_t>(sizeof scratch));
    if (got < 0) {
      return false;
    }
    if (got == 0) {
      position = offset;
    }
  }
  return true;
}

}  // namespace wavfreq
