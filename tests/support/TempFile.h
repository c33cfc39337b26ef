#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wavfreq::test {

using Bytes = std::vector<std::uint8_t>;

/// A unique path in the temporary directory whose file is removed when the object goes away.
class TempFile {
 public:
  explicit TempFile(const std::string& suffix = ".tmp");
  TempFile(const std::string& suffix, const Bytes& contents);
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  const std::string& Path() const { return path; }
  const char* c_str() const { return path.c_str(); }

 private:
  std::string path;
};

void WriteFile(const std::string& path, const Bytes& contents);
Bytes ReadFile(const std::string& path);
std::string ReadText(const std::string& path);

}  // namespace wavfreq::test
