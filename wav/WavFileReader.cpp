#include "wav/WavFileReader.h"

#include <cstring>

#include "wav/LittleEndian.h"

namespace wavfreq {

namespace {

const char kCannotRead[] = "Error! Input file can not be read.";
const char kCannotReadTruncated[] = "Error! Input file can not be read.\n";
const char kNotPcm[] = "Error! Input file must be in PCM format.";
const char kNotPcmTag[] = "Error! Input file must be in PCM mono 8-bit format.";
const char kUnknown[] = "Error! Unknown error during file processing.";

constexpr mmio::FOURCC kWave = mmio::MakeFourCC('W', 'A', 'V', 'E');
constexpr mmio::FOURCC kFmt = mmio::MakeFourCC('f', 'm', 't', ' ');
constexpr mmio::FOURCC kData = mmio::MakeFourCC('d', 'a', 't', 'a');
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

WavFileReader::WavFileReader(const char* path) {
  OpenSequence(mmio::mmioOpen(path, mmio::MMIO_READ | mmio::MMIO_ALLOCBUF));
}

WavFileReader::WavFileReader(std::unique_ptr<IByteStream> stream) {
  OpenSequence(mmio::mmioOpenStream(std::move(stream)));
}

void WavFileReader::OpenSequence(mmio::HMMIO opened) {
  file = opened;
  if (file == nullptr) {
    errorInfo.SetErrorMessage(kCannotRead);
    return;
  }
  if (mmio::mmioDescend(file, &riffChunk, nullptr, 0) != 0) {
    errorInfo.SetErrorMessage(kCannotRead);
    return;
  }
  if (riffChunk.ckid != mmio::kRiff || riffChunk.fccType != kWave) {
    errorInfo.SetErrorMessage(kNotPcm);
    return;
  }
  subChunk.ckid = kFmt;
  if (mmio::mmioDescend(file, &subChunk, &riffChunk, mmio::MMIO_FINDCHUNK) != 0) {
    errorInfo.SetErrorMessage(kNotPcm);
    return;
  }
  // The size is checked before the record is read: a short "fmt " chunk is malformed, whereas a
  // file that ends inside a long enough one could not be read.
  if (subChunk.cksize < kFormatRecordSize) {
    errorInfo.SetErrorMessage(kNotPcm);
    return;
  }
  unsigned char record[kFormatRecordSize];
  if (mmio::mmioRead(file, reinterpret_cast<char*>(record), kFormatRecordSize) !=
      kFormatRecordSize) {
    errorInfo.SetErrorMessage(kCannotRead);
    return;
  }
  format = DecodeFormat(record);
  // Any bytes of an extended format record are skipped along with the pad byte.
  if (mmio::mmioAscend(file, &subChunk, 0) != 0) {
    errorInfo.SetErrorMessage(kCannotRead);
    return;
  }
  if (format.wFormatTag != kWaveFormatPcm) {
    errorInfo.SetErrorMessage(kNotPcmTag);
    return;
  }
  subChunk.ckid = kData;
  if (mmio::mmioDescend(file, &subChunk, &riffChunk, mmio::MMIO_FINDCHUNK) != 0) {
    errorInfo.SetErrorMessage(kNotPcm);
    return;
  }
  if (mmio::mmioGetInfo(file, &ioInfo, 0) != 0) {
    errorInfo.SetErrorMessage(kUnknown);
    return;
  }
  ioInfoHeld = true;
  const std::uint32_t size = static_cast<std::uint32_t>(format.wBitsPerSample / 8u) *
                             static_cast<std::uint32_t>(format.nChannels);
  // No channels, or samples narrower than a byte, give frames of no bytes: nothing to read.
  if (size == 0) {
    errorInfo.SetErrorMessage(kNotPcm);
    return;
  }
  frameSize = static_cast<std::int32_t>(size);
  frameCount = static_cast<std::int64_t>(subChunk.cksize / size);
  // Zeroed when small, so samples read before the first frame are 0. Frames of several hundred
  // KiB only come from widths that never decode, and zeroing them would cost memory up front.
  frameBuffer.reset(size <= kZeroedFrameLimit ? new unsigned char[size]()
                                              : new unsigned char[size]);
  frame = frameBuffer.get();
}

WavFileReader::~WavFileReader() {
  if (file != nullptr) {
    if (ioInfoHeld) {
      mmio::mmioSetInfo(file, &ioInfo, 0);
    }
    mmio::mmioClose(file, 0);
    file = nullptr;
  }
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
  if (ioInfo.pchEndRead - ioInfo.pchNext >= frameSize) {
    frame = reinterpret_cast<const unsigned char*>(ioInfo.pchNext);
    ioInfo.pchNext += frameSize;
  } else if (!ReadFrameAcrossRefill()) {
    return false;
  }
  CountFramesInWindow();
  return true;
}

void WavFileReader::CountFramesInWindow() {
  const std::int64_t whole = (ioInfo.pchEndRead - ioInfo.pchNext) / frameSize;
  const std::int64_t left = frameCount - 1 - frameIndex;
  framesInWindow = whole < left ? whole : left;
}

bool WavFileReader::ReadFrameAcrossRefill() {
  frame = frameBuffer.get();
  unsigned char* destination = frameBuffer.get();
  std::int64_t left = frameSize;
  while (left > 0) {
    if (ioInfo.pchNext == ioInfo.pchEndRead) {
      if (mmio::mmioAdvance(file, &ioInfo, mmio::MMIO_READ) != 0) {
        errorInfo.SetErrorMessage(kCannotRead);
        return false;
      }
      // The data chunk promised more bytes than the file holds.
      if (ioInfo.pchNext == ioInfo.pchEndRead) {
        errorInfo.SetErrorMessage(kCannotReadTruncated);
        return false;
      }
    }
    std::int64_t take = ioInfo.pchEndRead - ioInfo.pchNext;
    if (take > left) {
      take = left;
    }
    std::memcpy(destination, ioInfo.pchNext, static_cast<std::size_t>(take));
    ioInfo.pchNext += take;
    destination += take;
    left -= take;
  }
  return true;
}

}  // namespace wavfreq
