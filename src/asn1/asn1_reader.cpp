#include "asn1/asn1_reader.h"

#include "asn1/asn1_parser.h"

namespace orvalis {
namespace asn1 {

bool ReadModuleText(std::string_view text, uint32_t file, std::vector<Module>& modules, ReadFault& fault) {
  try {
    Parser parser(text, file);
    parser.ReadModules(modules);
    return true;
  } catch (const SyntaxError& error) {
    fault.Where = error.Where;
    fault.What = error.what();
    return false;
  }
}

std::string FaultText(const std::string& fileName, const ReadFault& fault) {
  return fileName + ":" + std::to_string(fault.Where.Line) + ":" + std::to_string(fault.Where.Column) + ": " +
         fault.What;
}

}  // namespace asn1
}  // namespace orvalis
