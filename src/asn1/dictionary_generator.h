// The dictionary of the files that ASN.1 modules define: every field of every record type
// reachable from the root type, by its path of tag numbers, named by its identifier, typed by its
// built-in type or the semantic table, as Tags.cfg lines in the bundled dictionary's layout.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "asn1/module_set.h"
#include "asn1/semantic_table.h"

namespace orvalis {
namespace asn1 {

// The most paths a generated dictionary holds: past them the modules are refused (two types that
// hold themselves twice each make millions of paths before the depth the walk reads).
constexpr uint32_t kMaxPaths = 200000;

struct DictionaryRequest {
  std::string Root;     // the type of the file's top-level elements: Type or Module.Type
  std::string Records;  // the record type; empty: the root's alternatives (or the root itself)
  uint32_t MaxPaths = kMaxPaths;
};

struct GeneratedDictionary {
  std::string Text;                // Tags.cfg, CR LF
  std::vector<std::string> Notes;  // what the user is told, each once
  uint32_t Paths = 0;
};

// Makes the dictionary. False, with `fault` ("a.asn:12:5: what", or what is wrong with the
// request), when it cannot be made.
bool GenerateDictionary(const ModuleSet& modules, const SemanticTable& table, const DictionaryRequest& request,
                        GeneratedDictionary& out, std::string& fault);

}  // namespace asn1
}  // namespace orvalis
