#include "support/ToolRunner.h"

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
const std::string kCat = "type ";
#else
std::string Quote(const std::string& argument) {
  std::string quoted = "'";
  for (char c : argument) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}
const char kNullInput[] = "/dev/null";
const std::string kCat = "cat ";
#endif

ToolResult RunTool(const std::vector<std::string>& arguments,
                   const std::vector<std::string>& prefix, const std::string& pipeFrom) {
  TempFile out(".stdout");
  TempFile err(".stderr");
  std::string command;
  if (!pipeFrom.empty()) {
    command = kCat + Quote(pipeFrom) + " | ";
  }
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
#ifdef _WIN32
  // cmd /c drops the outermost pair of quotes of a line that starts with one.
  const int code = std::system(("\"" + command + "\"").c_str());
  // The console's own line ends aside, the texts are the same as elsewhere.
  std::string console = ReadText(out.Path());
  for (std::size_t at; (at = console.find("\r\n")) != std::string::npos;) {
    console.erase(at, 1);
  }
  return {code, console, ReadText(err.Path())};
#else
  const int status = std::system(command.c_str());
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
