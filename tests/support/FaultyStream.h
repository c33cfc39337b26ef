#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "wav/IByteStream.h"

namespace wavfreq::test {

/// Bytes in memory whose reads fail once they reach `failAt`: an I/O error in mid-file.
class FaultyStream final : public IByteStream {
 public:
  FaultyStream(std::vector<std::uint8_t> contents, std::uint64_t failAt)
      : bytes(std::move(contents)), failOffset(failAt) {}

  std::int64_t Read(char* destination, std::int64_t size) override {
    if (position >= failOffset) {
      return -1;
    }
    std::uint64_t end = position + static_cast<std::uint64_t>(size);
    end = end < failOffset ? end : failOffset;
    end = end < bytes.size() ? end : bytes.size();
    if (end <= position) {
      return 0;
    }
    std::memcpy(destination, bytes.data() + position, static_cast<std::size_t>(end - position));
    std::int64_t count = static_cast<std::int64_t>(end - position);
    position = end;
    return count;
  }

  bool Seek(std::uint64_t offset) override {
    position = offset;
    return true;
  }

 private:
  std::vector<std::uint8_t> bytes;
  std::uint64_t failOffset;
  std::uint64_t position = 0;
};

}  // namespace wavfreq::test
