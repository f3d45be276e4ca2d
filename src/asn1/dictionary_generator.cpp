// The generator: from the root type down, each component's elements made into paths (explicit tags
// as elements of their own, untagged CHOICEs' alternatives in their holder's place), the records
// marked, SEQUENCE OF given its Occurs; then tidied and written (dictionary_layout.cpp).
#include "asn1/dictionary_generator.h"

#include <set>

#include "asn1/dictionary_nodes.h"
#include "asn1/field_types.h"
#include "asn1/type_resolution.h"
#include "tags/tag_tree.h"

namespace orvalis {
namespace asn1 {
namespace {

// The deepest untagged CHOICEs within CHOICEs, and COMPONENTS OF within COMPONENTS OF.
constexpr int kMaxFlattening = 64;
// The most occurrences of a SEQUENCE OF that get columns of their own, where its SIZE allows more.
constexpr uint32_t kListOccurs = 4;
constexpr uint32_t kLargestListOccurs = 16;

// "A (a.asn), B (b.asn)": the modules read, for the dictionary's first line.
std::string ModuleList(const ModuleSet& modules) {
  std::string list;
  for (const Module& module : modules.Modules()) {
    if (!list.empty()) list += ", ";
    list += module.Name + " (" + modules.FileNames()[module.File] + ")";
  }
  return list;
}

class PathLimit : public std::runtime_error {
 public:
  PathLimit() : std::runtime_error("") {}
};

// How the members of one holder are made.
struct Context {
  bool InRecord = false;
  int RecordDepth = 0;
  uint32_t Occurs = 1;      // the members' Occurs (a SEQUENCE OF's element)
  std::string OccursSaid;   // its comment
};

class Generator {
 public:
  Generator(const ModuleSet& modules, const SemanticTable& table, const TypeAssignment* records, uint32_t maxPaths,
            std::vector<Node>& nodes, std::vector<std::string>& notes)
      : resolver_(modules), typing_(modules, table, notes), records_(records), maxPaths_(maxPaths), nodes_(nodes),
        notes_(notes) {}

  void AddMember(uint32_t parent, const std::string& name, const Type& type, const Scope* scope,
                 const Context& context, bool asRecord);
  void TellLeftOut() const;

 private:
  void AddUntagged(uint32_t parent, const std::string& name, const std::string& kind, const Resolved& resolved,
                   const Context& context, bool records);
  uint32_t NewNode(uint32_t parent, const Layer& layer, const std::string& name, const Context& context);
  void Fill(uint32_t node, const Resolved& resolved, const Context& context, bool choiceRecords);
  void AddComponents(uint32_t node, const Type& base, const Scope* scope, const Context& context, int depth);
  void AddAlternatives(uint32_t parent, const Type& choice, const Scope* scope, const Context& context,
                       bool records);
  void AddListElement(uint32_t node, const Resolved& resolved, const Context& context);
  Context Inside(uint32_t node) const;
  bool IsRecordsType(const Resolved& resolved) const;

  Resolver resolver_;
  FieldTyping typing_;
  const TypeAssignment* records_;
  uint32_t maxPaths_;
  std::vector<Node>& nodes_;
  std::vector<std::string>& notes_;
  std::vector<const TypeAssignment*> holders_;  // the types whose members are being made, outermost first
  std::set<std::string> tooDeep_;               // the types whose paths went below the walk's depth
  std::set<std::string> recursive_;             // those of them that hold themselves
  int flattening_ = 0;
};

bool Generator::IsRecordsType(const Resolved& resolved) const {
  for (const TypeAssignment* through : resolved.Through) {
    if (through == records_) return true;
  }
  return false;
}

Context Generator::Inside(uint32_t node) const {
  Context inside;
  for (uint32_t at = node; at != kTopLevel; at = nodes_[at].Parent) {
    if (!nodes_[at].Record) continue;
    inside.InRecord = true;
    inside.RecordDepth = nodes_[at].Depth;
    break;
  }
  return inside;
}

void Generator::AddMember(uint32_t parent, const std::string& name, const Type& type, const Scope* scope,
                          const Context& context, bool asRecord) {
  const Resolved resolved = resolver_.Resolve(type, scope);
  const bool records = asRecord || (!context.InRecord && IsRecordsType(resolved));
  const std::string& called = name.empty() ? ElementWord(resolved) : name;
  // A record's kind: the alternative's identifier, or the name of the record type.
  const std::string& kind = asRecord ? called : records_->Name;
  if (resolved.Layers.empty()) return AddUntagged(parent, called, kind, resolved, context, records);
  const bool choice = resolved.Base != nullptr && resolved.Base->Kind == TypeKind::kChoice;
  uint32_t node = parent;
  for (std::size_t i = 0; i < resolved.Layers.size(); ++i) {
    const Context& here = i == 0 ? context : Context{};
    node = NewNode(node, resolved.Layers[i], i == 0 ? called : ElementWord(resolved), here);
    if (node == kTopLevel) return;
    if (i == 0 && records && !choice) {
      nodes_[node].Record = true;
      nodes_[node].Kind = kind;
      nodes_[node].Indent = 0;
    }
  }
  const bool held = !resolved.Through.empty();
  if (held) holders_.push_back(resolved.Through.front());
  Fill(node, resolved, Inside(node), records && choice);
  if (held) holders_.pop_back();
}

// A member without an element of its own: an untagged CHOICE's alternatives stand in its place;
// an untagged open type, or a type of a module not given that the semantic table does not know,
// cannot be found by a tag.
void Generator::AddUntagged(uint32_t parent, const std::string& name, const std::string& kind,
                            const Resolved& resolved, const Context& context, bool records) {
  if (resolved.Base != nullptr && resolved.Base->Kind == TypeKind::kChoice) {
    if (++flattening_ > kMaxFlattening) {
      throw MeaningFault(resolved.Base->Where, "untagged CHOICEs hold each other more than " +
                                                   std::to_string(kMaxFlattening) + " deep");
    }
    AddAlternatives(parent, *resolved.Base, resolved.BaseScope, context, records);
    --flattening_;
    return;
  }
  const uint8_t universal = resolved.Base == nullptr ? typing_.KnownUniversalTag(resolved) : 0;
  if (universal == 0) {
    typing_.TellUntagged(name, resolved);
    return;
  }
  const uint32_t node = NewNode(parent, {TagClass::kUniversal, universal}, name, context);
  if (node == kTopLevel) return;
  if (records) {
    nodes_[node].Record = true;
    nodes_[node].Kind = kind;
  }
  typing_.SetType(nodes_[node], resolved);
}

uint32_t Generator::NewNode(uint32_t parent, const Layer& layer, const std::string& name, const Context& context) {
  const int depth = parent == kTopLevel ? 0 : nodes_[parent].Depth + 1;
  if (depth > kMaxDepth) {
    const std::string holder = holders_.empty() ? name : holders_.back()->Name;
    tooDeep_.insert(holder);
    for (std::size_t i = 0; i + 1 < holders_.size(); ++i) {
      if (holders_[i] == holders_.back()) recursive_.insert(holder);
    }
    return kTopLevel;
  }
  if (nodes_.size() >= maxPaths_) throw PathLimit();
  Node node;
  node.Class = layer.Class;
  node.Number = layer.Number;
  node.Parent = parent;
  node.Depth = depth;
  node.Indent = context.InRecord ? depth - context.RecordDepth : depth;
  node.Name = name;
  node.Occurs = context.Occurs;
  if (!context.OccursSaid.empty()) node.Comments.push_back(context.OccursSaid);
  nodes_.push_back(std::move(node));
  const auto index = static_cast<uint32_t>(nodes_.size() - 1);
  if (parent != kTopLevel) nodes_[parent].Children.push_back(index);
  return index;
}

void Generator::Fill(uint32_t node, const Resolved& resolved, const Context& context, bool choiceRecords) {
  const Type* base = resolved.Base;
  if (base == nullptr || (!resolved.LastIsBase && base->Kind != TypeKind::kChoice)) {
    typing_.SetType(nodes_[node], resolved);  // a missing type's, or an open type's: octets
    return;
  }
  switch (base->Kind) {
    case TypeKind::kSequence:
    case TypeKind::kSet: AddComponents(node, *base, resolved.BaseScope, context, 0); break;
    case TypeKind::kChoice: AddAlternatives(node, *base, resolved.BaseScope, context, choiceRecords); break;
    case TypeKind::kSequenceOf:
    case TypeKind::kSetOf: AddListElement(node, resolved, context); break;
    default: typing_.SetType(nodes_[node], resolved); return;
  }
  if (nodes_[node].Children.empty()) typing_.Empty(nodes_[node]);
}

// A SEQUENCE's or SET's components (of a COMPONENTS OF's type, only those of its root).
void Generator::AddComponents(uint32_t node, const Type& base, const Scope* scope, const Context& context, int depth) {
  if (depth > kMaxFlattening) throw MeaningFault(base.Where, "COMPONENTS OF includes itself");
  for (const Component& component : base.Components) {
    if (depth > 0 && component.Addition) continue;
    if (!component.ComponentsOf) {
      AddMember(node, component.Name, *component.Of, scope, context, false);
      continue;
    }
    const Resolved included = resolver_.Resolve(*component.Of, scope);
    const Type* from = included.Base;
    if (from == nullptr || (from->Kind != TypeKind::kSequence && from->Kind != TypeKind::kSet)) {
      throw MeaningFault(component.Where, "COMPONENTS OF names a type that is no SEQUENCE or SET");
    }
    AddComponents(node, *from, included.BaseScope, context, depth + 1);
  }
}

void Generator::AddAlternatives(uint32_t parent, const Type& choice, const Scope* scope, const Context& context,
                                bool records) {
  for (const Component& alternative : choice.Components) {
    AddMember(parent, alternative.Name, *alternative.Of, scope, context, records);
  }
}

// SEQUENCE OF: the element's paths with Occurs from the SIZE's upper bound (at most 16), else 4.
void Generator::AddListElement(uint32_t node, const Resolved& resolved, const Context& context) {
  const Type& list = *resolved.Base;
  Context element = context;
  const Bounds& size = resolved.Size;
  const std::string& listName = nodes_[node].Name;
  if (size.HasUpper && size.Upper <= static_cast<int64_t>(kLargestListOccurs)) {
    element.Occurs = size.Upper < 1 ? 1 : static_cast<uint32_t>(size.Upper);
    element.OccursSaid = listName + ": a list of at most " + std::to_string(element.Occurs) +
                         " elements: Occurs=" + std::to_string(element.Occurs);
  } else {
    element.Occurs = kListOccurs;
    element.OccursSaid = listName + ": a list of " +
                         (size.HasUpper ? "up to " + std::to_string(size.Upper) : std::string("any number of")) +
                         " elements: Occurs=" + std::to_string(kListOccurs) +
                         " gives the first 4 columns; raise it for more";
  }
  AddMember(node, list.ElementName, *list.Element, resolved.BaseScope, element, false);
}

void Generator::TellLeftOut() const {
  for (const std::string& type : tooDeep_) {
    notes_.push_back(recursive_.count(type) != 0
                         ? "the type " + type + " holds itself: its paths stop at the " + std::to_string(kMaxDepth + 1) +
                               " levels that the walk reads"
                         : "the paths within " + type + " go deeper than the " + std::to_string(kMaxDepth + 1) +
                               " levels that the walk reads: those below are left out");
  }
  typing_.TellOnce();
}

}  // namespace

bool GenerateDictionary(const ModuleSet& modules, const SemanticTable& table, const DictionaryRequest& request,
                        GeneratedDictionary& out, std::string& fault) {
  const FoundType root = modules.FindNamedType(request.Root, fault);
  if (root.Assignment == nullptr) return false;
  FoundType records = root;
  if (!request.Records.empty()) {
    records = modules.FindNamedType(request.Records, fault);
    if (records.Assignment == nullptr) return false;
  }
  std::vector<Node> nodes;
  try {
    Generator generator(modules, table, records.Assignment, request.MaxPaths, nodes, out.Notes);
    Type start;  // a reference to the root, as a module would write it
    start.Kind = TypeKind::kReference;
    start.Name = root.Assignment->Name;
    start.ModuleName = modules.Modules()[root.Module].Name;
    start.Module = root.Module;
    start.Where = root.Assignment->Where;
    std::string name = root.Assignment->Name;
    name[0] = static_cast<char>(name[0] - 'A' + 'a');
    generator.AddMember(kTopLevel, name, start, nullptr, Context{}, false);
    generator.TellLeftOut();
  } catch (const MeaningFault& meaning) {
    fault = modules.Where(meaning.Where) + ": " + meaning.what();
    return false;
  } catch (const PathLimit&) {
    fault = "the dictionary of " + request.Root + " would hold more than " + std::to_string(request.MaxPaths) +
            " paths: name the record type with --records, or leave the types that hold themselves out of the module";
    return false;
  }
  bool anyRecord = false;
  for (const Node& node : nodes) anyRecord = anyRecord || node.Record;
  if (!anyRecord) {
    fault = "no element of the type " + records.Assignment->Name + " is reached from " + request.Root;
    return false;
  }
  TidySiblings(nodes, out.Notes);
  std::vector<std::string> header = {
      "Tag dictionary made from the ASN.1 modules " + ModuleList(modules),
      "Root type " + request.Root + "; records: " +
          (request.Records.empty() ? "its alternatives" : "the values of " + request.Records)};
  out.Text = DictionaryText(nodes, header);
  out.Paths = static_cast<uint32_t>(nodes.size());
  return true;
}

}  // namespace asn1
}  // namespace orvalis
