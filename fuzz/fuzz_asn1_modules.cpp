// libFuzzer target: the ASN.1 module reader and the dictionary generator on an arbitrary text. The
// text is read as one module file; where it reads, the dictionary of its first type is made (with a
// small bound of paths, so that a type that holds itself stays quick) and must be CR LF lines, each
// a comment or a path, a parameter and a value. A fault must name its place.
#include <cstdlib>
#include <string>
#include <string_view>

#include "asn1/dictionary_generator.h"
#include "asn1/module_set.h"
#include "asn1/semantic_table.h"
#include "fuzz_common.h"

namespace {

// Each line of the made dictionary: "#..." or "PATH.Parameter=Value", ended by CR LF.
void CheckLines(const std::string& text) {
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) std::abort();
    const std::string_view line(text.data() + at, end - at);
    if (line.empty() || (line[0] != '#' && (line.find('=') == std::string_view::npos || line.find('.') == 0))) {
      std::abort();
    }
    at = end + 2;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  orvalis_fuzz::SilenceConsole();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  orvalis::asn1::ModuleSet modules;
  std::string fault;
  if (!modules.Read("fuzz.asn", text, fault)) {
    if (fault.rfind("fuzz.asn:", 0) != 0) std::abort();  // every fault names its place
    return 0;
  }
  const orvalis::asn1::Module& first = modules.Modules().front();
  if (first.Types.empty()) return 0;
  const orvalis::asn1::SemanticTable table;
  orvalis::asn1::GeneratedDictionary dictionary;
  if (!orvalis::asn1::GenerateDictionary(modules, table, {first.Name + "." + first.Types.front().Name, {}, 5000},
                                         dictionary, fault)) {
    return 0;
  }
  CheckLines(dictionary.Text);
  return 0;
}
