// Gives the meter arbitrary samples twice: one by one through its interfaces, and in blocks of
// sizes that the bytes choose through the product's instantiation. The two must report the same
// values to the last bit; the fuzzer stops on the first difference. A third meter takes the
// blocks with a writer that drops everything up to just below the next value: it must still be
// offered every value. The first 8 bytes choose the
// window, the gate, the level, the sample width and whether the samples are integers or real
// values (the integers times a scale, some of which bring them near the level's 0.0001), and seed
// the block sizes; the rest are the samples. Real values may instead be rounded to floats at the
// 32-bit scale, which the blocks then take as stored, and 16-bit integers may be taken as stored
// words.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "meter/ConstMean.h"
#include "meter/WavFreqMeter.h"
#include "support/EdgeWriter.h"
#include "support/RecordingWriter.h"
#include "wav/LittleEndian.h"

namespace {

using wavfreq::test::RecordingWriter;

void Fail(const char* what) {
  std::fprintf(stderr, "block and sample paths differ: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 8) {
    return 0;
  }
  const int window = wavfreq::ReadLe16(data) & 0x0FFF;
  // No gate below 64; thresholds between the integers up to 7200; the 32-bit scale at 255.
  const int gateChoice = data[2];
  const double gate = gateChoice < 64     ? 0.0
                      : gateChoice == 255 ? 2147483648.0
                                          : (gateChoice - 63) * 37.5;
  const double levels[] = {0.0, 0.0, 0.5, -20.0};
  const double level = levels[data[3] & 3];
  const bool wide = (data[3] & 4) != 0;
  const bool real = (data[3] & 8) != 0;
  const double scales[] = {1.0, 1.0 / 3.0, 1e-5, 0x1p-20};
  const double scale = scales[(data[3] >> 4) & 3];
  const bool singles = real && (data[3] & 0x40) != 0;
  const bool words = !real && !wide && (data[3] & 0x40) != 0;
  constexpr double kSingleScale = 2147483648.0;
  std::uint32_t blockSeed = wavfreq::ReadLe32(data + 4);

  std::vector<int> samples;
  const std::size_t width = wide ? 4 : 2;
  for (std::size_t at = 8; at + width <= size; at += width) {
    samples.push_back(wide ? wavfreq::ReadLeSigned32(data + at)
                           : wavfreq::ReadLeSigned16(data + at));
  }

  RecordingWriter oneByOne;
  wavfreq::ConstMean oneByOneMean(0, level);
  wavfreq::WavFreqMeter reference(oneByOne, oneByOneMean, window, 8000);
  RecordingWriter inBlocks;
  wavfreq::test::EdgeWriter edge(oneByOne.values);
  wavfreq::ConstMean edgeMean(0, level);
  wavfreq::BasicWavFreqMeter<wavfreq::ConstMean, wavfreq::test::EdgeWriter> edgeMeter(
      edge, edgeMean, window, 8000);
  wavfreq::ConstMean inBlocksMean(0, level);
  wavfreq::BasicWavFreqMeter<wavfreq::ConstMean, RecordingWriter> blocks(inBlocks, inBlocksMean,
                                                                         window, 8000);
  if (gate > 0.0) {
    reference.SetGate(gate);
    blocks.SetGate(gate);
    edgeMeter.SetGate(gate);
  }
  std::vector<double> values;
  std::vector<float> stored;
  std::vector<std::int16_t> storedWords(samples.begin(), samples.end());
  for (int sample : samples) {
    values.push_back(static_cast<double>(sample) * scale);
    if (singles) {
      stored.push_back(static_cast<float>(values.back() / kSingleScale));
      values.back() = static_cast<double>(stored.back()) * kSingleScale;
    }
  }
  for (std::size_t i = 0; i < samples.size(); ++i) {
    if (real) {
      reference.ProcessBlock(&values[i], 1);
    } else {
      reference.ProcessSample(samples[i]);
    }
  }
  for (std::size_t done = 0; done < samples.size();) {
    blockSeed = blockSeed * 1664525u + 1013904223u;
    const std::size_t wanted = (blockSeed >> 16) % 8 == 0 ? 4096 : (blockSeed >> 16) % 300 + 1;
    const std::size_t count = wanted < samples.size() - done ? wanted : samples.size() - done;
    if (singles) {
      blocks.ProcessBlock(stored.data() + done, static_cast<int>(count), kSingleScale);
      edgeMeter.ProcessBlock(stored.data() + done, static_cast<int>(count), kSingleScale);
    } else if (words) {
      blocks.ProcessBlock(storedWords.data() + done, static_cast<int>(count));
      edgeMeter.ProcessBlock(storedWords.data() + done, static_cast<int>(count));
    } else if (real) {
      blocks.ProcessBlock(values.data() + done, static_cast<int>(count));
      edgeMeter.ProcessBlock(values.data() + done, static_cast<int>(count));
    } else {
      blocks.ProcessBlock(samples.data() + done, static_cast<int>(count));
      edgeMeter.ProcessBlock(samples.data() + done, static_cast<int>(count));
    }
    done += count;
  }

  if (reference.GetTime() != blocks.GetTime()) {
    Fail("time");
  }
  if (oneByOne.values.size() != inBlocks.values.size()) {
    Fail("number of reports");
  }
  for (std::size_t i = 0; i < oneByOne.values.size(); ++i) {
    if (std::memcmp(&oneByOne.values[i], &inBlocks.values[i], sizeof oneByOne.values[i]) != 0) {
      Fail("a report");
    }
  }
  if (edge.got.size() != oneByOne.values.size() ||
      (!edge.got.empty() && std::memcmp(edge.got.data(), oneByOne.values.data(),
                                        edge.got.size() * sizeof edge.got[0]) != 0)) {
    Fail("a value left out above what the writer drops");
  }
  return 0;
}
