// The semantic table: which value type reads a type that the modules name (IMSI, TimeStamp, ...),
// as TypeName=ValueType lines; the bundled table covers the standard names of charging data
// records and of the mobile application part, and a user's file adds rows or replaces them. A row
// applies only where the module's built-in type is one the value type reads (a TimeStamp row to an
// OCTET STRING (SIZE(9)), not to a vendor's TimeStamp of another form).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "asn1/asn1_syntax.h"
#include "asn1/type_resolution.h"
#include "tags/tag_tree.h"

namespace orvalis {
namespace asn1 {

// What a value type reads, as the module's built-in type: its kinds, and for some an exact SIZE.
struct BaseForm {
  std::string_view ValueType;
  std::vector<TypeKind> Kinds;  // empty: any primitive type
  int64_t ExactSize = 0;        // 0: any size
  // Where the value type needs no exact size: the sizes it reads, when the module bounds them.
  int64_t SmallestSize = 0;
  int64_t LargestSize = 0;  // 0: no largest
};

// Every value type's base form, one row each; a dictionary's Type names only these.
const std::vector<BaseForm>& BaseForms();
const BaseForm* BaseFormOf(std::string_view valueType);

// The universal tag of a value type's built-in type, for a type of a module not given whose
// element has no tag of its own; 0 where it has none of its own kind (Opaque).
uint8_t UniversalTagOf(std::string_view valueType);

class SemanticTable {
 public:
  // The bundled rows.
  SemanticTable();
  // Adds the lines of a user's file (named `name` in messages): a row replaces the bundled row of
  // its name. Lines end as the text files' do; "#" begins a comment line. False, with `problem`
  // naming the line, for a line that is no TypeName=ValueType of a value type that `types` has.
  bool Add(const std::string& name, std::string_view text, const ValueTypeNames& types, std::string& problem);
  // The value type of a type name, or null.
  const std::string* Find(std::string_view typeName) const;

 private:
  std::vector<std::pair<std::string, std::string>> rows_;
};

// True when the value type reads the built-in type `base` with the SIZE bounds `size`.
bool BaseFits(const BaseForm& form, const Type& base, const Bounds& size);

}  // namespace asn1
}  // namespace orvalis
