// -live and streams: the tool hands on its table lines and readings as the input arrives, and a
// run cut short still gives its summary.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TempFile.h"
#include "support/ToolRunner.h"
#include "support/WavBuilder.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#endif

namespace wavfreq {
namespace {

using namespace test;

class LiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Tool().empty()) << "WAVFREQ_BINARY must name the wavfreq binary";
  }
};

TEST_F(LiveTest, ACutFileGivesItsSummaryBeforeTheErrorLine) {
  // 8 s of 3150 Hz declared, 6 s there.
  const Bytes whole = PcmWav(1, 48000, 16, Frames16({Sine(3150, 16000, 48000, 8 * 48000)}));
  TempFile wav(".wav", Bytes(whole.begin(), whole.begin() + 44 + 6 * 48000 * 2));
  TempFile out(".txt");
  const ToolResult result = RunTool({"-stats", wav.Path(), out.Path()});
  EXPECT_EQ(result.code, 3);
  const std::size_t summary = result.out.find("\nLines: ");
  const std::size_t error = result.out.find("\nError! (0) Error! Input file can not be read.\n");
  ASSERT_NE(summary, std::string::npos) << result.out;
  EXPECT_NE(result.out.find("Tone 1: 0.001 s to 6.00"), std::string::npos) << result.out;
  EXPECT_LT(summary, error) << result.out;
}

#ifndef _WIN32
/// The last value line's time in a table, or -1.
double LastTime(const std::string& table) {
  const std::vector<std::string> lines = Lines(table);
  return lines.size() > 1 ? std::stod(lines.back()) : -1.0;
}

/// The tool reading a pipe that the test writes, with its console and table in files.
class Pipe {
 public:
  Pipe(const std::vector<std::string>& options, bool tableToStandardOutput)
      : out(".stdout"), err(".stderr"), table(".txt") {
    int input[2];
    if (pipe(input) != 0) {
      return;
    }
    std::vector<std::string> arguments = options;
    arguments.push_back("-");
    arguments.push_back(tableToStandardOutput ? "-" : table.Path());
    child = fork();
    if (child == 0) {
      dup2(input[0], 0);
      close(input[0]);
      close(input[1]);
      dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
      dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
      std::vector<char*> argv = {const_cast<char*>(Tool().c_str())};
      for (std::string& argument : arguments) {
        argv.push_back(argument.data());
      }
      argv.push_back(nullptr);
      execv(Tool().c_str(), argv.data());
      _exit(127);
    }
    close(input[0]);
    writeEnd = input[1];
    console = tableToStandardOutput ? &err : &out;
    lines = tableToStandardOutput ? &out : &table;
  }
  void Write(const Bytes& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
      const ssize_t written = write(writeEnd, bytes.data() + done, bytes.size() - done);
      if (written <= 0) {
        return;
      }
      done += static_cast<std::size_t>(written);
    }
  }
  /// Waits up to 20 s for `ready` to hold of the console's and the table's text so far.
  template <class Ready>
  bool WaitFor(Ready ready) {
    for (int waited = 0; waited < 2000; ++waited) {
      if (ready(ReadText(console->Path()), ReadText(lines->Path()))) {
        return true;
      }
      usleep(10000);
    }
    return false;
  }
  /// Ends the input, or sends `signal`, and waits for the tool's exit code.
  int End(int signal = 0) {
    if (signal != 0) {
      kill(child, signal);
    }
    close(writeEnd);
    int status = 0;
    for (int waited = 0; waitpid(child, &status, WNOHANG) == 0; ++waited) {
      if (waited == 2000) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
      }
      usleep(10000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Console() const { return ReadText(console->Path()); }
  std::string Table() const { return ReadText(lines->Path()); }

 private:
  TempFile out;
  TempFile err;
  TempFile table;
  TempFile* console = nullptr;
  TempFile* lines = nullptr;
  pid_t child = -1;
  int writeEnd = -1;
};

TEST_F(LiveTest, LinesAndReadingsComeAsTheInputArrives) {
  // A second of 3150 Hz at a time, 48 kHz, with a streaming writer's header: each second's
  // table lines and the reading of the second before must be out before the next one is sent,
  // whether the table goes to a file or down standard output.
  const std::vector<int> tone = Sine(3150, 16000, 48000, 5 * 48000);
  const Bytes file = PcmWav(1, 48000, 16, Frames16({tone}));
  Bytes header(file.begin(), file.begin() + 44);
  header[40] = header[41] = header[42] = header[43] = 0xFF;
  for (const bool tableToStandardOutput : {false, true}) {
    Pipe run({"-live", "-stats"}, tableToStandardOutput);
    run.Write(header);
    for (int second = 1; second <= 5; ++second) {
      run.Write(
          Bytes(file.begin() + 44 + (second - 1) * 96000, file.begin() + 44 + second * 96000));
      char reading[32];
      std::snprintf(reading, sizeof reading, "%6.1f s  3150.000 Hz", second - 1.0);
      EXPECT_TRUE(run.WaitFor([&](const std::string& console, const std::string& table) {
        return LastTime(table) > second - 0.05 &&
               (second == 1 || console.find(reading) != std::string::npos);
      })) << "second "
          << second << "\n"
          << run.Console();
    }
    EXPECT_EQ(run.End(), 0);
    const std::string console = run.Console();
    // The readings stand in place of the dots; the summary follows the last.
    EXPECT_NE(console.find("Current channel: 0\n   1.0 s  3150.000 Hz  +0.0000 %  W&F --\n"),
              std::string::npos)
        << console;
    EXPECT_NE(console.find("   5.0 s  3150.000 Hz  +0.0000 %  W&F 0.0000 %\nLines: "),
              std::string::npos)
        << console;
  }
}

TEST_F(LiveTest, SignalGivesTheSummaryOfWhatWasMeasured) {
  // Three seconds of a stream whose writer then waits.
  const std::vector<int> tone = Sine(1000, 16000, 48000, 3 * 48000);
  Bytes file = PcmWav(1, 48000, 16, Frames16({tone}));
  file[40] = file[41] = file[42] = file[43] = 0xFF;
  for (const int signal : {SIGINT, SIGTERM}) {
    Pipe run({"-stats"}, false);
    run.Write(file);
    ASSERT_TRUE(run.WaitFor(
        [](const std::string&, const std::string& table) { return LastTime(table) > 2.95; }));
    EXPECT_EQ(run.End(signal), 128 + signal);
    const std::string console = run.Console();
    const std::size_t summary = console.find("\nLines: ");
    ASSERT_NE(summary, std::string::npos) << console;
    EXPECT_NE(console.find("Tone 1: 0.001 s to 3.00"), std::string::npos) << console;
    const std::string end = "\n\nError! (0) Interrupted.\n";
    EXPECT_EQ(console.substr(console.size() - end.size()), end) << console;
  }
}

#endif

}  // namespace
}  // namespace wavfreq
