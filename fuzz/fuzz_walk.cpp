// libFuzzer target: the normal walk over arbitrary billing input (see walk_targets.h).
#include "walk_targets.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  orvalis_fuzz::SilenceConsole();
  orvalis_fuzz::Dictionaries();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  orvalis_fuzz::WalkOneInput(data, size, /*debugMode=*/false);
  return 0;
}
