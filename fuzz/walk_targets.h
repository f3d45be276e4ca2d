// The body of the two walker targets: the first input byte chooses the walk settings, the rest is
// the billing input, walked over the fixed dictionary.
#pragma once

#include <string>

#include "driver/config_files.h"
#include "fuzz_common.h"
#include "record_checks.h"

namespace orvalis_fuzz {

class FixedDictionaries {
 public:
  FixedDictionaries() {
    for (auto& tree : trees_) tree = BuildTree(kRichTags);
    const std::string filterName = "Filter.cfg";
    filterCounts_[1] = orvalis::ApplyFilterText(filterName, kFilterA, *trees_[1]);
    filterCounts_[2] = orvalis::ApplyFilterText(filterName, kFilterB, *trees_[2]);
  }
  orvalis::TBranch& Tree(int filter) { return *trees_[filter]; }
  uint32_t FilterCount(int filter) const { return filterCounts_[filter]; }

 private:
  std::unique_ptr<orvalis::TBranch> trees_[3];
  uint32_t filterCounts_[3] = {0, 0, 0};
};

inline FixedDictionaries& Dictionaries() {
  static FixedDictionaries dictionaries;
  return dictionaries;
}

inline void WalkOneInput(const uint8_t* data, std::size_t size, bool debugMode) {
  if (size == 0) return;
  ChosenSettings chosen = SettingsFromByte(data[0], debugMode);
  chosen.Walk.FilterCount = Dictionaries().FilterCount(chosen.Filter);
  // A file of CDRs is told by its structure, as the program tells it by default.
  orvalis::CdrFileHeader header;
  bool headerMissing = false;
  chosen.Walk.Frames = orvalis::FramesOf(data + 1, size - 1, orvalis::Framing::kRecognise, 0, header, headerMissing);
  RunWalk(chosen.Walk, data + 1, size - 1, Dictionaries().Tree(chosen.Filter));
  // Without range and filter the bits that would choose them choose a stretch size: a walk shared
  // by two threads must write the very bytes of the walk in order.
  if (!debugMode && !chosen.Walk.RangeActive && chosen.Filter == 0) {
    const uint64_t stretchSize = 4 + ((data[0] >> 1) & 15) * 5;
    const std::string inOrder = WalkOutput(chosen.Walk, data + 1, size - 1, Dictionaries().Tree(0), 0);
    const std::string shared = WalkOutput(chosen.Walk, data + 1, size - 1, Dictionaries().Tree(0), stretchSize);
    if (shared != inOrder) std::abort();
  }
  if (!debugMode) CheckRecordFormats(chosen.Walk, data + 1, size - 1, Dictionaries().Tree(chosen.Filter));
}

}  // namespace orvalis_fuzz
