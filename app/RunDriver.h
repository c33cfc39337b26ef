#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "app/CommandLine.h"
#include "app/Console.h"
#include "app/Interruption.h"
#include "app/JsonSummary.h"
#include "app/LiveDisplay.h"
#include "app/Platform.h"
#include "app/SampleLoop.h"
#include "app/SummaryThread.h"
#include "core/IErrorInfoProvider.h"
#include "core/SampleFormat.h"
#include "dsp/BandPass.h"
#include "stats/RunSummary.h"
#include "wav/SampleDecoder.h"

namespace wavfreq {

/// Exit codes: what a script can rely on.
enum ExitCode : int {
  kExitSuccess = 0,
  kExitBadCommandLine = 1,
  kExitInputUnusable = 2,
  kExitReadError = 3,
  kExitOutputUnwritable = 4,
  kExitOutOfMemory = 5,
};

/// The program's run: banner, command line, then the measurement. Every console text of the
/// program is printed here.
///
/// `stop` is 0 while the run may go on; a signal's number stops the sample loop, and the run ends
/// after writing what it measured, with the exit code 128 + that number.
///
/// The components come from a factory with four calls, made in this order: `MakeSource()`,
/// `MakeMean()`, `MakeWriter(path, interval)` and `MakeMeter(writer, mean, window, sampleRate)`.
/// Each returns its component by value, so the components are locals of the driver, created in
/// that order and destroyed in reverse. Tests and fuzz targets hand in factories of their own.
class RunDriver {
 public:
  /// A run with the tool's real components, stopped by SIGINT, SIGTERM and SIGHUP. The console is
  /// standard output, or standard error when the result table goes to standard output.
  static int Run(int argc, const char* const* argv);

  template <class Factory>
  static int Run(int argc, const char* const* argv, Console& console, Factory& factory,
                 const StopFlag& stop);

  /// From opening the input to the exit code, and the JSON of the run where it is asked for.
  template <class Factory>
  static int Measure(const CommandLine& line, Console& console, Factory& factory,
                     const StopFlag& stop);

  static constexpr const char* kBanner = "Wav file frequency meter. v" WAVFREQ_VERSION "\n";
  static constexpr const char* kFormatLine = "Sample rate: %i Hz, %i-bit PCM, Channels: %i\n";
  static constexpr const char* kFloatFormatLine =
      "Sample rate: %i Hz, %i-bit float, Channels: %i\n";
  static constexpr const char* kChannelLine = "Current channel: %i\n";
  static constexpr const char* kUnsupportedSampleRate =
      "Error! Input file has an unsupported sample rate.";
  static constexpr const char* kOutputIsInput = "Output file must differ from input file.";
  static constexpr const char* kInterrupted = "Interrupted.";
  static constexpr const char* kOutOfMemory = "Out of memory for the summary.";
  static constexpr const char* kReportIsTable = "Report file must differ from the result table.";
  static constexpr const char* kCannotWriteReport = "Can not write the report file.";
  static constexpr const char* kCannotWriteJson = "Can not write the JSON file.";
  static constexpr const char* kBandAboveHalfTheRate =
      "Band must end below half the sample rate, %s Hz.";

 private:
  using ReportFile = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
  /// The report's file, created (emptied) at the start so that a path that cannot be written
  /// fails before the measurement; null where it cannot be.
  static ReportFile OpenReport(const std::string& path);
  /// Writes the report of the summary's tones and closes its file; 0, or the error's number.
  static int WriteReport(ReportFile& file, const std::string& input, RunSummary& summary);
  /// Answers a command line that asks for no measurement (usage, help, version, a refusal);
  /// returns the exit code.
  static int AnswerCommandLine(const CommandLine& line, const char* programName, Console& console);
  /// From opening the input to the exit code; what the JSON holds goes into `run`.
  template <class Factory>
  static int MeasureInput(const CommandLine& line, Console& console, Factory& factory,
                          const StopFlag& stop, JsonSummary::Run& run);
  /// Ends a run that a signal stopped.
  static int EndInterrupted(Console& console, int signal, JsonSummary::Run& run);
  /// Ends a run with its error line, kept for the JSON too; returns `exit`.
  static int Fail(Console& console, JsonSummary::Run& run, int exit, int code,
                  const std::string& message);
  static int Fail(Console& console, JsonSummary::Run& run, int exit,
                  const IErrorInfoProvider& failed);
  /// Standard output stays open when the JSON written there is done.
  static int KeepOpen(std::FILE* stream) { return std::fflush(stream); }
  /// Writes `text` and closes the file; 0, or the error's number.
  static int WriteFile(ReportFile& file, const std::string& text);
  /// The measured channel goes to the meter and, with -stats, to the summary's thread as well.
  template <class Meter, class Sample>
  struct Measured {
    Meter& meter;
    SummaryThread<RunSummary, Sample>* summary;
    void ProcessBlock(const Sample* samples, int count) {
      meter.ProcessBlock(samples, count);
      if (summary != nullptr) {
        summary->ProcessBlock(samples, count);
      }
    }
    /// 16-bit samples as stored, for a meter that takes them so; the summary takes them widened.
    template <class S = Sample, class M = Meter, class = std::enable_if_t<std::is_same_v<S, int>>,
              class = decltype(std::declval<M&>().ProcessBlock(std::declval<const std::int16_t*>(),
                                                               0))>
    void ProcessBlock(const std::int16_t* samples, int count) {
      meter.ProcessBlock(samples, count);
      if (summary != nullptr) {
        constexpr int kPiece = 256;
        int widened[kPiece];
        for (int done = 0; done < count; done += kPiece) {
          const int piece = std::min(kPiece, count - done);
          SampleDecoder::Widen(samples + done, piece, widened);
          summary->ProcessBlock(widened, piece);
        }
      }
    }
    /// Samples stored as floats, for a meter that takes them so at the decoder's scale; the
    /// summary takes them widened.
    template <
        class S = Sample, class M = Meter, class = std::enable_if_t<std::is_same_v<S, double>>,
        class = decltype(std::declval<M&>().ProcessBlock(std::declval<const float*>(), 0, 1.0))>
    void ProcessBlock(const float* samples, int count) {
      meter.ProcessBlock(samples, count, SampleDecoder::kSingleScale);
      if (summary != nullptr) {
        constexpr int kPiece = 256;
        double widened[kPiece];
        for (int done = 0; done < count; done += kPiece) {
          const int piece = std::min(kPiece, count - done);
          SampleDecoder::Widen(samples + done, piece, widened);
          summary->ProcessBlock(widened, piece);
        }
      }
    }
  };
  /// The sample loop with the summary, if any, on a thread of its own, and the progress: a dot
  /// per started second of audio, or with -live a reading per second. Whatever ended the input,
  /// the summary has taken all of it on return. Before the input makes the run wait, what it
  /// holds goes out: readings, table lines, the console. False when memory ran out for the
  /// summary.
  template <class Sample, class Source, class Meter, class Writer, class Factory>
  static bool MeasureChannel(Source& source, Meter& meter, Writer& writer, RunSummary* summary,
                             const CommandLine& line, int sampleRate, Console& console,
                             const StopFlag& stop, BandPass* band, Factory& factory);
  /// Prints the summary, after the dots or the readings; false when it did not arrive.
  static bool PrintSummary(Console& console, RunSummary& summary, std::int64_t lines, bool live);
  /// Whether a factory's sources can tell before the input makes the run wait.
  template <class Factory, class = void>
  struct TellsBeforeWait : std::false_type {};
  template <class Factory>
  struct TellsBeforeWait<Factory, std::void_t<decltype(std::declval<Factory&>().SetBeforeWait(
                                      std::function<void()>()))>> : std::true_type {};
  /// The refusal of a band that the sample rate cannot hold.
  static std::string BandRefusal(int sampleRate);
  /// The one error line: "Error! (code) message" on a line of its own.
  static void PrintErrorLine(Console& console, int code, const char* message);
  /// The error line of a failed component, with the code and message of its record.
  static void PrintErrorLine(Console& console, const IErrorInfoProvider& failed);
};

template <class Factory>
int RunDriver::Run(int argc, const char* const* argv, Console& console, Factory& factory,
                   const StopFlag& stop) {
  console.Print("%s", kBanner);
  const CommandLine line = CommandLine::Parse(argc, argv);
  if (line.outcome != CommandLine::Outcome::kRun) {
    return AnswerCommandLine(line, argc > 0 && argv[0] != nullptr ? argv[0] : "", console);
  }
  return Measure(line, console, factory, stop);
}

template <class Factory>
int RunDriver::Measure(const CommandLine& line, Console& console, Factory& factory,
                       const StopFlag& stop) {
  JsonSummary::Run run;
  if (line.jsonPath.empty()) {
    return MeasureInput(line, console, factory, stop, run);
  }
  // The JSON's file is made first, so that one that cannot be written fails before anything is
  // measured, and a run that fails at its input still leaves its record. Never the input.
  const bool jsonOnStandardOutput = CommandLine::IsStandardStream(line.jsonPath);
  if (!jsonOnStandardOutput && !CommandLine::IsStandardStream(line.inputPath) &&
      Platform::SameExistingFile(line.inputPath.c_str(), line.jsonPath.c_str())) {
    PrintErrorLine(console, 0, kOutputIsInput);
    return kExitOutputUnwritable;
  }
  errno = 0;
  ReportFile json =
      jsonOnStandardOutput ? ReportFile(stdout, &KeepOpen) : OpenReport(line.jsonPath);
  if (json == nullptr) {
    PrintErrorLine(console, errno, kCannotWriteJson);
    return kExitOutputUnwritable;
  }
  run.exitStatus = MeasureInput(line, console, factory, stop, run);
  const int error = WriteFile(json, JsonSummary::Document(line, run));
  if (error != 0) {
    PrintErrorLine(console, error, kCannotWriteJson);
    return run.exitStatus == kExitSuccess ? kExitOutputUnwritable : run.exitStatus;
  }
  return run.exitStatus;
}

template <class Factory>
int RunDriver::MeasureInput(const CommandLine& line, Console& console, Factory& factory,
                            const StopFlag& stop, JsonSummary::Run& run) {
  auto source = factory.MakeSource();
  if (!source.Open(line.inputPath.c_str())) {
    // A signal while the header is awaited cuts the input short: that is no fault of the file.
    if (stop != 0) {
      return EndInterrupted(console, stop, run);
    }
    return Fail(console, run, kExitInputUnusable, source);
  }
  const int sampleRate = source.GetSampleRate();
  // A rate of 0, or one of 2^31 and above, which reads as negative, gives no time base.
  if (sampleRate <= 0) {
    return Fail(console, run, kExitInputUnusable, 0, kUnsupportedSampleRate);
  }
  if (line.band && !BandPass::Fits(sampleRate, line.bandLow, line.bandHigh)) {
    return Fail(console, run, kExitInputUnusable, 0, BandRefusal(sampleRate));
  }
  const SampleFormat& format = source.GetFormat();
  const bool floatingPoint = format.coding == SampleFormat::Coding::kFloat;
  run.input = {true, sampleRate, source.GetBitsPerSample(), floatingPoint,
               source.GetChannelCount()};
  console.Print(floatingPoint ? kFloatFormatLine : kFormatLine, sampleRate,
                source.GetBitsPerSample(), source.GetChannelCount());
  console.Print(kChannelLine, line.channel);
  // Creating the result file, or the report, truncates it: never let that be the input.
  for (const std::string& written : {line.outputPath, line.reportPath}) {
    if (!written.empty() && !CommandLine::IsStandardStream(line.inputPath) &&
        !CommandLine::IsStandardStream(written) &&
        Platform::SameExistingFile(line.inputPath.c_str(), written.c_str())) {
      return Fail(console, run, kExitOutputUnwritable, 0, kOutputIsInput);
    }
  }

  auto mean = factory.MakeMean();
  std::optional<RunSummary> summary;
  if (line.Summarises()) {
    summary.emplace(sampleRate, format, line.nominal);
    if (line.live) {
      summary->KeepReadings();
    }
    if (line.rpm > 0.0) {
      summary->KeepTurn(line.rpm);
    }
    if (!line.reportPath.empty()) {
      summary->KeepPlots();
    }
    if (!line.jsonPath.empty()) {
      summary->KeepJson();
    }
  }
  auto writer = factory.MakeWriter(line.outputPath.c_str(), 1.0 / line.outputRate);
  if (writer.HasError()) {
    return Fail(console, run, kExitOutputUnwritable, writer);
  }
  ReportFile report(nullptr, &std::fclose);
  if (!line.reportPath.empty()) {
    if (!CommandLine::IsStandardStream(line.outputPath) &&
        Platform::SameExistingFile(line.outputPath.c_str(), line.reportPath.c_str())) {
      return Fail(console, run, kExitOutputUnwritable, 0, kReportIsTable);
    }
    errno = 0;
    report = OpenReport(line.reportPath);
    if (report == nullptr) {
      return Fail(console, run, kExitOutputUnwritable, errno, kCannotWriteReport);
    }
  }
  auto meter = factory.MakeMeter(writer, mean, sampleRate / line.valueRate, sampleRate);
  if (line.gate) {
    meter.SetGateLevel(format.fullScale, line.gateLevel);
  }

  std::optional<BandPass> band;
  if (line.band) {
    band.emplace(sampleRate, line.bandLow, line.bandHigh);
  }
  // Floating-point samples and the filter's output go to the meter as they are, not rounded.
  RunSummary* const summarised = summary ? &*summary : nullptr;
  const bool summaryKept =
      floatingPoint || band
          ? MeasureChannel<double>(source, meter, writer, summarised, line, sampleRate, console,
                                   stop, band ? &*band : nullptr, factory)
          : MeasureChannel<int>(source, meter, writer, summarised, line, sampleRate, console, stop,
                                nullptr, factory);
  writer.Flush();
  // The summary of what was measured, also of a run cut short by a signal or a read error, whose
  // error line follows it.
  const bool summaryShown = line.stats && summaryKept;
  const bool summaryArrived =
      !summaryShown || PrintSummary(console, *summary, writer.LinesAccepted(), line.live);
  // The report too, of what was measured; its failure counts after the input's and the table's.
  const int reportError =
      report != nullptr && summaryKept ? WriteReport(report, line.inputPath, *summary) : 0;
  run.lines = writer.LinesAccepted();
  if (summary && summaryKept && !line.jsonPath.empty()) {
    run.tones = summary->JsonTones();
    run.shortTones = summary->ShortTones();
    run.unshownTones = summary->UnshownTones();
  }

  // A stopped run has measured less than the input holds, whatever the source says.
  if (stop != 0) {
    return EndInterrupted(console, stop, run);
  }
  if (source.HasError()) {
    return Fail(console, run, kExitReadError, source);
  }
  if (writer.HasError()) {
    return Fail(console, run, kExitOutputUnwritable, writer);
  }
  if (reportError != 0) {
    return Fail(console, run, kExitOutputUnwritable, reportError, kCannotWriteReport);
  }
  if (!summaryKept) {
    // The table is whole; the summary that was asked for is not there to print.
    return Fail(console, run, kExitOutOfMemory, ENOMEM, kOutOfMemory);
  }
  // A summary that did not reach the console is a failed run, not a quiet one.
  return summaryArrived ? kExitSuccess : kExitOutputUnwritable;
}

template <class Sample, class Source, class Meter, class Writer, class Factory>
bool RunDriver::MeasureChannel(Source& source, Meter& meter, Writer& writer, RunSummary* summary,
                               const CommandLine& line, int sampleRate, Console& console,
                               const StopFlag& stop, BandPass* band, Factory& factory) {
  std::optional<SummaryThread<RunSummary, Sample>> thread;
  if (summary != nullptr) {
    thread.emplace(*summary);
  }
  std::optional<LiveDisplay> live;
  if (line.live) {
    live.emplace(console);
  }
  const auto showReadings = [&live, summary] {
    if (live) {
      for (const RunSummary::Reading& reading : summary->TakeReadings()) {
        live->Show(reading);
      }
    }
  };
  if constexpr (TellsBeforeWait<Factory>::value) {
    factory.SetBeforeWait([&] {
      if (thread) {
        thread->CatchUp();
      }
      showReadings();
      writer.Flush();
      console.Flush();
    });
  }
  // One dot follows each frame whose 0-based position is a multiple of the sample rate: one per
  // started second of audio. Frames come in order from position 0, so the dots of a block are
  // the multiples in its range.
  const std::int64_t framesPerDot = sampleRate;
  const auto dotsBefore = [framesPerDot](std::int64_t frames) {
    return (frames + framesPerDot - 1) / framesPerDot;
  };
  const auto progress = [&](std::int64_t framesBefore, int count) {
    if (live) {
      showReadings();
      return;
    }
    for (std::int64_t dot = dotsBefore(framesBefore); dot < dotsBefore(framesBefore + count);
         ++dot) {
      console.Print(".");
    }
  };
  Measured<Meter, Sample> measured{meter, thread ? &*thread : nullptr};
  // With the summary's thread beside it, the second core is taken: the reading stays here.
  SampleLoop::Run<Sample>(source, measured, line.channel, stop, band, progress, !thread);
  if constexpr (TellsBeforeWait<Factory>::value) {
    factory.SetBeforeWait(nullptr);
  }
  // Whatever ended the input, the summary takes what it was given, and its last seconds.
  bool kept = true;
  if (thread) {
    thread->Finish();
    kept = !thread->Lost();
    if (kept) {
      summary->Finish();
    }
  }
  if (kept) {
    showReadings();
  }
  if (live) {
    live->Close();
  }
  return kept;
}

}  // namespace wavfreq
