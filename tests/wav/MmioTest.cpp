#include "wav/Mmio.h"

#include <gtest/gtest.h>

#include "support/WavBuilder.h"
#include "wav/MemoryByteStream.h"

namespace wavfreq {
namespace {

using namespace test;
using namespace mmio;

class OpenMmio {
 public:
  explicit OpenMmio(const Bytes& bytes)
      : handle(mmioOpenStream(std::make_unique<MemoryByteStream>(bytes.data(), bytes.size()))) {}
  ~OpenMmio() { mmioClose(handle, 0); }
  HMMIO handle;
};

TEST(MmioTest, FindsAChunkPastOddSizedOnesByTheirPadByte) {
  Bytes file = Riff(Concat({Chunk("odd ", {1, 2, 3}), Chunk("LIST", {'I', 'N', 'F', 'O', 9}),
                            Chunk("data", {0x55, 0x66})}));
  OpenMmio mmio(file);
  MMCKINFO riff;
  ASSERT_EQ(mmioDescend(mmio.handle, &riff, nullptr, 0), 0);
  EXPECT_EQ(riff.ckid, kRiff);
  EXPECT_EQ(riff.fccType, MakeFourCC('W', 'A', 'V', 'E'));
  MMCKINFO data;
  data.ckid = MakeFourCC('d', 'a', 't', 'a');
  ASSERT_EQ(mmioDescend(mmio.handle, &data, &riff, MMIO_FINDCHUNK), 0);
  EXPECT_EQ(data.cksize, 2u);
  MMIOINFO info;
  ASSERT_EQ(mmioGetInfo(mmio.handle, &info, 0), 0);
  ASSERT_EQ(info.pchEndRead - info.pchNext, 2);
  EXPECT_EQ(static_cast<unsigned char>(info.pchNext[0]), 0x55);
}

TEST(MmioTest, SearchStopsAtTheEndOfTheParentsData) {
  // The RIFF size leaves "data" outside the parent: it is not found although the bytes are there.
  Bytes body = Concat({Chunk("junk", {1, 2}), Chunk("data", {7, 7})});
  OpenMmio mmio(Riff(body, "WAVE", 4 + 10));
  MMCKINFO riff;
  ASSERT_EQ(mmioDescend(mmio.handle, &riff, nullptr, 0), 0);
  MMCKINFO data;
  data.ckid = MakeFourCC('d', 'a', 't', 'a');
  EXPECT_NE(mmioDescend(mmio.handle, &data, &riff, MMIO_FINDCHUNK), 0);
}

TEST(MmioTest, AdvanceRefillsAcrossTheBufferAndReportsTheEndAsAnEmptyWindow) {
  Bytes payload(static_cast<std::size_t>(kBufferSize) * 2 + 5);
  for (std::size_t i = 0; i < payload.size(); ++i) {
    payload[i] = static_cast<std::uint8_t>(i * 7);
  }
  OpenMmio mmio(payload);
  MMIOINFO info;
  ASSERT_EQ(mmioGetInfo(mmio.handle, &info, 0), 0);
  std::size_t seen = 0;
  for (;;) {
    if (info.pchNext == info.pchEndRead) {
      ASSERT_EQ(mmioAdvance(mmio.handle, &info, MMIO_READ), 0);
      if (info.pchNext == info.pchEndRead) {
        break;
      }
    }
    ASSERT_EQ(static_cast<std::uint8_t>(*info.pchNext), payload[seen]);
    ++info.pchNext;
    ++seen;
  }
  EXPECT_EQ(seen, payload.size());
  EXPECT_EQ(mmioSetInfo(mmio.handle, &info, 0), 0);
}

TEST(MmioTest, OpenOfAMissingFileGivesNoHandle) {
  EXPECT_EQ(mmioOpen("/nonexistent/wavfreq.wav", MMIO_READ | MMIO_ALLOCBUF), nullptr);
}

}  // namespace
}  // namespace wavfreq
