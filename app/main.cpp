#include <cstdio>

#include "app/Console.h"
#include "app/RunDriver.h"

int main(int argc, char** argv) {
  wavfreq::Console console(stdout);
  return wavfreq::RunDriver::Run(argc, argv, console);
}
