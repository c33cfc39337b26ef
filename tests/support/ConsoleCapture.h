#pragma once

#include <cstdio>
#include <string>

#include "app/Console.h"

namespace wavfreq::test {

/// A console printing into a temporary file, whose text the test reads back.
class ConsoleCapture {
 public:
  ConsoleCapture() : file(std::tmpfile()), console(file) {}
  ~ConsoleCapture() { std::fclose(file); }
  ConsoleCapture(const ConsoleCapture&) = delete;
  ConsoleCapture& operator=(const ConsoleCapture&) = delete;

  Console& Get() { return console; }

  std::string Text() {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) {
      text += static_cast<char>(c);
    }
    return text;
  }

 private:
  std::FILE* file;
  Console console;
};

}  // namespace wavfreq::test
