#pragma once

// AVX is chosen at run time where GCC or Clang build for x86: the baseline stays SSE2, and an AVX
// path must give the bits of the SSE2 one. Not for Windows, where GCC does not keep the stack
// aligned for AVX registers it spills.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && !defined(_WIN32)
#define WAVFREQ_AVX_AT_RUN_TIME 1
#endif

namespace wavfreq {

/// Whether the processor and the operating system run AVX instructions.
struct Avx {
  static bool Available() {
#if defined(WAVFREQ_AVX_AT_RUN_TIME)
    return __builtin_cpu_supports("avx") != 0;
#else
    return false;
#endif
  }
};

}  // namespace wavfreq
