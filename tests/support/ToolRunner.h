#pragma once

#include <string>
#include <vector>

namespace wavfreq::test {

/// What the end-to-end tests run: the built tool, named by CTest in the environment variable
/// WAVFREQ_BINARY; empty when it is not set.
const std::string& Tool();

extern const std::string kBanner;

struct ToolResult {
  int code;
  std::string out;
  std::string err;
};

/// An argument quoted for the platform's shell.
std::string Quote(const std::string& argument);

/// Runs the tool with `arguments` through the shell; `prefix` (after a leading "--") is a command
/// to run it under. Standard input is empty, or the bytes of the file `pipeFrom` through a pipe.
/// Standard output and standard error are captured apart.
ToolResult RunTool(const std::vector<std::string>& arguments,
                   const std::vector<std::string>& prefix = {}, const std::string& pipeFrom = "");

std::vector<std::string> Lines(const std::string& text);
/// The frequencies of a result table's value lines whose time is at least `from` seconds.
std::vector<double> FrequenciesFrom(const std::string& text, double from);
/// The frequencies of all of a result table's value lines.
std::vector<double> Frequencies(const std::string& text);
/// The format and channel lines of a run.
std::string FormatLines(int rate, int bits, int channels, int channel);

}  // namespace wavfreq::test
