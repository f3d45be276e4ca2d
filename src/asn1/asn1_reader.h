// Reading ASN.1 modules: the module reader's door. A module file's text becomes its modules
// (asn1_syntax.h); a fault is told with its file, line and column.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "asn1/asn1_syntax.h"

namespace orvalis {
namespace asn1 {

// The most octets of module text that a run reads, all files together.
constexpr uint64_t kMaxModuleText = 8u << 20;

// Where a module's text is wrong, and what is wrong there.
struct ReadFault {
  Place Where;
  std::string What;
};

// Reads every module of one file's text (its place among the files: `file`) into `modules`,
// after those already there. False, with the fault, where the text is not a module as this
// reader reads them.
bool ReadModuleText(std::string_view text, uint32_t file, std::vector<Module>& modules, ReadFault& fault);

// "cdr.asn:12:5: what": a fault as the console shows it, with its file's name.
std::string FaultText(const std::string& fileName, const ReadFault& fault);

}  // namespace asn1
}  // namespace orvalis
