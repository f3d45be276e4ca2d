// A field's value type: the semantic table's row of the first of its type's names whose base type
// the row's value type reads, else the built-in type's own; its named numbers in the form that
// value type reads. What cannot be named or typed is told once, after the dictionary is made.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "asn1/dictionary_nodes.h"
#include "asn1/module_set.h"
#include "asn1/semantic_table.h"
#include "asn1/type_resolution.h"

namespace orvalis {
namespace asn1 {

class FieldTyping {
 public:
  FieldTyping(const ModuleSet& modules, const SemanticTable& table, std::vector<std::string>& notes)
      : modules_(modules), table_(table), notes_(notes) {}

  // Gives a value's node its Type and named numbers.
  void SetType(Node& node, const Resolved& resolved);
  // A constructed element of which no component has a path: its contents as octets.
  void Empty(Node& node) const;
  // The universal tag of a type of a module not given, by its semantic row; 0 for none.
  uint8_t KnownUniversalTag(const Resolved& resolved) const;
  // A member without a tag that a path could name (an untagged open type, an untagged type of a
  // module not given that the semantic table does not know): told once.
  void TellUntagged(const std::string& name, const Resolved& resolved);
  // The notes gathered: the modules not given and what their types became, the open types.
  void TellOnce() const;

 private:
  std::string SemanticType(const Resolved& resolved);
  void Note(const std::string& text);

  const ModuleSet& modules_;
  const SemanticTable& table_;
  std::vector<std::string>& notes_;
  std::map<std::string, std::set<std::string>> missing_;  // a module not given: "IMSI as IMSI", ...
  std::set<std::string> open_;                             // the fields of open types
  std::set<std::string> said_;
};

// The named numbers of an INTEGER, ENUMERATED or BIT STRING, an ENUMERATED's unnumbered items
// numbered as X.680 numbers them.
std::vector<NamedNumber> NumberedNames(const Type& base);

// The dictionary line of named numbers for the value type: NamedNumbers=, IndArr= or NonIndArr=;
// empty where the value type reads none, or the numbers do not fit its form.
std::string NamesLine(const std::string& valueType, const std::vector<NamedNumber>& named);

}  // namespace asn1
}  // namespace orvalis
