#include "support/TempFile.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#ifndef _WIN32
#include <unistd.h>
#else
#include <process.h>
#define getpid _getpid
#endif

namespace wavfreq::test {

namespace {
std::atomic<int> counter{0};
}

TempFile::TempFile(const std::string& suffix) {
  path = (std::filesystem::temp_directory_path() /
          ("wavfreq_test_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + suffix))
             .string();
  std::remove(path.c_str());
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
      out != nullptr && std::fwrite(contents.data(), 1, contents.size(), out) == contents.size();
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
