#include "app/RunDriver.h"

#include <cstdio>

#include "app/ProductFactory.h"
#include "app/ReportPage.h"

namespace wavfreq {

namespace {

void PrintUsage(Console& console, const char* programName) {
  console.Print("\n Command line: %s [-ch:N] [-rate:R] [-out:K] <input.wav> <output.txt>\n\n",
                programName);
  console.Print("-ch:N - specifies channel (default N=0)\n");
  console.Print("-rate:R - specifies independent value rate (default R=100)\n");
  console.Print("-out:K - specifies output data rate (default K=2*R)\n");
  console.Print("         R=100 - means 100 times per second\n");
  console.Print("         K=200 - means 200 times per second\n");
}

// The options that came after the usage block's, for help that is asked for.
void PrintMoreOptions(Console& console) {
  console.Print(
      "-gate:N - counts a zero crossing only once the signal has reached N dBFS"
      " (N from -120 to -1)\n");
  console.Print("-band:L-H - measures through a band-pass filter from L to H Hz (0 < L < H)\n");
  console.Print("-stats - prints the mean, drift, wow and flutter after the run\n");
  console.Print(
      "-live - shows the tone's frequency, speed error and wow and flutter once a second\n");
  console.Print(
      "-nominal:F - takes the speed error against F Hz (default: the nearest standard test"
      " tone)\n");
  console.Print(
      "-rpm:R - gives the turns a minute of the platter or capstan: speed in rpm, the wow that"
      " repeats each turn\n");
  console.Print(
      "-report:FILE - writes each tone's deviation, spectrum, histogram and figures to FILE, an"
      " SVG picture\n");
  console.Print(
      "-json:FILE - writes the summary to FILE as JSON, for scripts (- for standard output)\n");
  console.Print(
      "- as <input.wav> reads standard input, as <output.txt> writes the table to"
      " standard output\n");
}

}  // namespace

int RunDriver::Run(int argc, const char* const* argv) {
  // The result table or the JSON alone goes to standard output when asked for there; the console
  // moves aside.
  Console console(CommandLine::ConsoleOnStandardError(argc, argv) ? stderr : stdout);
  const StopFlag& stop = Interruption::Install();
  ProductFactory factory;
  return Run(argc, argv, console, factory, stop);
}

bool RunDriver::PrintSummary(Console& console, RunSummary& summary, std::int64_t lines, bool live) {
  // After the dots, on a line of its own; the readings have ended theirs.
  console.Print(live ? "%s" : "\n%s", summary.Report(lines).c_str());
  return console.Flush();
}

int RunDriver::EndInterrupted(Console& console, int signal, JsonSummary::Run& run) {
  return Fail(console, run, Interruption::ExitCode(signal), 0, kInterrupted);
}

int RunDriver::Fail(Console& console, JsonSummary::Run& run, int exit, int code,
                    const std::string& message) {
  PrintErrorLine(console, code, message.c_str());
  run.error = message;
  return exit;
}

int RunDriver::Fail(Console& console, JsonSummary::Run& run, int exit,
                    const IErrorInfoProvider& failed) {
  return Fail(console, run, exit, failed.GetErrorCode(), failed.GetErrorMessage());
}

int RunDriver::AnswerCommandLine(const CommandLine& line, const char* programName,
                                 Console& console) {
  switch (line.outcome) {
    case CommandLine::Outcome::kHelp:
      PrintUsage(console, programName);
      PrintMoreOptions(console);
      return kExitSuccess;
    case CommandLine::Outcome::kVersion:
      return kExitSuccess;
    case CommandLine::Outcome::kUsage:
      PrintUsage(console, programName);
      break;
    case CommandLine::Outcome::kUnknownOption:
      console.Print("Unknown command line option: %s\n", line.unknownOption.c_str());
      break;
    case CommandLine::Outcome::kZeroRate:
      console.Print("Value rate must not be 0.\n");
      break;
    case CommandLine::Outcome::kBadGate:
      console.Print("Gate level must be between -120 and -1 dBFS.\n");
      break;
    case CommandLine::Outcome::kBadBand:
      console.Print("Band must be given as -band:L-H, in whole hertz with 0 < L < H.\n");
      break;
    case CommandLine::Outcome::kBadNominal:
      console.Print("Nominal frequency must be given as -nominal:F, in hertz above 0.\n");
      break;
    case CommandLine::Outcome::kBadRpm:
      console.Print(
          "Speed must be given as -rpm:R, in revolutions per minute above 0 and below 10000.\n");
      break;
    case CommandLine::Outcome::kBadReport:
      console.Print("Report must be given as -report:FILE, the path of a file.\n");
      break;
    case CommandLine::Outcome::kBadJson:
      console.Print(
          "JSON must be given as -json:FILE, the path of a file or - for standard"
          " output.\n");
      break;
    case CommandLine::Outcome::kBothOnStandardOutput:
      console.Print("The table and the JSON cannot both go to standard output.\n");
      break;
    case CommandLine::Outcome::kRun:
      break;
  }
  return kExitBadCommandLine;
}

std::string RunDriver::BandRefusal(int sampleRate) {
  // Half the rate, with its half hertz when the rate is odd.
  const std::string half =
      std::to_string(sampleRate / 2) + (sampleRate % 2 != 0 ? std::string(".5") : std::string());
  char message[128];
  std::snprintf(message, sizeof message, kBandAboveHalfTheRate, half.c_str());
  return message;
}

RunDriver::ReportFile RunDriver::OpenReport(const std::string& path) {
  ReportFile file(std::fopen(path.c_str(), "wb"), &std::fclose);
  return file;
}

int RunDriver::WriteReport(ReportFile& file, const std::string& input, RunSummary& summary) {
  return WriteFile(file,
                   ReportPage::Render(
                       CommandLine::IsStandardStream(input) ? std::string("standard input") : input,
                       summary.TakePlots()));
}

int RunDriver::WriteFile(ReportFile& file, const std::string& page) {
  errno = 0;
  const bool written = std::fwrite(page.data(), 1, page.size(), file.get()) == page.size();
  const int writeError = errno;
  // Closing flushes what is buffered: a full disk may show only there.
  const auto close = file.get_deleter();
  const bool closed = close(file.release()) == 0;
  if (written && closed) {
    return 0;
  }
  const int code = written ? errno : writeError;
  return code != 0 ? code : EIO;
}

void RunDriver::PrintErrorLine(Console& console, int code, const char* message) {
  console.Print("\nError! (%i) %s\n", code, message);
}

void RunDriver::PrintErrorLine(Console& console, const IErrorInfoProvider& failed) {
  // The message first, then the code, as the record is read everywhere.
  const std::string message = failed.GetErrorMessage();
  PrintErrorLine(console, failed.GetErrorCode(), message.c_str());
}

}  // namespace wavfreq
