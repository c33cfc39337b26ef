#include "app/RunDriver.h"

namespace wavfreq {

int RunDriver::Run(int argc, const char* const* argv, Console& console) {
  console.Print("Wav file frequency meter. v1.1\n");
  const CommandLine line = CommandLine::Parse(argc, argv);
  switch (line.outcome) {
    case CommandLine::Outcome::kUsage:
      console.Print("\n Command line: %s [-ch:N] [-rate:R] [-out:K] <input.wav> <output.txt>\n\n",
                    argc > 0 && argv[0] != nullptr ? argv[0] : "");
      console.Print("-ch:N - specifies channel (default N=0)\n");
      console.Print("-rate:R - specifies independent value rate (default R=100)\n");
      console.Print("-out:K - specifies output data rate (default K=2*R)\n");
      console.Print("         R=100 - means 100 times per second\n");
      console.Print("         K=200 - means 200 times per second\n");
      return kExitBadCommandLine;
    case CommandLine::Outcome::kUnknownOption:
      console.Print("Unknown command line option: %s\n", line.unknownOption.c_str());
      return kExitBadCommandLine;
    case CommandLine::Outcome::kZeroRate:
      console.Print("Value rate must not be 0.\n");
      return kExitBadCommandLine;
    case CommandLine::Outcome::kRun:
      break;
  }
  return Measure<ProductComponents>(line, console);
}

}  // namespace wavfreq
