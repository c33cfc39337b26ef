#pragma once

#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "core/IDataWriter.h"

namespace wavfreq::test {

/// Keeps every value and text offered to it, unthinned.
class RecordingWriter final : public IDataWriter {
 public:
  void WriteValue(double time, double frequency) override { values.emplace_back(time, frequency); }
  double DropsUpTo() const override { return -std::numeric_limits<double>::infinity(); }
  void WriteText(const char* text) override { texts.emplace_back(text); }
  void Flush() override {}

  std::vector<std::pair<double, double>> values;
  std::vector<std::string> texts;
};

}  // namespace wavfreq::test
