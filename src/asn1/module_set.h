// The modules of the files given, read, and how a name used in one of them is found: in its own
// module, through its IMPORTS, or in a module that was not given.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "asn1/asn1_reader.h"
#include "asn1/asn1_syntax.h"

namespace orvalis {
namespace asn1 {

// Where a type's name leads.
struct FoundType {
  const TypeAssignment* Assignment = nullptr;  // null: not found
  uint32_t Module = 0;                         // the module that defines it
  std::string MissingModule;  // imported from a module that was not given: its name
};

class ModuleSet {
 public:
  // Reads a module file's text (the files in the order given, `name` for its messages). False,
  // with the fault told in `fault` (FaultText), where it is not a module this reader reads.
  bool Read(const std::string& name, std::string_view text, std::string& fault);

  // The type `name` (of `moduleName` when it is given: Module.Type) as module `from` sees it.
  FoundType FindType(uint32_t from, const std::string& moduleName, const std::string& name) const;
  // The type a user names: Type, or Module.Type. Null, with `problem`, for none or more than one.
  FoundType FindNamedType(const std::string& name, std::string& problem) const;
  // An information object class, as module `from` sees it (through a type assignment that names
  // another class too); null for none, `reached` then the last name looked for (TYPE-IDENTIFIER).
  const ClassAssignment* FindClass(uint32_t from, const std::string& name, uint32_t& module,
                                   std::string& reached) const;
  // An INTEGER value's name, as module `from` sees it; false for none.
  bool FindInteger(uint32_t from, const std::string& name, int64_t& value) const;
  // The module of a name; null for none given.
  const Module* ModuleNamed(std::string_view name, uint32_t* index = nullptr) const;

  // "a.asn:12:5": where a construct stands, for messages.
  std::string Where(const Place& place) const;

  const std::vector<Module>& Modules() const { return modules_; }
  const std::vector<std::string>& FileNames() const { return files_; }

 private:
  const TypeAssignment* Own(const Module& module, const std::string& name) const;
  const std::string* ImportedFrom(const Module& module, const std::string& name) const;

  std::vector<std::string> files_;
  std::vector<Module> modules_;
  uint64_t textRead_ = 0;
};

}  // namespace asn1
}  // namespace orvalis
