// What a type is on the wire: the elements it makes (explicit tags around its own element, or the
// alternatives of a CHOICE), the built-in type it comes to through its names, and the bounds of its
// constraints. The one place where X.680's tagging rules are applied.
#pragma once

#include <cstdint>
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "asn1/module_set.h"

namespace orvalis {
namespace asn1 {

// A constraint's bounds, as numbers.
struct Bounds {
  bool HasLower = false;
  bool HasUpper = false;
  bool Given = false;  // a constraint was written (an end it gives may still be unknown: MAX, say)
  int64_t Lower = 0;
  int64_t Upper = 0;
  bool Exact(int64_t n) const { return HasLower && HasUpper && Lower == n && Upper == n; }
};

// A parameterized type's formal parameters bound to the actual types of the reference that named it.
struct Scope {
  const TypeAssignment* Assignment = nullptr;
  const Type* Reference = nullptr;      // holds the actual parameters
  const Scope* ActualsScope = nullptr;  // where they are read
};

// One element of a type's encoding: its class and number.
struct Layer {
  TagClass Class = TagClass::kUniversal;
  uint32_t Number = 0;
};

struct Resolved {
  // The elements, outermost first: each but the last an explicit tag's element that holds the
  // next; the last the type's own element when LastIsBase, else one more explicit tag's element
  // that holds the alternatives of a CHOICE, an open type's value or a missing type's.
  std::vector<Layer> Layers;
  bool LastIsBase = false;
  const Type* Base = nullptr;  // the built-in type reached; null for a type of a module not given
  const Scope* BaseScope = nullptr;
  std::vector<const TypeAssignment*> Through;  // the type assignments passed, outermost first
  std::vector<std::string> Names;              // their names (and a missing type's), outermost first
  std::string MissingModule;                   // the module not given that the type comes from
  Bounds Size;
  Bounds Range;
};

// A fault of the modules' meaning (a name defined nowhere, a circle of names), at its place.
class MeaningFault : public std::runtime_error {
 public:
  MeaningFault(Place where, const std::string& what) : std::runtime_error(what), Where(where) {}
  Place Where;
};

class Resolver {
 public:
  explicit Resolver(const ModuleSet& modules) : modules_(modules) {}

  // The type written at `type`, read in `scope` (null outside parameterized types). Throws
  // MeaningFault.
  Resolved Resolve(const Type& type, const Scope* scope);
  // A constraint's ranges as bounds, its names read in `module`; a name not found is no bound.
  Bounds BoundsOf(const Limits& limits, uint32_t module) const;
  const ModuleSet& Modules() const { return modules_; }

 private:
  struct PendingTag {
    Tag Written;
    TagDefault Default;
    bool AroundParameter;  // the tag of a formal parameter: explicit
  };
  const Type* ClassFieldType(const Type& type) const;
  bool Parameter(const Scope* scope, const std::string& name, const Type*& actual, const Scope*& where) const;
  void MakeLayers(Resolved& resolved, const std::vector<PendingTag>& pending) const;

  const ModuleSet& modules_;
  std::deque<Scope> scopes_;
};

// The word a type's element is named by where no identifier names it: its type's name with a
// lower-case first letter (IPAddress: iPAddress), or the built-in type's (octetString).
std::string ElementWord(const Resolved& resolved);

}  // namespace asn1
}  // namespace orvalis
