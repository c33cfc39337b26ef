// Writes the seed corpora: WAV files of the shapes the tests build for the source and pipeline
// targets, and tones with and without noise for the meter target.
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "support/WavBuilder.h"

using namespace wavfreq::test;

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s SOURCE_CORPUS_DIR PIPELINE_CORPUS_DIR METER_CORPUS_DIR\n",
                 argv[0]);
    return 2;
  }
  const Bytes tone = Frames16({Sine(1000, 9000, 8000, 400), Sine(440, 5000, 8000, 400)});
  const std::vector<Bytes> seeds = {
      PcmWav(2, 8000, 16, tone),
      PcmWav(1, 8000, 8, Frames8({Sine(500, 100, 8000, 300)})),
      PcmWav(1, 44100, 24, Bytes(30, 7)),
      PcmWav(3, 11025, 12, Bytes(31, 200)),
      Riff(Concat({Chunk("LIST", {'I', 'N', 'F', 'O', 1}),
                   Chunk("fmt ", FmtPayload(1, 1, 8000, 16, 3)), Chunk("fact", {1, 2, 3}),
                   Chunk("data", Frames16({Sine(300, 2000, 8000, 100)}))})),
      Riff(Concat(
          {Chunk("fmt ", FmtPayload(1, 1, 8000, 16)), Chunk("data", {1, 0, 2}, 1000, false)})),
      Riff(Concat({Chunk("fmt ", FmtPayload(3, 1, 8000, 32)), Chunk("data", {})})),
      Riff(Concat({Chunk("data", {1, 2}), Chunk("fmt ", FmtPayload(1, 1, 8000, 8))})),
      Riff(Chunk("fmt ", Bytes(14))),
      // Every container width, the extensible header, 24 bits in four-byte words, and the sizes
      // that streaming writers declare.
      PcmWav(1, 16000, 20, FramesLe(3, {Sine(1000, 300000, 16000, 100)})),
      PcmWav(2, 16000, 32, FramesLe(4, {Sine(1000, 3e8, 16000, 100), Sine(500, 3e8, 16000, 100)})),
      PcmWav(1, 16000, 40, Bytes(50, 1)),
      Riff(Concat(
          {Chunk("fmt ", ExtensibleFmtPayload(2, 16000, 24)),
           Chunk("data", FramesLe(3, {Sine(1000, 3e6, 16000, 50), Sine(700, 3e6, 16000, 50)}))})),
      Riff(Concat(
          {Chunk("fmt ", ExtensibleFmtPayload(
                             1, 16000, 32,
                             Concat({{3}, Bytes(kPcmSubFormat.begin() + 1, kPcmSubFormat.end())}))),
           Chunk("data", Bytes(40, 0))})),
      Riff(Concat({Chunk("fmt ", FmtPayload(1, 1, 16000, 24, 0, 4)),
                   Chunk("data", FramesLe(4, {Sine(1000, 3e6, 16000, 100)}))})),
      Riff(Concat({Chunk("fmt ", FmtPayload(1, 1, 8000, 16)),
                   Chunk("data", Frames16({Sine(1000, 9000, 8000, 101)}), 0xFFFFFFFF, false)}),
           "WAVE", 0xFFFFFFFF),
      Riff(Concat({Chunk("fmt ", FmtPayload(1, 1, 8000, 16)),
                   Chunk("data", Frames16({Sine(1000, 9000, 8000, 101)}), 0x7FFFF000, false)}),
           "WAVE", 0x7FFFF024),
      // Floating-point samples, plain and extensible, with a NaN; RF64, BW64 and Wave64.
      Riff(Concat({Chunk("fmt ", FmtPayload(3, 1, 8000, 32)),
                   Chunk("data", FramesFloat({{0.5, -0.25, 2.0, -1.0, 0.125, 0.0}}))})),
      Riff(Concat({Chunk("fmt ", FmtPayload(3, 2, 8000, 64, 2)),
                   Chunk("data", FramesFloat({{0.5, -0.5, 0.25}, {1e300, 0.0, -0.75}}, true))})),
      Riff(Concat(
          {Chunk("fmt ", ExtensibleFmtPayload(
                             1, 16000, 32,
                             Concat({{3}, Bytes(kPcmSubFormat.begin() + 1, kPcmSubFormat.end())}))),
           Chunk("data", FramesFloat({{0.5, std::numeric_limits<double>::quiet_NaN(), 0.5}}))})),
      Rf64(Concat({Ds64(200, 40, {{"junk", 2}}), Chunk("junk", {1, 2}, 0xFFFFFFFF),
                   Chunk("fmt ", FmtPayload(1, 1, 8000, 16)),
                   Chunk("data", Frames16({Sine(1000, 9000, 8000, 20)}), 0xFFFFFFFF, false)})),
      Rf64(Concat({Ds64(0, 0), Chunk("fmt ", FmtPayload(1, 1, 8000, 8)),
                   Chunk("data", Frames8({Sine(1000, 90, 8000, 30)}), 0xFFFFFFFF, false)}),
           "BW64"),
      Wave64(
          Concat({Wave64Chunk("junk", {1, 2, 3}), Wave64Chunk("fmt ", FmtPayload(1, 1, 8000, 16)),
                  Wave64Chunk("data", Frames16({Sine(700, 9000, 8000, 30)}))})),
  };
  // Channel 1 at the default rates; every other seed gated at -40 dBFS with the summary.
  const Bytes options = Concat({Le32(1), Le32(100), Le32(0)});
  const Bytes gatedOptions = Concat({Le32(1 | 40 << 8 | 1 << 16), Le32(100), Le32(0)});
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    const std::string name = "/seed" + std::to_string(i) + ".wav";
    WriteFile(argv[1] + name, seeds[i]);
    WriteFile(argv[2] + name, Concat({i % 2 == 0 ? options : gatedOptions, seeds[i]}));
  }
  // Window, gate choice, level and width choice, block seed; then 16-bit samples: a tone, the
  // same tone in noise and gated, a tone on a stretch of silence at the level 0.5, and the first
  // two as floats and the noisy one as words.
  const std::vector<int> meterTone = Sine(700, 3000, 8000, 800);
  const std::vector<int> noisy =
      WithNoise(std::vector<double>(meterTone.begin(), meterTone.end()), 400.0, 1);
  const std::vector<Bytes> meterSeeds = {
      Concat({Le16(80), {0, 0}, Le32(1), Frames16({Sine(1000, 9000, 8000, 800)})}),
      Concat({Le16(80), {100, 0}, Le32(2), Frames16({noisy})}),
      Concat({Le16(300), {70, 2}, Le32(3), Bytes(400, 0), Frames16({Sine(300, 500, 8000, 600)})}),
      // The tone and the gated noisy one as floats.
      Concat({Le16(80), {0, 0x48}, Le32(4), Frames16({Sine(1000, 9000, 8000, 800)})}),
      Concat({Le16(80), {100, 0x4A}, Le32(5), Frames16({noisy})}),
      // The noisy tone as stored words, ungated and gated.
      Concat({Le16(80), {0, 0x40}, Le32(6), Frames16({noisy})}),
      Concat({Le16(80), {100, 0x40}, Le32(7), Frames16({noisy})}),
  };
  for (std::size_t i = 0; i < meterSeeds.size(); ++i) {
    WriteFile(std::string(argv[3]) + "/seed" + std::to_string(i), meterSeeds[i]);
  }
  return 0;
}
