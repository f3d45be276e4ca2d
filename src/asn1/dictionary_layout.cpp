// The generated dictionary's siblings tidied and its lines written in the bundled dictionary's
// layout: values at column 32 (tab stops every 8 columns), a constructed element's name on a line
// of its own, a record's identifier after an empty line, and a record's Kind.
#include <algorithm>
#include <map>
#include <utility>

#include "asn1/dictionary_nodes.h"
#include "tags/tag_tree.h"

namespace orvalis {
namespace asn1 {
namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr int kValueColumn = 32;

char ClassLetter(TagClass tagClass) {
  switch (tagClass) {
    case TagClass::kUniversal: return 'u';
    case TagClass::kApplication: return 'a';
    case TagClass::kContext: return 'c';
    case TagClass::kPrivate: return 'p';
  }
  return 'c';
}

// [APPLICATION 5], [5], [UNIVERSAL 2]: a tag as a module writes it, for comments and notes.
std::string TagWords(const Node& node) {
  static const char* const kClasses[] = {"UNIVERSAL ", "APPLICATION ", "", "PRIVATE "};
  return "[" + std::string(kClasses[static_cast<int>(node.Class)]) + std::to_string(node.Number) + "]";
}

// Tidies the children of one parent (the top level's too).
void TidyGroup(std::vector<Node>& nodes, const std::vector<uint32_t>& siblings, std::vector<std::string>& notes) {
  std::map<uint32_t, std::vector<uint32_t>> byNumber;
  for (const uint32_t sibling : siblings) byNumber[nodes[sibling].Number].push_back(sibling);
  for (auto& entry : byNumber) {
    std::vector<uint32_t>& same = entry.second;
    bool classes = false;
    for (const uint32_t node : same) classes = classes || nodes[node].Class != nodes[same.front()].Class;
    for (std::size_t i = 0; i < same.size(); ++i) {
      Node& first = nodes[same[i]];
      if (first.Dropped) continue;
      first.Qualified = classes;
      std::string names = first.Name;
      uint64_t occurs = first.Occurs;
      bool shared = false;
      for (std::size_t j = i + 1; j < same.size(); ++j) {
        Node& other = nodes[same[j]];
        if (other.Class != first.Class) continue;
        other.Dropped = true;
        shared = true;
        occurs += other.Occurs;
        names += ", " + other.Name;
      }
      if (!shared) continue;
      first.Occurs = static_cast<uint32_t>(std::min<uint64_t>(occurs, kMaxOccurs));
      const std::string said = names + " share the tag " + TagWords(first) + ": written once, as " + first.Name +
                               ", with Occurs=" + std::to_string(first.Occurs) + " (the second is " + first.Name +
                               "#2 in the CSV)";
      first.Comments.push_back(said);
      notes.push_back(said);
    }
  }
}

std::string PathOf(const std::vector<Node>& nodes, uint32_t index) {
  std::vector<uint32_t> chain;
  for (uint32_t at = index; at != kTopLevel; at = nodes[at].Parent) chain.push_back(at);
  std::string path;
  for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
    const Node& node = nodes[*at];
    if (!path.empty()) path += '.';
    if (node.Qualified) path += ClassLetter(node.Class);
    path += std::to_string(node.Number);
  }
  return path;
}

// The LongTagName: a record's identifier after an empty line; a constructed element's name on a
// line of its own; a value's name with its colon, the value at column 32.
std::string LongTagName(const Node& node) {
  if (node.Record) return "\\n" + node.Name;
  std::string text;
  for (int i = 0; i < node.Indent; ++i) text += "\\t";
  text += node.Name;
  if (node.ValueType.empty()) return text + "\\n";
  text += ':';
  int column = node.Indent * 8 + static_cast<int>(node.Name.size()) + 1;
  do {
    text += "\\t";
    column = (column / 8 + 1) * 8;
  } while (column < kValueColumn);
  return text;
}

void WriteNode(const std::vector<Node>& nodes, uint32_t index, std::string& text) {
  const Node& node = nodes[index];
  if (node.Record || node.Depth == 0) {
    text += "#\r\n# ---------------------------------------------------------------- " + node.Name + kLineEnd;
  }
  for (const std::string& comment : node.Comments) text += "# " + comment + kLineEnd;
  const std::string path = PathOf(nodes, index);
  text += path + ".TagName=" + (node.Record ? std::string("record") : node.Name) + kLineEnd;
  text += path + ".LongTagName=" + LongTagName(node) + kLineEnd;
  if (node.Record) text += path + ".Kind=" + node.Kind + kLineEnd;
  if (!node.ValueType.empty()) text += path + ".Type=" + node.ValueType + kLineEnd;
  if (!node.NamesLine.empty()) text += path + "." + node.NamesLine + kLineEnd;
  if (node.Numeric) text += path + ".Numeric=true" + kLineEnd;
  if (node.Occurs > 1 && !node.Record) text += path + ".Occurs=" + std::to_string(node.Occurs) + kLineEnd;
}

}  // namespace

void TidySiblings(std::vector<Node>& nodes, std::vector<std::string>& notes) {
  std::vector<uint32_t> top;
  for (uint32_t i = 0; i < nodes.size(); ++i) {
    if (nodes[i].Parent == kTopLevel) top.push_back(i);
  }
  TidyGroup(nodes, top, notes);
  for (uint32_t i = 0; i < nodes.size(); ++i) {
    if (!nodes[i].Children.empty()) TidyGroup(nodes, nodes[i].Children, notes);
  }
}

std::string DictionaryText(const std::vector<Node>& nodes, const std::vector<std::string>& header) {
  std::string text;
  for (const std::string& line : header) text += (line.empty() ? "#" : "# " + line) + kLineEnd;
  // Depth first, in the order the nodes were made, without recursion: a node's children follow it.
  std::vector<uint32_t> pending;
  for (uint32_t i = static_cast<uint32_t>(nodes.size()); i-- > 0;) {
    if (nodes[i].Parent == kTopLevel) pending.push_back(i);
  }
  while (!pending.empty()) {
    const uint32_t index = pending.back();
    pending.pop_back();
    if (nodes[index].Dropped) continue;
    WriteNode(nodes, index, text);
    const std::vector<uint32_t>& children = nodes[index].Children;
    for (auto child = children.rbegin(); child != children.rend(); ++child) pending.push_back(*child);
  }
  return text;
}

}  // namespace asn1
}  // namespace orvalis
