#pragma once

#include <cstdint>
#include <vector>

#include "wav/IByteStream.h"

namespace wavfreq {

/// Bytes held in memory, read like a file: used to feed the WAV reader without touching the disk.
class MemoryByteStream final : public IByteStream {
 public:
  MemoryByteStream(const std::uint8_t* data, std::size_t size) : bytes(data, data + size) {}

  std::int64_t Read(char* destination, std::int64_t size) override;
  bool Seek(std::uint64_t offset) override;

 private:
  std::vector<std::uint8_t> bytes;
  std::uint64_t position = 0;
};

}  // namespace wavfreq
