// The generated dictionary before it is written: a node for each path, made by the generator
// (dictionary_generator.cpp), then tidied among siblings and written as Tags.cfg lines
// (dictionary_layout.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "asn1/asn1_syntax.h"

namespace orvalis {
namespace asn1 {

// The parent of a top-level node.
constexpr uint32_t kTopLevel = UINT32_MAX;

struct Node {
  TagClass Class = TagClass::kContext;
  uint32_t Number = 0;
  uint32_t Parent = kTopLevel;
  std::vector<uint32_t> Children;
  int Depth = 0;   // 0 at the top level
  int Indent = 0;  // the levels below its record (or the top level) that its readable text is indented
  std::string Name;  // TagName; a record's identifier
  bool Record = false;
  std::string Kind;  // a record's Kind: its alternative's identifier, or the record type's name
  std::string ValueType;   // the Type; empty: none (a constructed element)
  std::string NamesLine;   // "NamedNumbers=...", "IndArr=...", "NonIndArr=..." or empty
  bool Numeric = false;    // an integer whose values may pass 2^63 - 1
  uint32_t Occurs = 1;
  std::vector<std::string> Comments;  // comment lines before its lines, without "# "
  bool Dropped = false;    // a sibling of the same class and number stands for it
  bool Qualified = false;  // its path component names its class
};

// Siblings of one class and number are written once, under the first's name, with the sum of
// their Occurs and a comment; siblings that share a number but not a class name their classes.
// Appends a note for each group written once.
void TidySiblings(std::vector<Node>& nodes, std::vector<std::string>& notes);

// The Tags.cfg text of the nodes not dropped, CR LF, after the header's comment lines.
std::string DictionaryText(const std::vector<Node>& nodes, const std::vector<std::string>& header);

}  // namespace asn1
}  // namespace orvalis
