// What the operator asked for.
#pragma once

#include <cstdint>
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

}  // namespace orvalis
