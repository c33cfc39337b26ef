#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "app/CommandLine.h"
#include "app/Interruption.h"
#include "meter/ConstMean.h"
#include "meter/WavFreqMeter.h"
#include "output/FileDataWriter.h"
#include "wav/FileByteStream.h"
#include "wav/WavFileSource.h"

namespace wavfreq {

/// Makes the components of a real run, one call per component in the order the driver creates
/// them. Each is returned by value and lives as a local of the driver. The meter is compiled
/// against the final level provider and writer so that their calls inline.
class ProductFactory {
 public:
  using Meter = BasicWavFreqMeter<ConstMean, FileDataWriter>;

  /// The path "-" is standard input. The input is watched, so that a signal ends a wait for a
  /// pipe; before a read of a stream that would wait, the hook set by SetBeforeWait is called.
  WavFileSource MakeSource() {
    return WavFileSource([this](const char* path) -> std::unique_ptr<IByteStream> {
      std::unique_ptr<FileByteStream> stream = CommandLine::IsStandardStream(path)
                                                   ? FileByteStream::StandardInput()
                                                   : FileByteStream::Open(path);
      if (stream != nullptr) {
        Interruption::WatchInput(stream->Descriptor());
        stream->SetBeforeWait([this] {
          if (beforeWait) {
            beforeWait();
          }
        });
      }
      return stream;
    });
  }
  /// What to do before the input makes the run wait: hand on what it holds.
  void SetBeforeWait(std::function<void()> hook) { beforeWait = std::move(hook); }
  ConstMean MakeMean() { return ConstMean(0, 0.0); }
  /// The path "-" is standard output.
  FileDataWriter MakeWriter(const char* path, double interval) {
    if (CommandLine::IsStandardStream(path)) {
      return FileDataWriter::ToStandardOutput(interval);
    }
    return FileDataWriter(path, interval);
  }
  Meter MakeMeter(FileDataWriter& writer, ConstMean& mean, int windowLength, int sampleRate) {
    return Meter(writer, mean, windowLength, sampleRate);
  }

 private:
  std::function<void()> beforeWait;
};

}  // namespace wavfreq
