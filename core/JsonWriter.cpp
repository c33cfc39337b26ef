#include "core/JsonWriter.h"

#include <cstdio>

#include "core/TextFormat.h"

namespace wavfreq {

JsonWriter::JsonWriter(int depth) : base(depth) {}

void JsonWriter::Separate() {
  if (afterKey) {
    afterKey = false;
    return;
  }
  if (filled.empty()) {
    return;
  }
  if (filled.back()) {
    text += ',';
  }
  filled.back() = true;
  text += '\n';
  text.append(2 * static_cast<std::size_t>(base + static_cast<int>(filled.size())), ' ');
}

void JsonWriter::Open(char bracket) {
  Separate();
  text += bracket;
  filled.push_back(false);
}

void JsonWriter::Close(char bracket) {
  const bool any = !filled.empty() && filled.back();
  if (!filled.empty()) {
    filled.pop_back();
  }
  if (any) {
    text += '\n';
    text.append(2 * static_cast<std::size_t>(base + static_cast<int>(filled.size())), ' ');
  }
  text += bracket;
}

JsonWriter& JsonWriter::BeginObject() {
  Open('{');
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  Close('}');
  return *this;
}

JsonWriter& JsonWriter::BeginArray() {
  Open('[');
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  Close(']');
  return *this;
}

JsonWriter& JsonWriter::Key(const std::string& name) {
  Separate();
  text += Quote(name);
  text += ": ";
  afterKey = true;
  return *this;
}

JsonWriter& JsonWriter::String(const std::string& value) {
  Separate();
  text += Quote(value);
  return *this;
}

JsonWriter& JsonWriter::Number(const std::string& formatted) {
  Separate();
  text += formatted;
  return *this;
}

JsonWriter& JsonWriter::Integer(std::int64_t value) {
  return Number(std::to_string(value));
}

JsonWriter& JsonWriter::Bool(bool value) {
  return Number(value ? "true" : "false");
}

JsonWriter& JsonWriter::Null() {
  return Number("null");
}

JsonWriter& JsonWriter::Raw(const std::string& value) {
  return Number(value);
}

std::string JsonWriter::Quote(const std::string& value) {
  std::string quoted = "\"";
  for (std::size_t at = 0; at < value.size();) {
    const unsigned char c = static_cast<unsigned char>(value[at]);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += static_cast<char>(c);
      ++at;
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      quoted += escaped;
      ++at;
    } else if (c < 0x80) {
      quoted += static_cast<char>(c);
      ++at;
    } else {
      // A whole UTF-8 sequence passes as it is; anything else is the replacement character.
      const std::size_t length = TextFormat::Utf8Length(value, at);
      if (length > 0) {
        quoted.append(value, at, length);
        at += length;
      } else {
        quoted += "\xEF\xBF\xBD";
        ++at;
      }
    }
  }
  quoted += '"';
  return quoted;
}

}  // namespace wavfreq
