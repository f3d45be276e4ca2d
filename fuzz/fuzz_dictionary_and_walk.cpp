// libFuzzer target: a fuzzed dictionary and a fuzzed billing input together.
//
// Input layout: one settings byte, then the Tags.cfg text, the separator, the billing input, and
// optionally a second separator followed by a filter text. Without a separator the whole rest is
// the dictionary and the billing input is empty. Settings byte: bit 7 chooses the debug walk,
// bits 0-4 the record range as in SettingsFromByte.
#include <string>
#include <string_view>

#include "driver/config_files.h"
#include "fuzz_common.h"
#include "record_checks.h"

namespace {

constexpr std::string_view kSeparator("\0@@\0", 4);

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  orvalis_fuzz::SilenceConsole();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool debugMode = (data[0] & 0x80) != 0;
  orvalis_fuzz::ChosenSettings chosen = orvalis_fuzz::SettingsFromByte(data[0] & 0x1F, debugMode);

  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string_view tagsText = rest;
  std::string_view billing;
  std::string_view filterText;
  const std::size_t first = rest.find(kSeparator);
  if (first != std::string_view::npos) {
    tagsText = rest.substr(0, first);
    billing = rest.substr(first + kSeparator.size());
    const std::size_t second = billing.find(kSeparator);
    if (second != std::string_view::npos) {
      filterText = billing.substr(second + kSeparator.size());
      billing = billing.substr(0, second);
    }
  }

  auto root = orvalis_fuzz::BuildTree(tagsText);
  orvalis_fuzz::CheckTree(*root);
  if (!filterText.empty()) {
    chosen.Walk.FilterCount = orvalis::ApplyFilterText("Filter.cfg", filterText, *root);
  }
  // The billing input gets a buffer of its own, exactly its size, so that a read past its end is
  // caught rather than landing in the filter text.
  std::unique_ptr<uint8_t[]> input(new uint8_t[billing.size() + 1]);
  std::copy(billing.begin(), billing.end(), input.get());
  if (!billing.empty()) {
    orvalis_fuzz::RunWalk(chosen.Walk, input.get(), billing.size(), *root);
    orvalis_fuzz::CheckRecordFormats(chosen.Walk, input.get(), billing.size(), *root);
  }
  orvalis_fuzz::CheckTree(*root);
  return 0;
}
