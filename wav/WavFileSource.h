#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/ErrorInfoProvider.h"
#include "core/IErrorInfoProvider.h"
#include "core/IWavFileSource.h"
#include "core/SampleFormat.h"
#include "wav/IByteStream.h"
#include "wav/SampleDecoder.h"
#include "wav/WavFileReader.h"

namespace wavfreq {

/// Frames and samples of a WAV file. While an error is recorded, or while no file is open, every
/// query answers its neutral value. 8-bit samples decode as byte - 127, wider ones as signed
/// little-endian integers of their container: 16, 24 or 32 bits; floating-point samples as their
/// value times 2^31. A block of floating-point samples that holds one that is not a number (or
/// that the scaling takes to infinity) ends the data with an error there, like a read error.
class WavFileSource final : public IWavFileSource, public IErrorInfoProvider {
 public:
  /// Turns a path into the stream of its bytes; nothing when it cannot be opened.
  using StreamOpener = std::function<std::unique_ptr<IByteStream>(const char* path)>;

  /// Opens files by path.
  WavFileSource();
  /// Opens whatever `opener` makes of a path: bytes in memory, a stream that fails on purpose.
  explicit WavFileSource(StreamOpener opener);
  ~WavFileSource() override = default;
  WavFileSource(const WavFileSource&) = delete;
  WavFileSource& operator=(const WavFileSource&) = delete;

  int GetBitsPerSample() override;
  int GetSampleRate() override;
  int GetChannelCount() override;

  bool ReadNextFrame() override {
    if (readable == nullptr) {
      return false;
    }
    if (readable->ReadFrame()) {
      return true;
    }
    errorInfo.CopyErrorFrom(readable->ErrorInfo());
    UpdateReadable();
    return false;
  }

  std::int64_t GetPosition() override { return readable == nullptr ? 0 : readable->FrameIndex(); }

  /// The current frame's sample of that channel; floating-point samples rounded to the nearest
  /// integer within the int range, and 0 for one that is not a number.
  int GetSample(int channel) override {
    // One unsigned comparison rejects negative channels and those past the frame alike.
    if (readable == nullptr ||
        static_cast<unsigned>(channel) >= static_cast<unsigned>(channelCount)) {
      return 0;
    }
    return decoder.Integer(readable->Frame() + static_cast<std::ptrdiff_t>(channel) * sampleSize);
  }

  int ReadBlock(int channel, int* samples, int capacity) override;
  int ReadBlock(int channel, double* samples, int capacity) override;
  /// The samples of `channel` as stored, in the decoder's StoredForm for that channel (none for
  /// a channel outside the frame, whose samples are 0); with the same end, errors and position
  /// as the other blocks.
  int ReadBlock(int channel, std::uint8_t* samples, int capacity);
  int ReadBlock(int channel, std::int16_t* samples, int capacity);
  int ReadBlock(int channel, float* samples, int capacity);
  SampleDecoder::Stored StoredForm(int channel) const {
    return readable != nullptr &&
                   static_cast<unsigned>(channel) < static_cast<unsigned>(channelCount)
               ? decoder.StoredForm()
               : SampleDecoder::Stored::kNone;
  }
  const SampleFormat& GetFormat() override;

  bool Open(const char* path) override;
  /// Opens the WAV file held in this stream, as `Open` does with the stream of a path.
  bool OpenStream(std::unique_ptr<IByteStream> stream);
  void Close() override;
  bool IsEndOfData() override;
  /// Whether the open input is a stream (a pipe, a terminal), whose next frames may not have
  /// arrived yet; false for a file, and with nothing open.
  bool IsStream() const { return readable != nullptr && readable->IsStream(); }

  bool HasError() const override { return errorInfo.HasError(); }
  int GetErrorCode() const override { return errorInfo.GetErrorCode(); }
  std::string GetErrorMessage() const override { return errorInfo.GetErrorMessage(); }

 private:
  /// Opens a reader on the stream that `makeStream` returns. Memory exhaustion on the way ends
  /// in a refused open, not an exception.
  template <class MakeStream>
  bool OpenWith(MakeStream makeStream);
  /// Every query answers neutral values while an error is recorded or no file is open; the
  /// reader that may be asked otherwise is kept here, so each query tests one pointer.
  void UpdateReadable() { readable = errorInfo.HasError() ? nullptr : reader.get(); }
  template <class Sample>
  int ReadChannel(int channel, Sample* samples, int capacity);

  StreamOpener openStream;
  ErrorInfoProvider errorInfo;
  std::unique_ptr<WavFileReader> reader;
  WavFileReader* readable = nullptr;
  int channelCount = 0;
  int sampleSize = 0;
  SampleDecoder decoder;
};

}  // namespace wavfreq
