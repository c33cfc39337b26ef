#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wavfreq {

/// A JSON document written as it goes, two spaces an indent, one member or element a line.
/// Strings are escaped as RFC 8259 asks (quotes, backslashes and control characters; bytes
/// that are not UTF-8 become U+FFFD, so that the document stays valid). Numbers come as the
/// caller formats them, so that a figure reads in the JSON as it does in the text summary, the
/// same on every platform.
class JsonWriter {
 public:
  /// A writer whose document starts `depth` indents in: a value to put in another's place.
  explicit JsonWriter(int depth = 0);

  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  /// The next member's name, inside an object.
  JsonWriter& Key(const std::string& name);
  JsonWriter& String(const std::string& value);
  /// A number as formatted: digits, an optional sign and point ("0.03041", "-1.5", "120").
  JsonWriter& Number(const std::string& formatted);
  JsonWriter& Integer(std::int64_t value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();
  /// A value another writer made at this writer's depth.
  JsonWriter& Raw(const std::string& value);

  const std::string& Text() const { return text; }
  /// `value` as a JSON string, quotes included.
  static std::string Quote(const std::string& value);

 private:
  /// Before a value: the comma and the line break that separate it from the one before.
  void Separate();
  void Open(char bracket);
  void Close(char bracket);

  std::string text;
  int base;
  // For each open object or array, whether it holds a member yet.
  std::vector<bool> filled;
  bool afterKey = false;
};

}  // namespace wavfreq
