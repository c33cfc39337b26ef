#include "app/RunDriver.h"

int main(int argc, char** argv) {
  return wavfreq::RunDriver::Run(argc, argv);
}
