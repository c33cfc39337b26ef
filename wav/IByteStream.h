#pragma once

#include <cstdint>

namespace wavfreq {

/// The bytes behind the RIFF layer: a file in the product, memory or a faulty stream in tests and
/// fuzzing. Keeping this seam below the chunk walk means every source of bytes goes through the
/// one RIFF parser.
class IByteStream {
 public:
  virtual ~IByteStream() {}
  /// Reads up to `size` bytes into `destination`. Returns the count read, 0 at the end of the
  /// data, or -1 when reading failed: the caller must be able to tell a fault from the end.
  virtual std::int64_t Read(unsigned char* destination, std::int64_t size) = 0;
  /// Moves to an absolute offset. An offset past the end is allowed and then reads as the end.
  /// A stream that cannot seek (a pipe) moves forward by reading.
  virtual bool Seek(std::uint64_t offset) = 0;
  /// False for pipes, FIFOs, sockets and terminals: their end is wherever the writer stopped,
  /// not what a header declared.
  virtual bool IsSeekable() const = 0;
};

}  // namespace wavfreq
