#pragma once

#include <string>

#include "app/CommandLine.h"
#include "app/Console.h"
#include "app/DotSchedule.h"
#include "app/Platform.h"
#include "meter/ConstMean.h"
#include "meter/WavFreqMeter.h"
#include "output/FileDataWriter.h"
#include "wav/WavFileSource.h"

namespace wavfreq {

/// The components of a real run. Tests substitute doubles with the same constructors. The meter
/// is compiled against the final level provider and writer so that their calls inline.
struct ProductComponents {
  using Source = WavFileSource;
  using Mean = ConstMean;
  using Writer = FileDataWriter;
  using Meter = BasicWavFreqMeter<ConstMean, FileDataWriter>;
};

/// Exit codes: what a script can rely on.
enum ExitCode : int {
  kExitSuccess = 0,
  kExitBadCommandLine = 1,
  kExitInputUnusable = 2,
  kExitReadError = 3,
  kExitOutputUnwritable = 4,
};

/// The program's run: banner, command line, then the measurement. Every console text of the
/// program is printed here.
class RunDriver {
 public:
  static int Run(int argc, const char* const* argv, Console& console);

  /// From opening the input to the exit code, with the components `Components` names. The
  /// components are locals, created in dependency order and destroyed in reverse.
  template <class Components>
  static int Measure(const CommandLine& line, Console& console);

  /// Reads the chosen channel of every frame into the processor, with progress dots.
  template <class Source, class Processor>
  static void RunSampleLoop(Source& source, Processor& processor, int channel, int sampleRate,
                            Console& console);

 private:
  template <class Component>
  static void PrintError(Console& console, const Component& component) {
    const std::string message = component.GetErrorMessage();
    console.Print("\nError! (%i) %s\n", component.GetErrorCode(), message.c_str());
  }
};

template <class Components>
int RunDriver::Measure(const CommandLine& line, Console& console) {
  typename Components::Source source;
  if (!source.Open(line.inputPath.c_str())) {
    PrintError(console, source);
    return kExitInputUnusable;
  }
  const int sampleRate = source.GetSampleRate();
  // A rate of 0, or one of 2^31 and above, which reads as negative, gives no time base.
  if (sampleRate <= 0) {
    console.Print("\nError! (0) Error! Input file has an unsupported sample rate.\n");
    return kExitInputUnusable;
  }
  console.Print("Sample rate: %i Hz, %i-bit PCM, Channels: %i\n", sampleRate,
                source.GetBitsPerSample(), source.GetChannelCount());
  console.Print("Current channel: %i\n", line.channel);
  // Creating the result file truncates it: never let that be the input.
  if (Platform::SameExistingFile(line.inputPath.c_str(), line.outputPath.c_str())) {
    console.Print("\nError! (0) Output file must differ from input file.\n");
    return kExitOutputUnwritable;
  }

  typename Components::Mean mean(0, 0.0);
  typename Components::Writer writer(line.outputPath.c_str(), 1.0 / line.outputRate);
  if (writer.HasError()) {
    PrintError(console, writer);
    return kExitOutputUnwritable;
  }
  typename Components::Meter meter(writer, mean, sampleRate / line.valueRate, sampleRate);

  RunSampleLoop(source, meter, line.channel, sampleRate, console);

  if (source.HasError()) {
    PrintError(console, source);
    return kExitReadError;
  }
  writer.Flush();
  if (writer.HasError()) {
    PrintError(console, writer);
    return kExitOutputUnwritable;
  }
  return kExitSuccess;
}

template <class Source, class Processor>
void RunDriver::RunSampleLoop(Source& source, Processor& processor, int channel, int sampleRate,
                              Console& console) {
  DotSchedule dots(sampleRate);
  while (!source.IsEndOfData()) {
    if (source.HasError() || !source.ReadNextFrame()) {
      break;
    }
    processor.ProcessSample(source.GetSample(channel));
    if (dots.IsDue(source.GetPosition())) {
      console.Print(".");
    }
  }
}

}  // namespace wavfreq
