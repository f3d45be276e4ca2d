#include "driver/driver.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>
#include <system_error>

#include "common/text_file.h"
#include "debugdump/debug_walker.h"
#include "decode/record_walker.h"
#include "decode/stretch_walk.h"
#include "driver/command_line.h"
#include "driver/config_files.h"
#include "driver/input_image.h"
#include "driver/run_settings.h"
#include "tags/tags_reader.h"

namespace orvalis {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

void (*gInputLoadedHook)(const std::string& inputName) = nullptr;

// The largest input that the walk's 32-bit offsets can address.
constexpr uint64_t kMaxInputSize = UINT32_MAX;

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

// A non-zero StartRec or EndRec makes a record range; an EndRec of 0 in a range means no upper
// bound.
void FixUpRange(RunSettings& settings) {
  if (settings.StartRec != 0 || settings.EndRec != 0) {
    settings.RangeActive = true;
    if (settings.EndRec == 0) settings.EndRec = -1;  // all ones: no upper bound
  }
}

// Walks the whole image and writes out the last record, then shows the completion line, unless
// the mapped input was cut short meanwhile. Returns false when a step stopped the walk, an
// exception escaped from it, or the input was cut short.
bool Walk(WalkContext& walk, const InputImage& image) {
  try {
    bool completed = true;
    if (CanWalkInStretches(walk)) {
      completed = WalkInStretches(walk) == 0;
    } else {
      while (!walk.Input.AtEnd()) {
        int result = walk.Settings.DebugMode ? DebugWalkStep(walk) : WalkStep(walk);
        if (result < 0) {
          completed = false;
          break;
        }
      }
    }
    WriteOutRecord(walk);
    if (image.CutShort()) {
      std::fflush(stdout);
      ReportInputCutShort();
      return false;
    }
    std::printf("100%% completed\n\n");
    return completed;
  } catch (...) {
    std::printf("Something is wrong, exception has been thrown. Please contact Author.\n");
    return false;
  }
}

int Run(int argc, const char* const* argv) {
  PrintBanner();
  RunSettings settings;
  if (ParseCommandLine(argc, argv, settings) != 0 || settings.InputFileName.empty()) {
    PrintUsage();
    return -1;
  }
  if (settings.OutputFileName.empty()) settings.OutputFileName = settings.InputFileName + ".prs";

  FilePtr input(OpenForReading(settings.InputFileName));
  if (!input) {
    PrintErrorForm("Error: can not open input file");
    return -1;
  }
  if (SameFile(settings.InputFileName, settings.OutputFileName)) {
    std::fprintf(stderr, "Error: output file is the same as input file\n");
    return -1;
  }
  uint64_t inputSize = 0;
  if (!FileLength(input.get(), inputSize) || !IsConvertibleInput(input.get(), inputSize)) {
    PrintErrorForm("Error: can not read input file");
    return -1;
  }
  if (inputSize > kMaxInputSize) {
    std::fprintf(stderr, "Error: input file is too large: files of 4 GiB or more are not supported\n");
    return -1;
  }
  FilePtr output(std::fopen(settings.OutputFileName.c_str(), "wb"));
  if (!output) {
    PrintErrorForm("Error: can not open output file");
    return -1;
  }
  // The walk hands the output over in large blocks of its own: the stream need not buffer them.
  std::setvbuf(output.get(), nullptr, _IONBF, 0);

  if (ReadMainConfig(settings) != 0) {
    std::printf("Error when reading ConfigFile. Exiting...");
    return -1;
  }
  FixUpRange(settings);

  auto root = std::make_unique<TBranch>(nullptr);
  if (ReadTagsConfig(*root) != 0) {
    std::printf("Error when reading TagsConfigFile. Exiting...");
    return -1;
  }
  uint32_t filterCount = 0;
  if (!settings.FilterFileName.empty()) ReadFilterFile(settings, *root, filterCount);

  InputImage image;
  if (!LoadInputImage(input.get(), inputSize, image)) return -1;
  input.reset();
  const InputFaultGuard faultGuard(image);
  if (gInputLoadedHook != nullptr) gInputLoadedHook(settings.InputFileName);

  WalkSettings walkSettings;
  walkSettings.DebugMode = settings.DebugMode;
  walkSettings.RangeActive = settings.RangeActive;
  walkSettings.StartRec = static_cast<uint32_t>(settings.StartRec);
  walkSettings.EndRec = static_cast<uint32_t>(settings.EndRec);
  walkSettings.FilterCount = filterCount;
  auto walk = std::make_unique<WalkContext>(walkSettings, image.Bytes(), image.Size, *root,
                                            output.get());
  bool completed = Walk(*walk, image);
  const int writeError = FinishOutput(*walk);

  // A failed write (a full disk, say) must not pass for a finished conversion.
  const bool written = writeError == 0 && std::ferror(output.get()) == 0;
  const bool closed = std::fclose(output.release()) == 0;
  if (writeError != 0) errno = writeError;
  if (!written || !closed) {
    PrintErrorForm("Error: can not write output file");
    return -1;
  }
  return completed ? 0 : -1;
}

}  // namespace

void SetInputLoadedHook(void (*hook)(const std::string& inputName)) { gInputLoadedHook = hook; }

int RunOrvalis(int argc, const char* const* argv) {
  int status = Run(argc, argv);
  std::fflush(stdout);
  std::fflush(stderr);
  return status;
}

}  // namespace orvalis
