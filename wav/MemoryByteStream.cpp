#include "wav/MemoryByteStream.h"

#include <cstring>

namespace wavfreq {

std::int64_t MemoryByteStream::Read(char* destination, std::int64_t size) {
  if (size <= 0 || position >= bytes.size()) {
    return 0;
  }
  std::uint64_t left = bytes.size() - position;
  std::uint64_t count =
      static_cast<std::uint64_t>(size) < left ? static_cast<std::uint64_t>(size) : left;
  std::memcpy(destination, bytes.data() + position, static_cast<std::size_t>(count));
  position += count;
  return static_cast<std::int64_t>(count);
}

bool MemoryByteStream::Seek(std::uint64_t offset) {
  position = offset;
  return true;
}

}  // namespace wavfreq
