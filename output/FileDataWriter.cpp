#include "output/FileDataWriter.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

namespace wavfreq {

namespace {

const char kCannotOpen[] = "Can not open file.";
const char kCannotWrite[] = "Can not write data to file.";

// Fixed-point text with `precision` decimals, the digits printf's "%.*f" gives (both round the
// exact binary value correctly). Non-finite values are spelled the same on every platform.
char* AppendFixed(char* out, char* limit, double value, int precision) {
  if (std::isnan(value)) {
    std::memcpy(out, "nan", 3);
    return out + 3;
  }
  if (std::isinf(value)) {
    if (value < 0) {
      *out++ = '-';
    }
    std::memcpy(out, "inf", 3);
    return out + 3;
  }
  return std::to_chars(out, limit, value, std::chars_format::fixed, precision).ptr;
}

}  // namespace

FileDataWriter::FileDataWriter(const char* path, double outputInterval) : interval(outputInterval) {
  // Binary mode: the CR LF line ends are written explicitly, so the bytes are the same everywhere.
  errno = 0;
  file = std::fopen(path, "wb");
  if (file == nullptr) {
    errorInfo.SetError(errno, kCannotOpen);
    return;
  }
  // The writer keeps its own buffer; the stream's would only add a copy and hide write errors
  // until close.
  std::setvbuf(file, nullptr, _IONBF, 0);
  buffer.reset(new char[kBufferSize]);
}

FileDataWriter::~FileDataWriter() {
  if (file != nullptr) {
    WriteBuffer();
    std::fclose(file);
    file = nullptr;
  }
}

void FileDataWriter::AppendValueLine(double time, double frequency) {
  if (kBufferSize - used < kLongestLine) {
    WriteBuffer();
  }
  char* out = buffer.get() + used;
  char* const limit = buffer.get() + kBufferSize;
  out = AppendFixed(out, limit, time, 6);
  *out++ = '\t';
  out = AppendFixed(out, limit, frequency, 3);
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
  errno = 0;
  std::size_t written = std::fwrite(buffer.get(), 1, used, file);
  if (written != used) {
    errorInfo.SetError(errno, kCannotWrite);
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
