#include "wav/WavFileReader.h"

#include <algorithm>
#include <cmath>
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

constexpr std::uint16_t kWaveFormatPcm = 1;
constexpr std::uint16_t kWaveFormatFloat = 3;
constexpr std::uint16_t kWaveFormatExtensible = 0xFFFE;
constexpr std::int64_t kFormatRecordSize = 16;
// The extensible record: the 16 bytes above, the extension's size (2 bytes), the valid bits per
// sample (2, not needed: the container's bits are decoded), the channel mask (4) and the GUID of
// the sample format (16), whose first two bytes are the format tag that it stands for and the
// rest this.
constexpr std::uint32_t kExtensibleRecordSize = 40;
constexpr std::int64_t kExtensionSize = 24;
constexpr std::ptrdiff_t kSubFormatOffset = 8;
constexpr unsigned char kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                              0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

PcmWaveFormat DecodeRecord(const unsigned char* bytes) {
  PcmWaveFormat decoded;
  decoded.wFormatTag = ReadLe16(bytes);
  decoded.nChannels = ReadLe16(bytes + 2);
  decoded.nSamplesPerSec = ReadLe32(bytes + 4);
  decoded.nAvgBytesPerSec = ReadLe32(bytes + 8);
  decoded.nBlockAlign = ReadLe16(bytes + 12);
  decoded.wBitsPerSample = ReadLe16(bytes + 14);
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
  switch (file->ReadFileHeader(riffChunk)) {
    case RiffFile::Header::kCutShort:
      errorInfo.SetErrorMessage(kCannotRead);
      return;
    case RiffFile::Header::kMalformed:
      errorInfo.SetErrorMessage(kNotPcm);
      return;
    case RiffFile::Header::kRead:
      break;
  }
  const bool riffFamily = riffChunk.id == ChunkId::kRiff || riffChunk.id == ChunkId::kRf64 ||
                          riffChunk.id == ChunkId::kBw64;
  if (!riffFamily || riffChunk.formType != ChunkId::kWave) {
    errorInfo.SetErrorMessage(kNotPcm);
    return;
  }
  if (!ReadFormat()) {
    return;
  }
  if (!file->FindChunk(ChunkId::kData, riffChunk, subChunk)) {
    errorInfo.SetErrorMessage(kNotPcm);
    return;
  }
  if (SettleFormat()) {
    SetUpFrames();
  }
}

bool WavFileReader::ReadFormat() {
  if (!file->FindChunk(ChunkId::kFmt, riffChunk, subChunk)) {
    errorInfo.SetErrorMessage(kNotPcm);
    return false;
  }
  // The size is checked before the record is read: a short "fmt " chunk is malformed, whereas a
  // file that ends inside a long enough one could not be read.
  if (subChunk.size < kFormatRecordSize) {
    errorInfo.SetErrorMessage(kNotPcm);
    return false;
  }
  unsigned char bytes[kFormatRecordSize];
  if (file->Read(bytes, kFormatRecordSize) != kFormatRecordSize) {
    errorInfo.SetErrorMessage(kCannotRead);
    return false;
  }
  record = DecodeRecord(bytes);
  bool readable = record.wFormatTag == kWaveFormatPcm || record.wFormatTag == kWaveFormatFloat;
  floatingPoint = record.wFormatTag == kWaveFormatFloat;
  // The extensible record names its sample format by a GUID: integer PCM or IEEE float.
  if (record.wFormatTag == kWaveFormatExtensible && subChunk.size >= kExtensibleRecordSize) {
    unsigned char extension[kExtensionSize];
    if (file->Read(extension, kExtensionSize) != kExtensionSize) {
      errorInfo.SetErrorMessage(kCannotRead);
      return false;
    }
    const unsigned char* guid = extension + kSubFormatOffset;
    const std::uint16_t subFormat = ReadLe16(guid);
    readable = (subFormat == kWaveFormatPcm || subFormat == kWaveFormatFloat) &&
               std::equal(std::begin(kSubFormatTail), std::end(kSubFormatTail), guid + 2);
    floatingPoint = subFormat == kWaveFormatFloat;
  }
  // Any further bytes of the record are skipped along with the padding.
  if (!file->LeaveChunk(subChunk)) {
    errorInfo.SetErrorMessage(kCannotRead);
    return false;
  }
  if (!readable) {
    errorInfo.SetErrorMessage(kNotPcmTag);
    return false;
  }
  return true;
}

bool WavFileReader::SettleFormat() {
  const std::uint32_t bits = record.wBitsPerSample;
  const std::uint32_t channels = record.nChannels;
  // Samples narrower than a byte have no container here: frames of no bytes, refused below.
  std::uint32_t bytes = bits < 8 ? 0 : (bits + 7) / 8;
  int decodedBits = static_cast<int>(8 * bytes);
  coding = bytes == 1   ? SampleCoding::kUnsigned8
           : bytes == 2 ? SampleCoding::kSigned16
           : bytes == 3 ? SampleCoding::kSigned24
                        : SampleCoding::kSigned32;
  if (floatingPoint) {
    coding = bits == 64 ? SampleCoding::kFloat64 : SampleCoding::kFloat32;
  } else if (bits >= 17 && bits <= 24 && record.nBlockAlign == 4 * channels) {
    // arecord's S24_LE: 24 bits in the low three bytes of a four-byte word, which only the block
    // alignment tells apart from packed three-byte samples.
    bytes = 4;
    decodedBits = 24;
    coding = SampleCoding::kSigned24InWord;
  }
  const std::uint32_t size = bytes * channels;
  // No channels, or samples narrower than a byte, give frames of no bytes: nothing to read.
  if (size == 0) {
    errorInfo.SetErrorMessage(kNotPcm);
    return false;
  }
  if (floatingPoint ? bits != 32 && bits != 64 : bits > 32) {
    errorInfo.SetErrorMessage(kUnsupportedSize);
    return false;
  }
  format.coding = floatingPoint ? SampleFormat::Coding::kFloat : SampleFormat::Coding::kInteger;
  format.channels = record.nChannels;
  // Rates of 2^31 and above come out negative, as a signed 32-bit value; callers refuse them.
  format.sampleRate = static_cast<int>(static_cast<std::int32_t>(record.nSamplesPerSec));
  format.bitsPerSample = record.wBitsPerSample;
  format.containerBytes = static_cast<int>(bytes);
  format.frameSize = static_cast<int>(size);
  format.fullScale = floatingPoint ? 2147483648.0 : std::ldexp(1.0, decodedBits - 1);
  return true;
}

void WavFileReader::SetUpFrames() {
  frameSize = format.frameSize;
  dataEndsWithInput = !subChunk.sizeKnown || !file->IsSeekable();
  const std::uint64_t frames = subChunk.size / static_cast<std::uint32_t>(frameSize);
  constexpr std::int64_t kMostFrames = std::numeric_limits<std::int64_t>::max();
  frameCount = !subChunk.sizeKnown || frames > static_cast<std::uint64_t>(kMostFrames)
                   ? kMostFrames
                   : static_cast<std::int64_t>(frames);
  // Zeroed, so samples read before the first frame are 0.
  frameBuffer.reset(new unsigned char[static_cast<std::size_t>(frameSize)]());
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
