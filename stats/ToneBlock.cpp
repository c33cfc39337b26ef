#include "stats/ToneBlock.h"

#include "core/TextFormat.h"

namespace wavfreq {

ToneBlock::ToneBlock(int number, const std::string& from, const std::string& to, bool withJson,
                     int depth)
    : json(withJson), writer(depth) {
  TextFormat::Append(text, "Tone %d: %s s to %s s\n", number, from.c_str(), to.c_str());
  if (json) {
    writer.BeginObject().Key("number").Integer(number);
    writer.Key("start_s").Number(from).Key("end_s").Number(to);
  }
}

void ToneBlock::Figure(const char* name, const char* key, const std::string& value,
                       const char* unit) {
  TextFormat::Append(text, "%s: %s %s\n", name, value.c_str(), unit);
  if (json) {
    writer.Key(key).Number(value);
  }
}

void ToneBlock::None(const char* name, const char* key, const std::string& reason) {
  TextFormat::Append(text, "%s: none (%s)\n", name, reason.c_str());
  if (json) {
    writer.Key(key).Null();
    reasons.emplace_back(key, reason);
  }
}

void ToneBlock::Modulation(const std::vector<Component>& components) {
  text += "Modulation: ";
  for (std::size_t i = 0; i < components.size(); ++i) {
    const Component& c = components[i];
    TextFormat::Append(text, "%s%s Hz %s %%", i == 0 ? "" : ", ", c.hertz.c_str(),
                       c.percent.c_str());
    if (!c.turn.empty()) {
      TextFormat::Append(text, " (%s)", c.turn.c_str());
    }
  }
  text += "\n";
  if (json) {
    writer.Key("modulation").BeginArray();
    for (const Component& c : components) {
      writer.BeginObject().Key("hz").Number(c.hertz).Key("percent").Number(c.percent);
      writer.Key("turn");
      if (c.turn.empty()) {
        writer.Null();
      } else {
        writer.String(c.turn);
      }
      writer.EndObject();
    }
    writer.EndArray();
  }
}

void ToneBlock::Turns(const char* name, const char* key, const std::string& value, int turns) {
  TextFormat::Append(text, "%s: %s %% over %d turns\n", name, value.c_str(), turns);
  if (json) {
    writer.Key(key).Number(value).Key("turns_averaged").Integer(turns);
  }
}

void ToneBlock::Warning(const std::string& warning) {
  text += "Warning: " + warning + "\n";
  warnings.push_back(warning);
}

std::string ToneBlock::Json() {
  writer.Key("warnings").BeginArray();
  for (const std::string& warning : warnings) {
    writer.String(warning);
  }
  writer.EndArray().Key("reasons").BeginObject();
  for (const auto& reason : reasons) {
    writer.Key(reason.first).String(reason.second);
  }
  writer.EndObject().EndObject();
  return writer.Text();
}

}  // namespace wavfreq
