#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/JsonWriter.h"

namespace wavfreq {

/// A tone's block of the summary as it is written: each figure a "Name: value unit" line of
/// text and, when asked for, a member of a JSON object named in snake_case with its unit in the
/// name (`mean_hz`, `speed_error_percent`), its value the number as the text shows it. A figure
/// that cannot be given is `none (reason)` in the text, null in the JSON with its reason under
/// `reasons`; warnings are a list of their texts.
class ToneBlock {
 public:
  /// The block of tone `number`, from `from` to `to` seconds (as formatted); with `json`, its
  /// object at that depth too.
  ToneBlock(int number, const std::string& from, const std::string& to, bool json, int depth);

  /// "Name: value unit".
  void Figure(const char* name, const char* key, const std::string& value, const char* unit);
  /// "Name: none (reason)".
  void None(const char* name, const char* key, const std::string& reason);
  struct Component {
    std::string hertz;    // as formatted
    std::string percent;  // as formatted
    std::string turn;     // "turn", "2x turn", or empty
  };
  /// "Modulation: 12.5 Hz 0.015 %, 0.556 Hz 0.026 % (turn)".
  void Modulation(const std::vector<Component>& components);
  /// "Name: value % over N turns".
  void Turns(const char* name, const char* key, const std::string& value, int turns);
  /// "Warning: text".
  void Warning(const std::string& text);

  const std::string& Text() const { return text; }
  /// The JSON object, closed: its warnings and reasons last.
  std::string Json();

 private:
  std::string text;
  bool json;
  JsonWriter writer;
  std::vector<std::string> warnings;
  std::vector<std::pair<std::string, std::string>> reasons;
};

}  // namespace wavfreq
