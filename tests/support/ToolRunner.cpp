#include "support/ToolRunner.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sstream>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "support/TempFile.h"

namespace wavfreq::test {

const std::string kBanner = "Wav file frequency meter. v1.1\n";

const std::string& Tool() {
  static const std::string path = [] {
    const char* named = std::getenv("WAVFREQ_BINARY");
    return std::string(named == nullptr ? "" : named);
  }();
  return path;
}

#ifdef _WIN32
// cmd.exe: double quotes; none of the arguments here contain one.
std::string Quote(const std::string& argument) {
  return "\"" + argument + "\"";
}
const char kNullInput[] = "NUL";
#else
std::string Quote(const std::string& argument) {
  std::string quoted = "'";
  for (char c : argument) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}
const char kNullInput[] = "/dev/null";
#endif

namespace {

#ifdef _WIN32
// The console's own line ends aside, the texts are the same as elsewhere.
std::string WithoutCarriageReturns(std::string text) {
  for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) {
    text.erase(at, 1);
  }
  return text;
}
#endif

// Runs a shell command line; `input`, if not empty, is written to its standard input through a
// pipe. Returns the exit code.
int RunCommand(const std::string& command, const std::string& input) {
#ifdef _WIN32
  // cmd /c drops the outermost pair of quotes of a line that starts with one.
  const std::string line = "\"" + command + "\"";
  if (input.empty()) {
    return std::system(line.c_str());
  }
  std::FILE* pipe = _popen(line.c_str(), "wb");
  if (pipe == nullptr) {
    return -1;
  }
  std::fwrite(input.data(), 1, input.size(), pipe);
  return _pclose(pipe);
#else
  int status = -1;
  if (input.empty()) {
    status = std::system(command.c_str());
  } else if (std::FILE* pipe = popen(command.c_str(), "w")) {
    // A tool that stops reading early must not take the test down with it.
    void (*previous)(int) = std::signal(SIGPIPE, SIG_IGN);
    std::fwrite(input.data(), 1, input.size(), pipe);
    status = pclose(pipe);
    std::signal(SIGPIPE, previous);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

}  // namespace

ToolResult RunTool(const std::vector<std::string>& arguments,
                   const std::vector<std::string>& prefix, const std::string& pipeFrom) {
  TempFile out(".stdout");
  TempFile err(".stderr");
  std::string command;
  for (std::size_t i = 1; i < prefix.size(); ++i) {
    command += Quote(prefix[i]) + " ";
  }
  command += Quote(Tool());
  for (const std::string& argument : arguments) {
    command += " " + Quote(argument);
  }
  command += " > " + Quote(out.Path()) + " 2> " + Quote(err.Path());
  if (pipeFrom.empty()) {
    command += std::string(" < ") + kNullInput;
  }
  const int code = RunCommand(command, pipeFrom.empty() ? "" : ReadText(pipeFrom));
#ifdef _WIN32
  // Standard output holds the result table, in binary, when its path is "-".
  const bool tableOnOutput = !arguments.empty() && arguments.back() == "-";
  const std::string output = ReadText(out.Path());
  return {code, tableOnOutput ? output : WithoutCarriageReturns(output),
          WithoutCarriageReturns(ReadText(err.Path()))};
#else
  return {code, ReadText(out.Path()), ReadText(err.Path())};
#endif
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

std::vector<double> FrequenciesFrom(const std::string& text, double from) {
  std::vector<double> values;
  std::vector<std::string> lines = Lines(text);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::size_t tab = lines[i].find('\t');
    if (std::stod(lines[i].substr(0, tab)) >= from) {
      values.push_back(std::stod(lines[i].substr(tab + 1)));
    }
  }
  return values;
}

std::vector<double> Frequencies(const std::string& text) {
  return FrequenciesFrom(text, -std::numeric_limits<double>::infinity());
}

std::string FormatLines(int rate, int bits, int channels, int channel) {
  return "Sample rate: " + std::to_string(rate) + " Hz, " + std::to_string(bits) +
         "-bit PCM, Channels: " + std::to_string(channels) +
         "\nCurrent channel: " + std::to_string(channel) + "\n";
}

}  // namespace wavfreq::test
