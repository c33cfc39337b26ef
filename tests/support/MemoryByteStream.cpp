#include "support/MemoryByteStream.h"

#include <algorithm>
#include <cstring>

namespace wavfreq::test {

std::int64_t MemoryByteStream::Read(unsigned char* destination, std::int64_t size) {
  if (position >= failOffset) {
    return -1;
  }
  if (size <= 0 || position >= bytes.size()) {
    return 0;
  }
  const std::uint64_t end = std::min({position + static_cast<std::uint64_t>(size), failOffset,
                                      static_cast<std::uint64_t>(bytes.size())});
  const std::uint64_t count = end - position;
  std::memcpy(destination, bytes.data() + position, static_cast<std::size_t>(count));
  position = end;
  return static_cast<std::int64_t>(count);
}

bool MemoryByteStream::Seek(std::uint64_t offset) {
  position = offset;
  return true;
}

}  // namespace wavfreq::test
