// The floor under a measurement of a WAV file: read it whole, in 1 MiB blocks through read(),
// and add up its bytes eight at a time as 64-bit words, as little work as can be done and still
// touch each one. Prints the sum, so that the additions cannot be left out.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ReadAndSum FILE\n");
    return 1;
  }
  const int file = open(argv[1], O_RDONLY);
  if (file < 0) {
    std::perror(argv[1]);
    return 1;
  }
  std::vector<unsigned char> block(1 << 20);
  std::uint64_t sum = 0;
  for (;;) {
    const ssize_t got = read(file, block.data(), block.size());
    if (got <= 0) {
      break;
    }
    const std::size_t bytes = static_cast<std::size_t>(got);
    std::size_t i = 0;
    for (; i + 8 <= bytes; i += 8) {
      std::uint64_t word;
      std::memcpy(&word, block.data() + i, sizeof word);
      sum += word;
    }
    for (; i < bytes; ++i) {
      sum += block[i];
    }
  }
  close(file);
  std::printf("%llu\n", static_cast<unsigned long long>(sum));
  return 0;
}
