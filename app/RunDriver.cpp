#include "app/RunDriver.h"

#include <cstdio>

#include "app/ProductFactory.h"

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

}  // namespace

int RunDriver::Run(int argc, const char* const* argv) {
  // The result table alone goes to standard output when asked for there; the console moves aside.
  const bool tableOnStandardOutput = argc >= 3 && IsStandardStream(argv[argc - 1]);
  Console console(tableOnStandardOutput ? stderr : stdout);
  const StopFlag& stop = Interruption::Install();
  ProductFactory factory;
  return Run(argc, argv, console, factory, stop);
}

int RunDriver::EndInterrupted(Console& console, int signal) {
  PrintErrorLine(console, 0, kInterrupted);
  return Interruption::ExitCode(signal);
}

int RunDriver::AnswerCommandLine(const CommandLine& line, const char* programName,
                                 Console& console) {
  switch (line.outcome) {
    case CommandLine::Outcome::kHelp:
      PrintUsage(console, programName);
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
    case CommandLine::Outcome::kRun:
      break;
  }
  return kExitBadCommandLine;
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
