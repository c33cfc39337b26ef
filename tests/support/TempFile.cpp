#include "support/TempFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#ifndef _WIN32
#include <unistd.h>
#else
#include <process.h>
#define getpid _getpid
#endif

namespace wavfreq::test {

TempFile::TempFile(const std::string& suffix) {
  // A random name, tried until it is free: tests in parallel processes never share a file.
  std::random_device random;
  const std::filesystem::path directory = std::filesystem::temp_directory_path();
  do {
    const std::uint64_t name = static_cast<std::uint64_t>(random()) << 32 | random();
    path = (directory /
            ("wavfreq_test_" + std::to_string(getpid()) + "_" + std::to_string(name) + suffix))
               .string();
  } while (std::filesystem::exists(path));
}

TempFile::TempFile(const std::string& suffix, const Bytes& contents) : TempFile(suffix) {
  WriteFile(path, contents);
}

TempFile::~TempFile() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

void WriteFile(const std::string& path, const Bytes& contents) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  const bool written =
      out != nullptr && (contents.empty() ||
                         std::fwrite(contents.data(), 1, contents.size(), out) == contents.size());
  if (out == nullptr || std::fclose(out) != 0 || !written) {
    throw std::runtime_error("cannot write " + path);
  }
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadText(const std::string& path) {
  Bytes bytes = ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace wavfreq::test
