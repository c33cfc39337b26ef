#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>

#include "core/ErrorInfoProvider.h"
#include "core/IDataWriter.h"
#include "core/IErrorInfoProvider.h"

namespace wavfreq {

/// Writes the result table to a file, or to standard output: the header text,
/// then one "time<TAB>frequency" line per accepted value, with CR LF line ends on every platform. A
/// value is accepted when it is the first, or when its time lies more than `interval` seconds after
/// the last accepted one.
///
/// Failures are recorded, never thrown or printed: an unopenable file leaves `HasError` set and
/// every later write a no-op; a failed write records errno and the writer carries on.
class FileDataWriter final : public IDataWriter, public IErrorInfoProvider {
 public:
  /// Creates (or truncates) the file at `path`.
  FileDataWriter(const char* path, double interval);
  /// Writes to the process's standard output, in binary, which the writer does not close.
  static FileDataWriter ToStandardOutput(double interval);
  ~FileDataWriter() override;
  FileDataWriter(const FileDataWriter&) = delete;
  FileDataWriter& operator=(const FileDataWriter&) = delete;

  void WriteValue(double time, double frequency) override {
    if (!firstValuePending && !(time - lastTime > interval)) {
      return;
    }
    lastTime = time;
    firstValuePending = false;
    // Below lastTime + interval, by a margin far wider than the roundings of this sum and of the
    // subtraction above: a time at or below it is dropped there.
    dropsUpTo = (time + interval) - (std::fabs(time) + std::fabs(interval)) * 0x1p-40 - 0x1p-1070;
    ++linesAccepted;
    if (file != nullptr) {
      AppendValueLine(time, frequency);
    }
  }

  double DropsUpTo() const override { return dropsUpTo; }

  /// The value lines accepted so far.
  std::int64_t LinesAccepted() const { return linesAccepted; }

  void WriteText(const char* text) override;

  /// Pushes everything written so far to the operating system; a failure is recorded.
  void Flush() override;

  bool HasError() const override { return errorInfo.HasError(); }
  int GetErrorCode() const override { return errorInfo.GetErrorCode(); }
  std::string GetErrorMessage() const override { return errorInfo.GetErrorMessage(); }

 private:
  static constexpr std::size_t kBufferSize = 64 * 1024;
  // Room for the longest value line: two fixed-point doubles of up to 309 integer digits.
  static constexpr std::size_t kLongestLine = 700;

  explicit FileDataWriter(double interval);
  void SetUpStream();
  void AppendValueLine(double time, double frequency);
  void WriteBuffer();

  ErrorInfoProvider errorInfo;
  std::FILE* file = nullptr;
  bool ownsFile = true;
  const double interval;
  double lastTime = 0.0;
  bool firstValuePending = true;
  double dropsUpTo = -std::numeric_limits<double>::infinity();
  std::unique_ptr<char[]> buffer;
  std::size_t used = 0;
  std::int64_t linesAccepted = 0;
};

}  // namespace wavfreq
