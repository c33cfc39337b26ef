#pragma once

#include <cstdint>
#include <memory>

#include "core/ErrorInfoProvider.h"
#include "core/SampleFormat.h"
#include "wav/IByteStream.h"
#include "wav/RiffFile.h"
#include "wav/SampleDecoder.h"

namespace wavfreq {

/// The format record as stored in the first 16 bytes of a "fmt " chunk.
struct PcmWaveFormat {
  std::uint16_t wFormatTag = 0;
  std::uint16_t nChannels = 0;
  std::uint32_t nSamplesPerSec = 0;
  std::uint32_t nAvgBytesPerSec = 0;
  std::uint16_t nBlockAlign = 0;
  std::uint16_t wBitsPerSample = 0;
};

/// An open WAV file positioned on its sample data, read one frame at a time: RIFF, RF64, BW64
/// or Wave64, with integer PCM or IEEE floating-point samples.
/// Construction runs the whole open sequence; a file that cannot be used leaves the reason in
/// `ErrorInfo()` instead of throwing, and the owner discards the reader.
class WavFileReader {
 public:
  /// Reads the WAV file from the stream; no stream (the file could not be opened) is a refusal.
  explicit WavFileReader(std::unique_ptr<IByteStream> stream);
  WavFileReader(const WavFileReader&) = delete;
  WavFileReader& operator=(const WavFileReader&) = delete;

  /// Whether the bytes come from a stream, which ends where its writer stopped and whose next
  /// frames may not have arrived yet.
  bool IsStream() const { return file != nullptr && !file->IsSeekable(); }

  /// True when the next frame is in `Frame()`. False at the end of the data (`IsEndOfData()`
  /// set, no error) or on a read error (recorded in `ErrorInfo()`).
  bool ReadFrame() {
    std::int64_t count = 0;
    ReadFrames(1, count);
    return count != 0;
  }

  /// Reads up to `capacity` frames at once: `count` frames of FrameSize() bytes each, one after
  /// the other from the returned address, which stays valid until the next read. They are the
  /// frames that `count` calls of ReadFrame would read, with the same end, error and position
  /// afterwards; 0 frames where ReadFrame would return false.
  const unsigned char* ReadFrames(std::int64_t capacity, std::int64_t& count) {
    // Most frames lie whole in the window and are read where they are: the window is refilled
    // only by a later read, so the bytes stay valid for as long as these frames are current.
    // `framesInWindow` counts the frames ahead that need no check at all: whole in the window,
    // before the end of the data, and none while an error is recorded.
    if (framesInWindow > 0) {
      count = framesInWindow < capacity ? framesInWindow : capacity;
      framesInWindow -= count;
      frameIndex += count;
      ByteWindow& window = file->Window();
      const unsigned char* first = window.next;
      window.next += count * frameSize;
      frame = window.next - frameSize;
      return first;
    }
    count = ReadFrameChecked() ? 1 : 0;
    return frame;
  }

  /// The format record as stored.
  const PcmWaveFormat& Record() const { return record; }
  /// The samples' format as the rest of the tool reads it.
  const SampleFormat& Format() const { return format; }
  SampleCoding Coding() const { return coding; }
  std::int64_t FrameIndex() const { return frameIndex; }
  std::int64_t FrameCount() const { return frameCount; }
  std::int32_t FrameSize() const { return frameSize; }
  bool IsEndOfData() const { return endOfData; }
  /// The bytes of the most recently read frame.
  const unsigned char* Frame() const { return frame; }
  const ErrorInfoProvider& ErrorInfo() const { return errorInfo; }

 private:
  void OpenSequence(std::unique_ptr<IByteStream> stream);
  bool ReadFormat();
  /// Settles the coding and the format value from the record; false (recorded) for samples that
  /// cannot be read.
  bool SettleFormat();
  void SetUpFrames();
  bool ReadFrameChecked();
  bool ReadFrameAcrossRefill();
  void CountFramesInWindow();

  std::unique_ptr<RiffFile> file;
  RiffChunk riffChunk;
  RiffChunk subChunk;
  PcmWaveFormat record;
  // Whether the samples are floating point.
  bool floatingPoint = false;
  SampleFormat format;
  SampleCoding coding = SampleCoding::kUnsigned8;
  // The data ends where the input does: a stream of unknown length, or a pipe, which ends where
  // its writer stopped whatever the header said.
  bool dataEndsWithInput = false;
  std::int64_t frameIndex = -1;
  std::int64_t frameCount = 0;
  std::int32_t frameSize = 0;
  // Holds only frames that straddle a refill; the others are read in the window. `frame` points
  // at whichever holds the current frame.
  std::unique_ptr<unsigned char[]> frameBuffer;
  const unsigned char* frame = nullptr;
  bool endOfData = false;
  ErrorInfoProvider errorInfo;
  std::int64_t framesInWindow = 0;
};

}  // namespace wavfreq
