#include "wav/WavFileReader.h"

#include <gtest/gtest.h>

#include "support/MemoryByteStream.h"
#include "support/WavBuilder.h"

namespace wavfreq {
namespace {

using namespace test;

const char kCannotRead[] = "Error! Input file can not be read.";
const char kNotPcm[] = "Error! Input file must be in PCM format.";
const char kNotPcmTag[] = "Error! Input file must be in PCM mono 8-bit format.";

std::unique_ptr<WavFileReader> Open(const Bytes& bytes) {
  return std::make_unique<WavFileReader>(
      std::make_unique<MemoryByteStream>(bytes.data(), bytes.size()));
}

std::string Refusal(const Bytes& bytes) {
  auto reader = Open(bytes);
  EXPECT_EQ(reader->ErrorInfo().GetErrorCode(), 0);
  return reader->ErrorInfo().HasError() ? reader->ErrorInfo().GetErrorMessage() : "accepted";
}

const Bytes kFmt = Chunk("fmt ", FmtPayload(1, 1, 8000, 8));
const Bytes kData = Chunk("data", {1, 2, 3});

TEST(WavFileReaderTest, RefusesFilesThatAreNotRiffWave) {
  EXPECT_EQ(Refusal({}), kCannotRead);
  EXPECT_EQ(Refusal({'R', 'I', 'F', 'F', 4, 0, 0}), kCannotRead);
  EXPECT_EQ(Refusal({'R', 'I', 'F', 'F', 4, 0, 0, 0}), kCannotRead);  // no form type
  EXPECT_EQ(Refusal({'R', 'I', 'F', 'X', 4, 0, 0, 0}), kNotPcm);      // big-endian RIFX
  EXPECT_EQ(Refusal(Riff(Concat({kFmt, kData}), "AVI ")), kNotPcm);
}

TEST(WavFileReaderTest, RefusesMissingOrMalformedFormatChunks) {
  EXPECT_EQ(Refusal(Riff(kData)), kNotPcm);
  EXPECT_EQ(Refusal(Riff(Concat({Chunk("fmt ", Bytes(14)), kData}))), kNotPcm);
  // A "fmt " chunk whose size is fine but whose file ends inside it.
  Bytes cut = Riff(Concat({Chunk("fmt ", FmtPayload(1, 1, 8000, 8))}));
  cut.resize(cut.size() - 4);
  EXPECT_EQ(Refusal(cut), kCannotRead);
  EXPECT_EQ(Refusal(Riff(Concat({Chunk("fmt ", FmtPayload(3, 1, 8000, 32)), kData}))), kNotPcmTag);
  EXPECT_EQ(Refusal(Riff(Concat({Chunk("fmt ", FmtPayload(0xFFFE, 2, 48000, 24)), kData}))),
            kNotPcmTag);
  // The data chunk must follow the format chunk.
  EXPECT_EQ(Refusal(Riff(Concat({kData, kFmt}))), kNotPcm);
  EXPECT_EQ(Refusal(Riff(kFmt)), kNotPcm);
}

TEST(WavFileReaderTest, RefusesFramesOfNoBytes) {
  EXPECT_EQ(Refusal(Riff(Concat({Chunk("fmt ", FmtPayload(1, 0, 8000, 16)), kData}))), kNotPcm);
  EXPECT_EQ(Refusal(Riff(Concat({Chunk("fmt ", FmtPayload(1, 2, 8000, 7)), kData}))), kNotPcm);
}

TEST(WavFileReaderTest, SkipsOtherChunksAndExtendedFormatBytes) {
  for (std::size_t extra : {2u, 3u, 24u}) {
    Bytes file = Riff(Concat({Chunk("LIST", {'I', 'N', 'F', 'O'}), Chunk("junk", {9}),
                              Chunk("fmt ", FmtPayload(1, 2, 44100, 16, extra)),
                              Chunk("fact", {1, 2, 3, 4, 5}), Chunk("data", {1, 2, 3, 4})}));
    auto reader = Open(file);
    ASSERT_FALSE(reader->ErrorInfo().HasError()) << extra;
    EXPECT_EQ(reader->Format().nChannels, 2);
    EXPECT_EQ(reader->Format().nSamplesPerSec, 44100u);
    ASSERT_TRUE(reader->ReadFrame());
    EXPECT_EQ(reader->Frame()[0], 1);
    EXPECT_EQ(reader->Frame()[3], 4);
  }
}

TEST(WavFileReaderTest, FrameSizeComesFromBitsAndChannelsAlone) {
  struct Case {
    std::uint16_t channels, bits;
    std::uint32_t dataSize;
    std::int32_t frameSize;
    std::int64_t frameCount;
  };
  for (const Case& c : {Case{2, 16, 10, 4, 2}, Case{1, 8, 0, 1, 0}, Case{2, 24, 12, 6, 2},
                        Case{3, 12, 7, 3, 2}, Case{1, 8, 0xFFFFFFFF, 1, 0xFFFFFFFF}}) {
    Bytes file = Riff(Concat(
        {Chunk("fmt ", FmtPayload(1, c.channels, 8000, c.bits)), Chunk("data", {}, c.dataSize)}));
    auto reader = Open(file);
    ASSERT_FALSE(reader->ErrorInfo().HasError());
    EXPECT_EQ(reader->FrameSize(), c.frameSize);
    EXPECT_EQ(reader->FrameCount(), c.frameCount);
    EXPECT_EQ(reader->FrameIndex(), -1);
  }
}

TEST(WavFileReaderTest, ChunksAfterTheDataAreNotReadAsFrames) {
  // Metadata often follows the samples, and lies in the same buffer window as the last frames.
  Bytes file = Riff(Concat({Chunk("fmt ", FmtPayload(1, 1, 8000, 8)),
                            Chunk("data", {1, 2, 3, 4, 5}), Chunk("LIST", Bytes(200, 9))}));
  auto reader = Open(file);
  int frames = 0;
  while (reader->ReadFrame()) {
    EXPECT_EQ(reader->Frame()[0], ++frames);
  }
  EXPECT_EQ(frames, 5);
  EXPECT_TRUE(reader->IsEndOfData());
}

TEST(WavFileReaderTest, ReadsFramesAcrossBufferRefillsByteForByte) {
  // Frames of 3 bytes do not divide the buffer size, so some frames straddle a refill.
  Bytes data(static_cast<std::size_t>(RiffFile::kBufferSize) * 3 + 9);
  for (std::size_t i = 0; i < data.size(); ++i) {
    data[i] = static_cast<std::uint8_t>(i % 251);
  }
  auto reader = Open(PcmWav(3, 8000, 8, data));
  ASSERT_FALSE(reader->ErrorInfo().HasError());
  std::size_t offset = 0;
  while (reader->ReadFrame()) {
    for (std::size_t b = 0; b < 3; ++b) {
      ASSERT_EQ(reader->Frame()[b], data[offset + b]) << offset;
    }
    offset += 3;
  }
  EXPECT_EQ(offset, data.size());
  EXPECT_TRUE(reader->IsEndOfData());
  EXPECT_FALSE(reader->ErrorInfo().HasError());
}

}  // namespace
}  // namespace wavfreq
