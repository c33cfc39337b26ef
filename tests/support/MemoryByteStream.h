#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "wav/IByteStream.h"

namespace wavfreq::test {

/// Bytes held in memory, read like a file, or like a pipe when `pipe` is set. Reads that reach
/// `failAt` fail: an I/O error in mid-file.
class MemoryByteStream final : public IByteStream {
 public:
  explicit MemoryByteStream(std::vector<std::uint8_t> contents,
                            std::uint64_t failAt = std::numeric_limits<std::uint64_t>::max(),
                            bool pipe = false)
      : bytes(std::move(contents)), failOffset(failAt), seekable(!pipe) {}
  MemoryByteStream(const std::uint8_t* data, std::size_t size)
      : MemoryByteStream(std::vector<std::uint8_t>(data, data + size)) {}

  std::int64_t Read(unsigned char* destination, std::int64_t size) override;
  bool Seek(std::uint64_t offset) override;
  bool IsSeekable() const override { return seekable; }

 private:
  std::vector<std::uint8_t> bytes;
  std::uint64_t failOffset;
  bool seekable;
  std::uint64_t position = 0;
};

}  // namespace wavfreq::test
