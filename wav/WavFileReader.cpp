#include "wav/WavFileReader.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>

#include "wav/LittleEndian.h"

namespace wavfreq {

namespace {

const char kCannotRead[] = "Error! Input file can not be read.";
const char kCannotReadTruncated[] = "Error! Input file can not be read.\n";
const char kNotPcm[] = "Error! Input file must be in PCM format.";
const char kNotPcmTag[] = "Error! Input file must be in PCM mono 8-bit format.";
const char kUnsupportedSize[] = "Error! Input file has an unsupported sample size.";

constexpr FourCC kRiff = MakeFourCC('R', 'I', 'F', 'F');
constexpr FourCC kWave = MakeFourCC('W', 'A', 'V', 'E');
constexpr FourCC kFmt = MakeFourCC('f', 'm', 't', ' ');
constexpr FourCC kData = MakeFourCC('d', 'a', 't', 'a');
constexpr std::uint16_t kWaveFormatPcm = 1;
constexpr std::uint16_t kWaveFormatExtensible = 0xFFFE;
constexpr std::int64_t kFormatRecordSize = 16;
// The extensible record: the 16 bytes above, the extension's size (2 bytes), the valid bits per
// sample (2), the channel mask (4) and the GUID of the sample format (16).
constexpr std::uint32_t kExtensibleRecordSize = 40;
constexpr std::int64_t kExtensionSize = 24;
constexpr std::ptrdiff_t kSubFormatOffset = 8;
constexpr unsigned char kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                             0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// Streaming writers, which cannot know the length yet, declare the largest size.
constexpr std::uint32_t kSizeUnknown = 0xFFFFFFFF;

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
  if (!ReadFormat()) {
    return;
  }
  if (!file->FindChunk(kData, riffChunk, subChunk)) {
    errorInfo.SetErrorMessage(kNotPcm);
    return;
  }
  SetUpFrames();
}

bool WavFileReader::ReadFormat() {
  if (!file->FindChunk(kFmt, riffChunk, subChunk)) {
    errorInfo.SetErrorMessage(kNotPcm);
    return false;
  }
  // The size is checked before the record is read: a short "fmt " chunk is malformed, whereas a
  // file that ends inside a long enough one could not be read.
  if (subChunk.size < kFormatRecordSize) {
    errorInfo.SetErrorMessage(kNotPcm);
    return false;
  }
  unsigned char record[kFormatRecordSize];
  if (file->Read(record, kFormatRecordSize) != kFormatRecordSize) {
    errorInfo.SetErrorMessage(kCannotRead);
    return false;
  }
  format = DecodeFormat(record);
  bool pcm = format.wFormatTag == kWaveFormatPcm;
  // The extensible record names its sample format by a GUID; only plain integer PCM is read.
  if (format.wFormatTag == kWaveFormatExtensible && subChunk.size >= kExtensibleRecordSize) {
    unsigned char extension[kExtensionSize];
    if (file->Read(extension, kExtensionSize) != kExtensionSize) {
      errorInfo.SetErrorMessage(kCannotRead);
      return false;
    }
    pcm = std::equal(std::begin(kPcmSubFormat), std::end(kPcmSubFormat),
                     extension + kSubFormatOffset);
  }
  // Any further bytes of the record are skipped along with the pad byte.
  if (!file->LeaveChunk(subChunk)) {
    errorInfo.SetErrorMessage(kCannotRead);
    return false;
  }
  if (!pcm) {
    errorInfo.SetErrorMessage(kNotPcmTag);
    return false;
  }
  return true;
}

void WavFileReader::SetUpFrames() {
  const std::uint32_t bits = format.wBitsPerSample;
  const std::uint32_t channels = format.nChannels;
  // Samples narrower than a byte have no container here: frames of no bytes, refused below.
  std::uint32_t bytes = bits < 8 ? 0 : (bits + 7) / 8;
  coding = bytes == 1   ? SampleCoding::kUnsigned8
           : bytes == 2 ? SampleCoding::kSigned16
           : bytes == 3 ? SampleCoding::kSigned24
                        : SampleCoding::kSigned32;
  // arecord's S24_LE: 24 bits in the low three bytes of a four-byte word, which only the block
  // alignment tells apart from packed three-byte samples.
  if (bits >= 17 && bits <= 24 && format.nBlockAlign == 4 * channels) {
    bytes = 4;
    coding = SampleCoding::kSigned24InWord;
  }
  const std::uint32_t size = bytes * channels;
  // No channels, or samples narrower than a byte, give frames of no bytes: nothing to read.
  if (size == 0) {
    errorInfo.SetErrorMessage(kNotPcm);
    return;
  }
  if (bits > 32) {
    errorInfo.SetErrorMessage(kUnsupportedSize);
    return;
  }
  sampleSize = static_cast<int>(bytes);
  frameSize = static_cast<std::int32_t>(size);
  dataEndsWithInput = subChunk.size == kSizeUnknown || !file->IsSeekable();
  frameCount = subChunk.size == kSizeUnknown ? std::numeric_limits<std::int64_t>::max()
                                             : static_cast<std::int64_t>(subChunk.size / size);
  // Zeroed, so samples read before the first frame are 0.
  frameBuffer.reset(new unsigned char[size]());
  frame = frameBuffer.get();
}

bool WavFileReader::ReadFrameChecked() {
  if (file == nullptr || errorInfo.HasError()) {
    return false;
  }
  ++frameIndex;
  // Once a stream has ended it is not read again: a terminal would wait for more.
  if (frameIndex >= frameCount || endOfData) {
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
      if (window.Size() == 0) {
        // The input has ended. A stream ends its data there, dropping the bytes of a last
        // incomplete frame; a file that promised more bytes was cut short.
        if (dataEndsWithInput) {
          endOfData = true;
        } else {
          errorInfo.SetErrorMessage(kCannotReadTruncated);
        }
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
