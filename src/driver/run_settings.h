// What the operator asked for, and the input file in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace orvalis {

struct RunSettings {
  std::string InputFileName;
  std::string OutputFileName;  // the input name with ".prs" appended unless -o names one
  std::string ConfigFileName = "Orvalis.cfg";
  std::string FilterFileName;  // empty: no filter
  bool DebugMode = false;      // nothing switches it off again
  int32_t StartRec = 0;        // compared with record numbers as unsigned
  int32_t EndRec = 0;
  bool RangeActive = false;
};

// The input file, read whole; the walk's read position lives in its cursor.
struct InputImage {
  std::unique_ptr<uint8_t[]> Data;  // Size bytes and one more, which is not part of the input
  uint64_t Size = 0;
};

}  // namespace orvalis
