#include "output/FileDataWriter.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace wavfreq {

namespace {

const char kCannotOpen[] = "Can not open file.";
const char kCannotWrite[] = "Can not write data to file.";

#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 Wide;

// Fixed-point digits of a finite value below 2^32 in magnitude, rounded to `decimals` places
// exactly as printf rounds: the binary value m / 2^shift is scaled by 10^decimals in 128-bit
// integers and rounded half to even. Much cheaper than the general conversion, and it covers
// every time and frequency the meter produces. Returns nullptr for values it does not cover.
char* AppendFixedFast(char* out, double value, int decimals) {
  static const std::uint64_t kScales[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
  const double magnitude = std::fabs(value);
  if (!(magnitude < 4294967296.0) || decimals < 0 || decimals > 6) {
    return nullptr;
  }
  const std::uint64_t scale = kScales[decimals];
  std::uint64_t scaled = 0;
  if (magnitude != 0.0) {
    int exponent = 0;
    const double mantissa = std::frexp(magnitude, &exponent);  // in [0.5, 1)
    const std::uint64_t m = static_cast<std::uint64_t>(std::ldexp(mantissa, 53));
    const int shift = 53 - exponent;  // magnitude == m / 2^shift, shift >= 21
    // m * scale < 2^73; from 75 bits down the quotient rounds to 0.
    if (shift < 75) {
      const Wide product = static_cast<Wide>(m) * scale;
      scaled = static_cast<std::uint64_t>(product >> shift);
      const Wide rest = product - (static_cast<Wide>(scaled) << shift);
      const Wide half = static_cast<Wide>(1) << (shift - 1);
      if (rest > half || (rest == half && (scaled & 1u) != 0)) {
        ++scaled;
      }
    }
  }
  if (std::signbit(value)) {
    *out++ = '-';
  }
  const std::uint64_t whole = scaled / scale;
  std::uint64_t fraction = scaled % scale;
  out = std::to_chars(out, out + 24, whole).ptr;
  if (decimals > 0) {
    *out++ = '.';
    for (int i = decimals; i > 0; --i) {
      out[i - 1] = static_cast<char>('0' + fraction % 10);
      fraction /= 10;
    }
    out += decimals;
  }
  return out;
}
#else
char* AppendFixedFast(char*, double, int) {
  return nullptr;
}
#endif

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
  if (char* end = AppendFixedFast(out, value, precision)) {
    return end;
  }
  return std::to_chars(out, limit, value, std::chars_format::fixed, precision).ptr;
}

}  // namespace

FileDataWriter::FileDataWriter(const char* path, double outputInterval) : interval(outputInterval) {
  // Binary mode: the CR LF line ends are written explicitly, so the bytes are the same everywhere.
  if (std::strcmp(path, "-") == 0) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    file = stdout;
    ownsFile = false;
  } else {
    errno = 0;
    file = std::fopen(path, "wb");
    if (file == nullptr) {
      errorInfo.SetError(errno, kCannotOpen);
      return;
    }
  }
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
