#include "wav/WavFileReader.h"

#include <cstring>

#include "wav/LittleEndian.h"

namespace wavfreq {

namespace {

const char kCannotRead[] = "Error! Input file can not be read.";
const char kCannotReadTruncated[] = "Error! Input file can not be read.\n";
const char kNotPcm[] = "Error! Input file must be in PCM format.";
const char kNotPcmTag[] = "Error! Input file must be in PCM mono 8-bit format.";

constexpr FourCC kRiff = MakeFourCC('R', 'I', 'F', 'F');
constexpr FourCC kWave = MakeFourCC('W', 'A', 'V', 'E');
constexpr FourCC kFmt = MakeFourCC('f', 'm', 't', ' ');
constexpr FourCC kData = MakeFourCC('d', 'a', 't', 'a');
constexpr std::uint16_t kWaveFormatPcm = 1;
constexpr std::int64_t kFormatRecordSize = 16;
constexpr std::uint32_t kZeroedFrameLimit = 256 * 1024;

PcmWaveFormat DecodeFormat(const unsigned char* record) {
  PcmWaveFormat decoded;
  decoded.wFormatTag = ReadLe16(record);
  decoded.nChannels = ReadLe16(record + 2);
  decoded.nSamplesPerSec = ReadLe32(record + 4);
  decoded.nAvgBytesPerSec = ReadLe32(record + 8);
  decoded.nBlockAlign = ReadLe16(record + 12);
  decoded.wBitsPerSample = ReadLe16(record + 14);
  return decoded;
}

}  // namespace

WavFileReader::WavFileReader(std::unique_ptr<IByteStream> stream) {
  OpenSequence(std::move(stream));
}

void WavFileReader::OpenSequence(std::unique_ptr<IByteStream> stream) {
  if (stream == nullptr) {
    errorInfo.SetErrorMessage(kCannotRead);
    return;
  }
  file = std::make_unique<RiffFile>(std::move(stream));
  if (!file->ReadChunkHeader(riffChunk)) {
    errorInfo.SetErrorMessage(kCannotRead);
    return;
  }
  if (riffChunk.id != kRiff || riffChunk.formType != kWave) {
    errorInfo.SetErrorMessage(kNotPcm);
    return;
  }
  if (!file->FindChunk(kFmt, riffChunk, subChunk)) {
    errorInfo.SetErrorMessage(kNotPcm);
    return;
  }
  // The size is checked before the record is read: a short "fmt " chunk is malformed, whereas a
  // file that ends inside a long enough one could not be read.
  if (subChunk.size < kFormatRecordSize) {
    errorInfo.SetErrorMessage(kNotPcm);
    return;
  }
  unsigned char record[kFormatRecordSize];
  if (file->Read(record, kFormatRecordSize) != kFormatRecordSize) {
    errorInfo.SetErrorMessage(kCannotRead);
    return;
  }
  format = DecodeFormat(record);
  // Any bytes of an extended format record are skipped along with the pad byte.
  if (!file->LeaveChunk(subChunk)) {
    errorInfo.SetErrorMessage(kCannotRead);
    return;
  }
  if (format.wFormatTag != kWaveFormatPcm) {
    errorInfo.SetErrorMessage(kNotPcmTag);
    return;
  }
  if (!file->FindChunk(kData, riffChunk, subChunk)) {
    errorInfo.SetErrorMessage(kNotPcm);
    return;
  }
  const std::uint32_t size = static_cast<std::uint32_t>(format.wBitsPerSample / 8u) *
                             static_cast<std::uint32_t>(format.nChannels);
  // No channels, or samples narrower than a byte, give frames of no bytes: nothing to read.
  if (size == 0) {
    errorInfo.SetErrorMessage(kNotPcm);
    return;
  }
  frameSize = static_cast<std::int32_t>(size);
  frameCount = static_cast<std::int64_t>(subChunk.size / size);
  // Zeroed when small, so samples read before the first frame are 0. Frames of several hundred
  // KiB only come from widths that never decode, and zeroing them would cost memory up front.
  frameBuffer.reset(size <= kZeroedFrameLimit ? new unsigned char[size]()
                                              : new unsigned char[size]);
  frame = frameBuffer.get();
}

bool WavFileReader::ReadFrameChecked() {
  if (file == nullptr || errorInfo.HasError()) {
    return false;
  }
  ++frameIndex;
  if (frameIndex >= frameCount) {
    endOfData = true;
    return false;
  }
  ByteWindow& window = file->Window();
  if (window.Size() >= frameSize) {
    frame = window.next;
    window.next += frameSize;
  } else if (!ReadFrameAcrossRefill()) {
    return false;
  }
  CountFramesInWindow();
  return true;
}

void WavFileReader::CountFramesInWindow() {
  const std::int64_t whole = file->Window().Size() / frameSize;
  const std::int64_t left = frameCount - 1 - frameIndex;
  framesInWindow = whole < left ? whole : left;
}

bool WavFileReader::ReadFrameAcrossRefill() {
  frame = frameBuffer.get();
  unsigned char* destination = frameBuffer.get();
  ByteWindow& window = file->Window();
  std::int64_t left = frameSize;
  while (left > 0) {
    if (window.Size() == 0) {
      if (!file->RefillWindow()) {
        errorInfo.SetErrorMessage(kCannotRead);
        return false;
      }
      // The data chunk promised more bytes than the file holds.
      if (window.Size() == 0) {
        errorInfo.SetErrorMessage(kCannotReadTruncated);
        return false;
      }
    }
    std::int64_t take = window.Size();
    if (take > left) {
      take = left;
    }
    std::memcpy(destination, window.next, static_cast<std::size_t>(take));
    window.next += take;
    destination += take;
    left -= take;
  }
  return true;
}

}  // namespace wavfreq
