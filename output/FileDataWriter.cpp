#include "output/FileDataWriter.h"

#include <cerrno>
#include <cstring>

#include "output/FixedPoint.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace wavfreq {

namespace {

const char kCannotOpen[] = "Can not open file.";
const char kCannotWrite[] = "Can not write data to file.";

}  // namespace

FileDataWriter::FileDataWriter(const char* path, double outputInterval) : interval(outputInterval) {
  // Binary mode: the CR LF line ends are written explicitly, so the bytes are the same everywhere.
  errno = 0;
  file = std::fopen(path, "wb");
  if (file == nullptr) {
    errorInfo.SetError(errno, kCannotOpen);
    return;
  }
  SetUpStream();
}

FileDataWriter::FileDataWriter(double outputInterval) : ownsFile(false), interval(outputInterval) {
#ifdef _WIN32
  // Windows writes standard output as text unless told otherwise.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  file = stdout;
  SetUpStream();
}

FileDataWriter FileDataWriter::ToStandardOutput(double interval) {
  return FileDataWriter(interval);
}

void FileDataWriter::SetUpStream() {
  // The writer keeps its own buffer; the stream's would only add a copy and hide write errors
  // until close.
  std::setvbuf(file, nullptr, _IONBF, 0);
  buffer.reset(new char[kBufferSize]);
}

FileDataWriter::~FileDataWriter() {
  if (file != nullptr) {
    WriteBuffer();
    // Standard output belongs to the process and is closed with it.
    if (ownsFile) {
      std::fclose(file);
    } else {
      std::fflush(file);
    }
    file = nullptr;
  }
}

void FileDataWriter::AppendValueLine(double time, double frequency) {
  if (kBufferSize - used < kLongestLine) {
    WriteBuffer();
  }
  char* out = buffer.get() + used;
  char* const limit = buffer.get() + kBufferSize;
  out = FixedPoint::Append<6>(out, limit, time);
  *out++ = '\t';
  out = FixedPoint::Append<3>(out, limit, frequency);
  *out++ = '\r';
  *out++ = '\n';
  used = static_cast<std::size_t>(out - buffer.get());
}

void FileDataWriter::WriteText(const char* text) {
  if (file == nullptr) {
    return;
  }
  for (const char* c = text; *c != '\0'; ++c) {
    if (kBufferSize - used < 2) {
      WriteBuffer();
    }
    if (*c == '\n') {
      buffer[used++] = '\r';
    }
    buffer[used++] = *c;
  }
}

void FileDataWriter::WriteBuffer() {
  if (used == 0) {
    return;
  }
  std::size_t written = 0;
  while (written < used) {
    errno = 0;
    written += std::fwrite(buffer.get() + written, 1, used - written, file);
    if (written == used) {
      break;
    }
    // A signal can interrupt a write to a pipe part-way: the rest of the line still goes out.
    if (errno == EINTR) {
      std::clearerr(file);
      continue;
    }
    errorInfo.SetError(errno, kCannotWrite);
    break;
  }
  // Bytes that could not be written are dropped; the writer carries on with the next ones.
  used = 0;
}

void FileDataWriter::Flush() {
  if (file == nullptr) {
    return;
  }
  WriteBuffer();
  errno = 0;
  if (std::fflush(file) != 0) {
    errorInfo.SetError(errno, kCannotWrite);
  }
}

}  // namespace wavfreq
