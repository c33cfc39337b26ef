#pragma once

#include <string>
#include <vector>

namespace wavfreq::test {

/// Whether `text` is well-formed as far as the pictures here need: one declaration, elements
/// that close in order, quoted attributes, and '&' only in the five entities. An empty string,
/// or where it fails.
inline std::string XmlProblem(const std::string& text) {
  std::vector<std::string> open;
  std::size_t at = 0;
  int roots = 0;
  while (at < text.size()) {
    if (text[at] == '&') {
      bool known = false;
      for (const char* entity : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"}) {
        known = known || text.compare(at, std::string(entity).size(), entity) == 0;
      }
      if (!known) {
        return "a bare & at " + std::to_string(at);
      }
      ++at;
      continue;
    }
    if (text[at] == '>') {
      return "a bare > at " + std::to_string(at);
    }
    if (text[at] != '<') {
      ++at;
      continue;
    }
    // A tag: up to its '>' outside quotes.
    std::size_t end = at + 1;
    char quote = 0;
    for (; end < text.size() && (quote != 0 || text[end] != '>'); ++end) {
      if (quote == 0 && (text[end] == '"' || text[end] == '\'')) {
        quote = text[end];
      } else if (quote != 0 && text[end] == quote) {
        quote = 0;
      } else if (text[end] == '<') {
        return "a < inside a tag at " + std::to_string(end);
      }
    }
    if (end == text.size()) {
      return "a tag left open at " + std::to_string(at);
    }
    const std::string tag = text.substr(at + 1, end - at - 1);
    at = end + 1;
    if (tag.size() >= 2 && tag.front() == '?' && tag.back() == '?') {
      continue;
    }
    if (!tag.empty() && tag[0] == '/') {
      if (open.empty() || open.back() != tag.substr(1)) {
        return "</" + tag.substr(1) + "> closes " + (open.empty() ? "nothing" : open.back());
      }
      open.pop_back();
      continue;
    }
    const std::string name = tag.substr(0, tag.find_first_of(" \n/"));
    if (name.empty()) {
      return "a tag without a name";
    }
    if (open.empty() && ++roots > 1) {
      return "a second root element, " + name;
    }
    if (tag.back() != '/') {
      open.push_back(name);
    }
  }
  return open.empty() ? (roots == 1 ? "" : "no root element") : "<" + open.back() + "> not closed";
}

}  // namespace wavfreq::test
