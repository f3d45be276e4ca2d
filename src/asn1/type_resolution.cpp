#include "asn1/type_resolution.h"

#include <algorithm>

namespace orvalis {
namespace asn1 {
namespace {

// The most names a type may pass through before its built-in type: more is a circle.
constexpr int kMaxNameSteps = 1000;

// The id field of the built-in classes TYPE-IDENTIFIER and ABSTRACT-SYNTAX.
const Type& ObjectIdentifierField() {
  static const Type field = [] {
    Type type;
    type.Kind = TypeKind::kObjectIdentifier;
    type.UniversalTag = 6;
    return type;
  }();
  return field;
}

// Narrows `into` to what `more` allows too.
void Intersect(Bounds& into, const Bounds& more) {
  into.Given = into.Given || more.Given;
  if (more.HasLower && (!into.HasLower || more.Lower > into.Lower)) {
    into.HasLower = true;
    into.Lower = more.Lower;
  }
  if (more.HasUpper && (!into.HasUpper || more.Upper < into.Upper)) {
    into.HasUpper = true;
    into.Upper = more.Upper;
  }
}

// A built-in type's word for an element that no identifier names.
const char* BuiltinWord(TypeKind kind) {
  switch (kind) {
    case TypeKind::kSequence: return "sequence";
    case TypeKind::kSet: return "set";
    case TypeKind::kSequenceOf: return "sequenceOf";
    case TypeKind::kSetOf: return "setOf";
    case TypeKind::kInteger: return "integer";
    case TypeKind::kEnumerated: return "enumerated";
    case TypeKind::kBitString: return "bitString";
    case TypeKind::kOctetString: return "octetString";
    case TypeKind::kBoolean: return "boolean";
    case TypeKind::kNull: return "null";
    case TypeKind::kObjectIdentifier: return "objectIdentifier";
    case TypeKind::kGeneralizedTime: return "generalizedTime";
    case TypeKind::kUtcTime: return "utcTime";
    default: return "value";
  }
}

}  // namespace

std::string ElementWord(const Resolved& resolved) {
  if (resolved.Names.empty()) return resolved.Base != nullptr ? BuiltinWord(resolved.Base->Kind) : "value";
  std::string word = resolved.Names.front();
  if (word[0] >= 'A' && word[0] <= 'Z') word[0] = static_cast<char>(word[0] - 'A' + 'a');
  return word;
}

Bounds Resolver::BoundsOf(const Limits& limits, uint32_t module) const {
  Bounds bounds;
  if (limits.empty()) return bounds;
  bounds.Given = true;
  bool lower = true;
  bool upper = true;
  int64_t low = INT64_MAX;
  int64_t high = INT64_MIN;
  for (const RangePart& part : limits) {
    for (const bool isUpper : {false, true}) {
      const Bound& end = isUpper ? part.Upper : part.Lower;
      int64_t value = end.Number;
      const bool known = end.What == Bound::Is::kNumber ||
                         (end.What == Bound::Is::kName && modules_.FindInteger(module, end.Name, value));
      bool& has = isUpper ? upper : lower;
      if (!known) {
        has = false;
        continue;
      }
      if (end.Shift > 0 && value < INT64_MAX) ++value;
      if (end.Shift < 0 && value > INT64_MIN) --value;
      if (isUpper) high = std::max(high, value);
      if (!isUpper) low = std::min(low, value);
    }
  }
  bounds.HasLower = lower;
  bounds.Lower = low;
  bounds.HasUpper = upper;
  bounds.Upper = high;
  return bounds;
}

bool Resolver::Parameter(const Scope* scope, const std::string& name, const Type*& actual, const Scope*& where) const {
  if (scope == nullptr) return false;
  const std::vector<FormalParameter>& formals = scope->Assignment->Parameters;
  for (std::size_t i = 0; i < formals.size(); ++i) {
    if (formals[i].Name != name) continue;
    const auto& actuals = scope->Reference->Actuals;
    if (i >= actuals.size() || actuals[i] == nullptr || !formals[i].IsType) {
      throw MeaningFault(scope->Reference->Where, "the reference to " + scope->Assignment->Name +
                                                      " gives no type for its parameter " + name);
    }
    actual = actuals[i].get();
    where = scope->ActualsScope;
    return true;
  }
  return false;
}

// CLASS.&field: a fixed-type value field's type, or null for an open type.
const Type* Resolver::ClassFieldType(const Type& type) const {
  uint32_t module = 0;
  std::string reached;
  const ClassAssignment* found = modules_.FindClass(type.Module, type.Name, module, reached);
  if (found == nullptr) {
    const bool builtin = reached == "TYPE-IDENTIFIER" || reached == "ABSTRACT-SYNTAX";
    return builtin && type.ElementName == "id" ? &ObjectIdentifierField() : nullptr;
  }
  for (const auto& field : found->Fields) {
    if (field.first == type.ElementName) return field.second.get();
  }
  return nullptr;
}

Resolved Resolver::Resolve(const Type& written, const Scope* scope) {
  Resolved resolved;
  std::vector<PendingTag> pending;
  const Type* type = &written;
  for (int step = 0;; ++step) {
    if (step > kMaxNameSteps) throw MeaningFault(written.Where, "the names of this type lead round in a circle");
    const TagDefault tagDefault = modules_.Modules()[type->Module].Default;
    for (const Tag& tag : type->Tags) pending.push_back({tag, tagDefault, false});
    Intersect(resolved.Size, BoundsOf(type->Size, type->Module));
    Intersect(resolved.Range, BoundsOf(type->Range, type->Module));
    if (type->Kind == TypeKind::kClassField) {
      const Type* field = ClassFieldType(*type);
      if (field == nullptr) break;  // an open type
      type = field;
      scope = nullptr;
      continue;
    }
    if (type->Kind != TypeKind::kReference) break;
    const Type* actual = nullptr;
    const Scope* actualScope = nullptr;
    if (type->ModuleName.empty() && Parameter(scope, type->Name, actual, actualScope)) {
      if (!pending.empty()) pending.back().AroundParameter = true;
      type = actual;
      scope = actualScope;
      continue;
    }
    const FoundType found = modules_.FindType(type->Module, type->ModuleName, type->Name);
    if (found.Assignment == nullptr) {
      if (found.MissingModule.empty()) {
        throw MeaningFault(type->Where, "the type " + type->Name + " is neither defined in module " +
                                            modules_.Modules()[type->Module].Name + " nor imported");
      }
      resolved.MissingModule = found.MissingModule;
      resolved.Names.push_back(type->Name);
      type = nullptr;
      break;
    }
    resolved.Through.push_back(found.Assignment);
    resolved.Names.push_back(found.Assignment->Name);
    if (found.Assignment->Parameters.empty()) {
      scope = nullptr;
    } else {
      scopes_.push_back({found.Assignment, type, scope});
      scope = &scopes_.back();
    }
    type = found.Assignment->Of.get();
  }
  resolved.Base = type;
  resolved.BaseScope = scope;
  MakeLayers(resolved, pending);
  return resolved;
}

// The tags met, from the innermost out: an implicit tag replaces the element's own, an explicit
// one (written so, by an EXPLICIT TAGS module, around a formal parameter, or around what has no
// tag of its own: a CHOICE, an open type) makes an element around it.
void Resolver::MakeLayers(Resolved& resolved, const std::vector<PendingTag>& pending) const {
  const Type* base = resolved.Base;
  const bool missing = base == nullptr;
  const bool ownTag = !missing && base->Kind != TypeKind::kChoice && base->Kind != TypeKind::kOpen &&
                      base->Kind != TypeKind::kClassField;
  std::vector<Layer>& layers = resolved.Layers;
  if (ownTag) layers.push_back({TagClass::kUniversal, base->UniversalTag});
  resolved.LastIsBase = ownTag;
  for (auto tag = pending.rbegin(); tag != pending.rend(); ++tag) {
    const Layer layer{tag->Written.Class, tag->Written.Number};
    const bool written = tag->Written.Mode == TagMode::kExplicit ||
                         (tag->Written.Mode == TagMode::kDefault && tag->Default == TagDefault::kExplicit);
    const bool nothingToReplace = layers.empty() && !missing;
    if (layers.empty() && missing && !written && !tag->AroundParameter) {
      layers.push_back(layer);  // replaces the missing type's own tag, whatever it was
      resolved.LastIsBase = true;
    } else if (written || tag->AroundParameter || nothingToReplace || layers.empty()) {
      layers.insert(layers.begin(), layer);
    } else {
      layers.front() = layer;
    }
  }
}

}  // namespace asn1
}  // namespace orvalis
