// A stand-in for libFuzzer's driver: feeds every file named on the command line (every regular
// file inside a named folder, in name order) to LLVMFuzzerTestOneInput once. Built with the
// normal compiler and its sanitizers, it replays the seed corpus and the saved regressions of a
// fuzz target where clang's libFuzzer is not available.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

namespace fs = std::filesystem;

bool CollectInputs(const fs::path& path, std::vector<fs::path>& inputs) {
  std::error_code error;
  if (fs::is_directory(path, error)) {
    std::vector<fs::path> inside;
    for (const auto& entry : fs::directory_iterator(path, error)) {
      if (entry.is_regular_file()) inside.push_back(entry.path());
    }
    if (error) return false;
    std::sort(inside.begin(), inside.end());
    inputs.insert(inputs.end(), inside.begin(), inside.end());
    return true;
  }
  if (fs::is_regular_file(path, error)) {
    inputs.push_back(path);
    return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    // A folder that does not exist yet (no regression saved for the target) holds no input.
    if (!fs::exists(argv[i])) continue;
    if (!CollectInputs(argv[i], inputs)) {
      std::fprintf(stderr, "replay: can not read %s\n", argv[i]);
      return 1;
    }
  }
  // The console of the target may be silenced from here on: report on standard error.
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  for (const fs::path& input : inputs) {
    std::ifstream file(input, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!file.good() && !file.eof()) {
      std::fprintf(stderr, "replay: can not read %s\n", input.c_str());
      return 1;
    }
    std::fprintf(stderr, "replay: %s (%zu bytes)\n", input.c_str(), bytes.size());
    // An exactly sized copy, so that a read past the end of the input is caught.
    std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    LLVMFuzzerTestOneInput(copy.get(), bytes.size());
  }
  std::fprintf(stderr, "replay: %zu inputs, no fault\n", inputs.size());
  return 0;
}
