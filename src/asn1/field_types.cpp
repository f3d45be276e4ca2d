#include "asn1/field_types.h"

#include <algorithm>

namespace orvalis {
namespace asn1 {
namespace {

using K = TypeKind;

// The value type of a built-in type that no semantic row names.
const char* OwnValueType(TypeKind kind) {
  switch (kind) {
    case K::kInteger: return "Integer";
    case K::kEnumerated: return "Enumerated";
    case K::kBitString: return "BitString";
    case K::kBoolean: return "Boolean";
    case K::kNull: return "Null";
    case K::kObjectIdentifier: return "ObjectIdentifier";
    case K::kCharacters:
    case K::kTimeText: return "Characters";
    case K::kUtf8String: return "UTF8String";
    case K::kBmpString: return "BMPString";
    case K::kUniversalString: return "UniversalString";
    case K::kGeneralizedTime: return "GeneralizedTime";
    case K::kUtcTime: return "UTCTime";
    case K::kOctetString:
    case K::kRelativeOid:
    case K::kReal: return "HexNumber";
    default: return "Opaque";  // EXTERNAL, EMBEDDED PDV, an open type
  }
}

// A built-in type as a module writes it, for notes.
std::string KindWords(const Type& base) {
  switch (base.Kind) {
    case K::kInteger: return "INTEGER";
    case K::kEnumerated: return "ENUMERATED";
    case K::kBitString: return "BIT STRING";
    case K::kOctetString: return "OCTET STRING";
    case K::kBoolean: return "BOOLEAN";
    case K::kChoice: return "CHOICE";
    case K::kSequence: return "SEQUENCE";
    case K::kSet: return "SET";
    default: return "another built-in type";
  }
}

// The largest key that the mnemonic types read (two octets, as DecNumber forms them).
constexpr int64_t kLargestMnemonicKey = 4335;

}  // namespace

std::vector<NamedNumber> NumberedNames(const Type& base) {
  std::vector<NamedNumber> named = base.Named;
  if (base.Kind != K::kEnumerated) return named;
  std::set<int64_t> used;
  for (const NamedNumber& entry : named) {
    if (entry.Numbered && !entry.Addition) used.insert(entry.Number);
  }
  int64_t next = 0;
  for (NamedNumber& entry : named) {
    if (entry.Numbered || entry.Addition) continue;
    while (used.count(next) != 0) ++next;
    entry.Number = next;
    entry.Numbered = true;
    used.insert(next);
  }
  // An addition without a number: the smallest not used, above every addition before it.
  int64_t above = 0;
  for (NamedNumber& entry : named) {
    if (!entry.Addition) continue;
    if (!entry.Numbered) {
      entry.Number = above;
      while (used.count(entry.Number) != 0) ++entry.Number;
      entry.Numbered = true;
    }
    used.insert(entry.Number);
    if (entry.Number >= above) above = entry.Number + 1;
  }
  return named;
}

std::string NamesLine(const std::string& valueType, const std::vector<NamedNumber>& named) {
  std::string line;
  if (valueType == "Integer" || valueType == "Enumerated" || valueType == "BitString") {
    for (const NamedNumber& entry : named) {
      if (!entry.Numbered) continue;
      line += (line.empty() ? "" : ";") + std::to_string(entry.Number) + "," + entry.Name;
    }
    return line.empty() ? line : "NamedNumbers=" + line;
  }
  const bool indexed = valueType == "ValFromIndexedArr";
  if (!indexed && valueType != "ValFromNonIndexedArr") return line;
  int64_t largest = -1;
  for (const NamedNumber& entry : named) {
    if (!entry.Numbered || entry.Number < 0 || entry.Number > kLargestMnemonicKey) return line;
    largest = std::max(largest, entry.Number);
  }
  if (!indexed) {
    for (const NamedNumber& entry : named) line += (line.empty() ? "" : ";") + std::to_string(entry.Number) + "," + entry.Name;
    return line.empty() ? line : "NonIndArr=" + line;
  }
  std::vector<std::string> byPosition(static_cast<std::size_t>(largest + 1));
  for (const NamedNumber& entry : named) {
    std::string& place = byPosition[static_cast<std::size_t>(entry.Number)];
    if (place.empty()) place = entry.Name;
  }
  for (std::size_t i = 0; i < byPosition.size(); ++i) line += (i == 0 ? "" : ",") + byPosition[i];
  return byPosition.empty() ? line : "IndArr=" + line;
}

void FieldTyping::Note(const std::string& text) {
  if (said_.insert(text).second) notes_.push_back(text);
}

// The first of the type's names (outermost first) whose row reads its base type; a type of a module
// not given takes its row by its name alone. Empty for none.
std::string FieldTyping::SemanticType(const Resolved& resolved) {
  for (const std::string& name : resolved.Names) {
    const std::string* row = table_.Find(name);
    const BaseForm* form = row == nullptr ? nullptr : BaseFormOf(*row);
    if (form == nullptr) continue;
    if (resolved.Base == nullptr || BaseFits(*form, *resolved.Base, resolved.Size)) return *row;
    Note("the semantic table's " + name + "=" + *row + " does not apply to the " + name + " of these modules (" +
         KindWords(*resolved.Base) + "): its fields are read as its built-in type");
  }
  return {};
}

void FieldTyping::SetType(Node& node, const Resolved& resolved) {
  const Type* base = resolved.Base;
  std::string chosen = resolved.LastIsBase ? SemanticType(resolved) : std::string();
  if (chosen.empty()) chosen = base != nullptr && resolved.LastIsBase ? OwnValueType(base->Kind) : "Opaque";
  if (base == nullptr) {
    missing_[resolved.MissingModule].insert(resolved.Names.back() + " as " + (chosen == "Opaque" ? "octets" : chosen));
  } else if (chosen == "Opaque" && (base->Kind == K::kOpen || base->Kind == K::kClassField)) {
    open_.insert(node.Name);
  }
  const bool ownInteger = base != nullptr && resolved.LastIsBase && (chosen == "Integer" || chosen == "Enumerated");
  // An INTEGER's named numbers are shown by the type that names its values.
  if (ownInteger && !base->Named.empty()) chosen = "Enumerated";
  node.ValueType = chosen;
  if (base != nullptr && resolved.LastIsBase && !base->Named.empty()) node.NamesLine = NamesLine(chosen, NumberedNames(*base));
  // A range written without a known upper end (MAX, or beyond 64 bits): its values may pass
  // 2^63 - 1, the largest a bigint column holds.
  node.Numeric = ownInteger && resolved.Range.Given && !resolved.Range.HasUpper;
}

void FieldTyping::Empty(Node& node) const {
  node.ValueType = "Opaque";
  node.Comments.push_back(node.Name + ": no component has a path of its own; its contents are written as octets");
}

uint8_t FieldTyping::KnownUniversalTag(const Resolved& resolved) const {
  const std::string* row = resolved.Names.empty() ? nullptr : table_.Find(resolved.Names.back());
  return row == nullptr ? 0 : UniversalTagOf(*row);
}

void FieldTyping::TellUntagged(const std::string& name, const Resolved& resolved) {
  const std::string what = resolved.Base == nullptr
                               ? "of the type " + resolved.Names.back() + " of module " + resolved.MissingModule +
                                     ", which was not given,"
                               : "of an open type";
  Note(name + " " + what + " has no tag of its own that the dictionary knows: its elements are not in the dictionary");
}

void FieldTyping::TellOnce() const {
  for (const auto& module : missing_) {
    std::string types;
    for (const std::string& type : module.second) types += (types.empty() ? "" : ", ") + type;
    notes_.push_back("module " + module.first + " was not given: its types are read by the semantic table, else as octets: " +
                     types);
  }
  if (open_.empty()) return;
  std::string fields;
  for (const std::string& field : open_) fields += (fields.empty() ? "" : ", ") + field;
  notes_.push_back("open types are written as octets (Opaque): " + fields);
  (void)modules_;
}

}  // namespace asn1
}  // namespace orvalis
