#include "app/Console.h"

#include <cstdarg>

#include "app/Platform.h"

namespace wavfreq {

Console::Console(std::FILE* stream) : out(stream), flushEachPrint(Platform::IsTerminal(stream)) {}

void Console::Print(const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  std::vfprintf(out, format, arguments);
  va_end(arguments);
  if (flushEachPrint) {
    std::fflush(out);
  }
}

bool Console::Flush() {
  return std::fflush(out) == 0 && std::ferror(out) == 0;
}

}  // namespace wavfreq
