#include "app/RunDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "core/IDataProcessor.h"
#include "core/IDataWriter.h"
#include "core/IWavFileSource.h"
#include "core/IWavMean.h"
#include "support/ConsoleCapture.h"

namespace wavfreq {
namespace {

/// What the doubles below are told to do, and what they saw.
struct Script {
  bool openSucceeds = true;
  int sampleRate = 4;
  int frames = 10;
  int failAtFrame = -1;       // ReadNextFrame fails here with an error recorded
  int interruptAtFrame = -1;  // a signal arrives while this frame is read
  int blockFrames = 3;        // frames that ReadBlock reads at most
  bool writerFailsToOpen = false;
  bool writerFailsOnFlush = false;
  std::vector<std::string> events;
  std::vector<int> samples;
  std::vector<double> realSamples;
  SampleFormat format;  // integer samples of 16 bits unless a test says otherwise
  int windowLength = 0;
  double interval = 0;
  // Starts at 0 whenever a script is made or replaced by a fresh one.
  struct Stop : StopFlag {
    Stop() : StopFlag(0) {}
    Stop(const Stop&) : StopFlag(0) {}
    Stop& operator=(const Stop&) {
      store(0);
      return *this;
    }
  } stop;
};

class FakeSource final : public IWavFileSource, public IErrorInfoProvider {
 public:
  explicit FakeSource(Script& told) : script(told) { script.events.push_back("source created"); }
  ~FakeSource() override { script.events.push_back("source destroyed"); }
  FakeSource(const FakeSource&) = delete;
  FakeSource& operator=(const FakeSource&) = delete;
  int GetBitsPerSample() override { return 16; }
  int GetSampleRate() override { return script.sampleRate; }
  int GetChannelCount() override { return 2; }
  bool ReadNextFrame() override {
    if (failed || position + 1 >= script.frames) {
      atEnd = !failed;
      return false;
    }
    ++position;
    if (position == script.interruptAtFrame) {
      script.stop.store(SIGINT);
    }
    if (position == script.failAtFrame) {
      failed = true;
      return false;
    }
    return true;
  }
  std::int64_t GetPosition() override { return position; }
  int ReadBlock(int channel, int* samples, int capacity) override {
    int done = 0;
    while (done < capacity && done < script.blockFrames && ReadNextFrame()) {
      samples[done++] = GetSample(channel);
    }
    return done;
  }
  int ReadBlock(int channel, double* samples, int capacity) override {
    int done = 0;
    while (done < capacity && done < script.blockFrames && ReadNextFrame()) {
      samples[done++] = GetSample(channel) + 0.5;
    }
    return done;
  }
  const SampleFormat& GetFormat() override { return script.format; }
  int GetSample(int channel) override { return static_cast<int>(position) * 10 + channel; }
  bool Open(const char* path) override {
    script.events.push_back(std::string("open ") + path);
    failed = !script.openSucceeds;
    return script.openSucceeds;
  }
  void Close() override {}
  bool IsEndOfData() override { return atEnd; }
  bool HasError() const override { return failed; }
  int GetErrorCode() const override { return failed ? 0 : 99; }
  std::string GetErrorMessage() const override { return failed ? "Error! Source failed." : ""; }

 private:
  Script& script;
  std::int64_t position = -1;
  bool atEnd = false;
  bool failed = false;
};

class FakeMean final : public IWavMean {
 public:
  explicit FakeMean(Script& told) : script(told) { script.events.push_back("mean created"); }
  ~FakeMean() override { script.events.push_back("mean destroyed"); }
  FakeMean(const FakeMean&) = delete;
  FakeMean& operator=(const FakeMean&) = delete;
  double AddSample(double) override { return 0; }
  double GetSampleCount() override { return 0; }
  double GetMean() override { return 0; }
  double GetTotalSampleCount() override { return 0; }

 private:
  Script& script;
};

class FakeWriter final : public IDataWriter, public IErrorInfoProvider {
 public:
  FakeWriter(Script& told, const char* path, double interval)
      : script(told), failed(script.writerFailsToOpen) {
    script.events.push_back(std::string("writer created ") + path);
    script.interval = interval;
  }
  ~FakeWriter() override { script.events.push_back("writer destroyed"); }
  FakeWriter(const FakeWriter&) = delete;
  FakeWriter& operator=(const FakeWriter&) = delete;
  void WriteValue(double, double) override {}
  double DropsUpTo() const override { return -std::numeric_limits<double>::infinity(); }
  void WriteText(const char*) override {}
  std::int64_t LinesAccepted() const { return 0; }
  void Flush() override {
    script.events.push_back("writer flushed");
    failed = failed || script.writerFailsOnFlush;
  }
  bool HasError() const override { return failed; }
  int GetErrorCode() const override { return failed ? 28 : 0; }
  std::string GetErrorMessage() const override { return failed ? "Writer failed." : ""; }

 private:
  Script& script;
  bool failed;
};

class FakeMeter final : public IDataProcessor {
 public:
  FakeMeter(Script& told, int windowLength) : script(told) {
    script.events.push_back("meter created");
    script.windowLength = windowLength;
  }
  ~FakeMeter() override { script.events.push_back("meter destroyed"); }
  FakeMeter(const FakeMeter&) = delete;
  FakeMeter& operator=(const FakeMeter&) = delete;
  void ProcessSample(int sample) override { script.samples.push_back(sample); }
  void ProcessBlock(const int* samples, int count) override {
    script.samples.insert(script.samples.end(), samples, samples + count);
  }
  void ProcessBlock(const double* samples, int count) override {
    script.realSamples.insert(script.realSamples.end(), samples, samples + count);
  }
  double GetTime() override { return 0; }
  void SetGateLevel(double, int) {}

 private:
  Script& script;
};

class FakeFactory {
 public:
  explicit FakeFactory(Script& told) : script(told) {}
  FakeSource MakeSource() { return FakeSource(script); }
  FakeMean MakeMean() { return FakeMean(script); }
  FakeWriter MakeWriter(const char* path, double interval) {
    return FakeWriter(script, path, interval);
  }
  FakeMeter MakeMeter(IDataWriter&, IWavMean&, int windowLength, int) {
    return FakeMeter(script, windowLength);
  }

 private:
  Script& script;
};

class RunDriverTest : public ::testing::Test {
 protected:
  int Measure(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "wavfreq");
    test::ConsoleCapture capture;
    FakeFactory factory(script);
    const int code =
        RunDriver::Measure(CommandLine::Parse(static_cast<int>(arguments.size()), arguments.data()),
                           capture.Get(), factory, script.stop);
    output = capture.Text();
    return code;
  }

  Script script;
  std::string output;
};

TEST_F(RunDriverTest, SuccessfulRunCreatesAndDestroysInOrder) {
  script.frames = 9;
  EXPECT_EQ(Measure({"-ch:1", "-rate:2", "in.wav", "out.txt"}), 0);
  EXPECT_EQ(output, "Sample rate: 4 Hz, 16-bit PCM, Channels: 2\nCurrent channel: 1\n...");
  const std::vector<std::string> expected = {
      "source created", "open in.wav",     "mean created",    "writer created out.txt",
      "meter created",  "writer flushed",  "meter destroyed", "writer destroyed",
      "mean destroyed", "source destroyed"};
  EXPECT_EQ(script.events, expected);
  EXPECT_EQ(script.windowLength, 2);  // 4 / 2
  EXPECT_EQ(script.interval, 1.0 / 4);
  std::vector<int> samples;
  for (int i = 0; i < 9; ++i) {
    samples.push_back(i * 10 + 1);
  }
  EXPECT_EQ(script.samples, samples);
}

TEST_F(RunDriverTest, RefusedInputPrintsTheSourcesErrorLine) {
  script.openSucceeds = false;
  EXPECT_EQ(Measure({"in.wav", "out.txt"}), 2);
  EXPECT_EQ(output, "\nError! (0) Error! Source failed.\n");
  EXPECT_EQ(script.events,
            (std::vector<std::string>{"source created", "open in.wav", "source destroyed"}));
}

TEST_F(RunDriverTest, SampleRateWithoutTimeBaseIsRefusedBeforeTheFormatLine) {
  for (int rate : {0, -1, -2147483647 - 1}) {
    script.sampleRate = rate;
    EXPECT_EQ(Measure({"in.wav", "out.txt"}), 2);
    EXPECT_EQ(output, "\nError! (0) Error! Input file has an unsupported sample rate.\n");
  }
}

TEST_F(RunDriverTest, ReadErrorEndsWithTheErrorLineAfterTheDots) {
  script.frames = 100;
  script.failAtFrame = 6;
  EXPECT_EQ(Measure({"in.wav", "out.txt"}), 3);
  EXPECT_EQ(output,
            "Sample rate: 4 Hz, 16-bit PCM, Channels: 2\nCurrent channel: 0\n.."
            "\nError! (0) Error! Source failed.\n");
  EXPECT_EQ(script.samples.size(), 6u);
  // A source error keeps precedence over the writer's.
  script.writerFailsOnFlush = true;
  script.samples.clear();
  EXPECT_EQ(Measure({"in.wav", "out.txt"}), 3);
  EXPECT_EQ(output,
            "Sample rate: 4 Hz, 16-bit PCM, Channels: 2\nCurrent channel: 0\n.."
            "\nError! (0) Error! Source failed.\n");
}

TEST_F(RunDriverTest, SignalStopsTheLoopAfterTheBlockAndKeepsWhatWasMeasured) {
  // Blocks of 3 frames: the signal during frame 5 stops the run after the block of frames 3-5.
  script.frames = 100;
  script.interruptAtFrame = 5;
  EXPECT_EQ(Measure({"in.wav", "out.txt"}), 128 + SIGINT);
  EXPECT_EQ(output,
            "Sample rate: 4 Hz, 16-bit PCM, Channels: 2\nCurrent channel: 0\n.."
            "\nError! (0) Interrupted.\n");
  EXPECT_EQ(script.samples.size(), 6u);
  EXPECT_EQ(std::count(script.events.begin(), script.events.end(), "writer flushed"), 1);

  // The read that the signal interrupted fails: still an interruption, not a read error.
  script = Script();
  script.frames = 100;
  script.interruptAtFrame = 5;
  script.failAtFrame = 5;
  EXPECT_EQ(Measure({"in.wav", "out.txt"}), 128 + SIGINT);
  EXPECT_EQ(output,
            "Sample rate: 4 Hz, 16-bit PCM, Channels: 2\nCurrent channel: 0\n.."
            "\nError! (0) Interrupted.\n");
  EXPECT_EQ(script.samples.size(), 5u);
}

TEST_F(RunDriverTest, UnwritableResultFileEndsWithCode4) {
  script.writerFailsToOpen = true;
  EXPECT_EQ(Measure({"in.wav", "out.txt"}), 4);
  EXPECT_EQ(output,
            "Sample rate: 4 Hz, 16-bit PCM, Channels: 2\nCurrent channel: 0\n"
            "\nError! (28) Writer failed.\n");
  EXPECT_TRUE(script.samples.empty());
  EXPECT_EQ(std::count(script.events.begin(), script.events.end(), "meter created"), 0);

  script = Script();
  script.writerFailsOnFlush = true;
  EXPECT_EQ(Measure({"in.wav", "out.txt"}), 4);
  EXPECT_EQ(output,
            "Sample rate: 4 Hz, 16-bit PCM, Channels: 2\nCurrent channel: 0\n..."
            "\nError! (28) Writer failed.\n");
}

TEST_F(RunDriverTest, WindowIsTheTruncatedQuotientAndMayBeZero) {
  script.sampleRate = 22050;
  Measure({"in.wav", "out.txt"});
  EXPECT_EQ(script.windowLength, 220);
  script.sampleRate = 8000;
  Measure({"-rate:300", "in.wav", "out.txt"});
  EXPECT_EQ(script.windowLength, 26);
  Measure({"-rate:9000", "in.wav", "out.txt"});
  EXPECT_EQ(script.windowLength, 0);
  Measure({"-out:-5", "in.wav", "out.txt"});
  EXPECT_EQ(script.interval, -0.2);
}

}  // namespace
}  // namespace wavfreq
