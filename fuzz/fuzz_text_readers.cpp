// libFuzzer target: the three text readers on the same arbitrary text. The text is read as a
// Tags.cfg dictionary (whose tree must stay well linked), as a main configuration file (whose
// settings must stay within their limits) and as a filter file over the fixed dictionary.
#include <string>
#include <string_view>

#include "common/line_splitter.h"
#include "driver/command_line.h"
#include "driver/config_files.h"
#include "driver/run_settings.h"
#include "fuzz_common.h"

namespace {

orvalis::TBranch& FixedTree() {
  static std::unique_ptr<orvalis::TBranch> tree = orvalis_fuzz::BuildTree(orvalis_fuzz::kRichTags);
  return *tree;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  orvalis_fuzz::SilenceConsole();
  FixedTree();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  auto fuzzed = orvalis_fuzz::BuildTree(text);
  orvalis_fuzz::CheckTree(*fuzzed);

  orvalis::RunSettings settings;
  orvalis::ApplyMainConfigText(settings, text);
  if (settings.FilterFileName.size() > orvalis::kMaxFileNameLength) std::abort();
  if (settings.ConfigFileName != "Orvalis.cfg" || !settings.InputFileName.empty()) std::abort();

  orvalis::TBranch& fixed = FixedTree();
  orvalis::ClearFilter(fixed);  // the filter values that the previous input left
  const uint32_t accepted = orvalis::ApplyFilterText("Filter.cfg", text, fixed);
  // Every accepted filter line is a line of the text; a text of n octets has at most n / 2 + 1.
  if (accepted > size / 2 + 1) std::abort();
  orvalis_fuzz::CheckTree(fixed);
  return 0;
}
