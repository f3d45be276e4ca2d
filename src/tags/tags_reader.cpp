#include "tags/tags_reader.h"

#include <cstdio>
#include <string>

#include "common/console.h"
#include "common/line_splitter.h"
#include "common/text_file.h"
#include "common/text_format.h"

namespace orvalis {
namespace {

// Replaces every backslash-letter escape with the character it stands for.
void ReplaceEscape(std::string& text, char letter, char replacement) {
  std::size_t at = 0;
  while ((at = text.find('\\', at)) != std::string::npos) {
    if (at + 1 < text.size() && text[at + 1] == letter) {
      text.replace(at, 2, 1, replacement);
    }
    ++at;
  }
}

bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }

// The class a path component's letter names: u, a, c or p followed by a decimal digit (a5 is
// [APPLICATION 5]); false for any other component, a bare number among them.
bool ComponentClass(std::string_view component, TagClass& tagClass) {
  if (component.size() < 2 || !IsDecimalDigit(component[1])) return false;
  switch (component[0]) {
    case 'u': tagClass = TagClass::kUniversal; return true;
    case 'a': tagClass = TagClass::kApplication; return true;
    case 'c': tagClass = TagClass::kContext; return true;
    case 'p': tagClass = TagClass::kPrivate; return true;
    default: return false;
  }
}

// A path component: the class its letter names, if any, and its tag number, read as a bare
// number always was (strtol's way).
int32_t ReadComponent(std::string_view component, TagClass& tagClass) {
  tagClass = TagClass::kAny;
  if (ComponentClass(component, tagClass)) component.remove_prefix(1);
  return ParseDecimalLong(component);
}

// True when what follows the full stop at `dot` of a line's path (up to its "=" at `equals`) is a
// parameter's name, not a component: it begins neither with a digit nor with a class letter and a
// digit.
bool BeginsParameter(std::string_view line, std::size_t dot, std::size_t equals) {
  TagClass unused = TagClass::kAny;
  return dot + 1 < line.size() && !IsDecimalDigit(line[dot + 1]) &&
         !ComponentClass(line.substr(dot + 1, equals - dot - 1), unused);
}

// A parameter of a tag below depth kMaxDepth, whose path from the branch is path: its messages
// are those of any tag, but of what it sets only a first TagName is kept, in the branch.
void ApplyDeepParameter(TBranch& branch, const std::string& path, int32_t tagId, TagClass tagClass,
                        std::string_view line, std::string_view name, std::string_view value,
                        const ValueTypeNames& types) {
  TItem item(tagId, tagClass);
  const std::string* known = nullptr;
  if (branch.DeepNames) {
    auto found = branch.DeepNames->find(path);
    if (found != branch.DeepNames->end()) known = &found->second;
  }
  if (known != nullptr) item.TagName = *known;
  item.SetParameter(line, name, value, types);
  if (known == nullptr && item.TagName) {
    if (!branch.DeepNames) branch.DeepNames = std::make_unique<std::unordered_map<std::string, std::string>>();
    branch.DeepNames->emplace(path, std::move(*item.TagName));
  }
}

}  // namespace

int TItem::SetParameter(std::string_view line, std::string_view name, std::string_view value,
                        const ValueTypeNames& types) {
  if (name == "TagName") {
    if (TagName) {
      PrintText("Warning: Redefining parameter in Tags.cfg line ", line, "\n");
      CountProblem(Problem::kBadDictionaryLine);
    } else {
      TagName = std::string(value);
      OpensRecord = value == "record";
    }
  } else if (name == "LongTagName") {
    std::string text(value);
    ReplaceEscape(text, 't', '\t');
    ReplaceEscape(text, 'n', '\n');
    LongTagName.emplace(text);
  } else if (name == "Type") {
    if (types.Find(value, Type)) {
      KeepsContents = Type != TagType::None && Type == types.KeepsContents;
      return 0;
    }
    PrintText("Error in Tags.cfg file: Unknown TypeOfTag in line:\n ", line, "\n\n");
    CountProblem(Problem::kBadDictionaryLine);
    return -1;
  } else if (name == "IndArr") {
    IndArr = std::make_unique<TIndValList>(value);
  } else if (name == "NonIndArr") {
    NonIndArr = std::make_unique<TNonIndValList>(value);
  } else if (name == "NamedNumbers") {
    NamedNumbers = std::make_unique<TNamedNumbers>(value, line);
  } else if (name == "Numeric") {
    if (value == "true" || value == "false") {
      Numeric = value == "true";
    } else {
      PrintText("Error in Tags.cfg file: Numeric is not true or false in line:\n ", line, "\n\n");
      CountProblem(Problem::kBadDictionaryLine);
    }
  } else if (name == "Kind") {
    if (value.empty()) {
      Kind.reset();  // the record's path tells its kind, as without the line
    } else {
      Kind = std::string(value);
    }
  } else if (name == "Occurs") {
    const bool digits = !value.empty() && value.size() <= 4 &&
                        value.find_first_not_of("0123456789") == std::string_view::npos;
    const uint32_t occurs = digits ? static_cast<uint32_t>(ParseDecimalLong(value)) : 0;
    if (occurs < 1 || occurs > kMaxOccurs) {
      PrintText("Error in Tags.cfg file: Occurs is not a number from 1 to 1000 in line:\n ", line, "\n\n");
      CountProblem(Problem::kBadDictionaryLine);
    } else {
      Occurs = occurs;
    }
  }
  return 0;
}

void ApplyTagsLine(TBranch& root, std::string_view line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) {
    PrintText("Error when decoding Tags.cfg line:\n ", line, "\n Right format is x.y.z=bla-bla-bla\n\n");
    CountProblem(Problem::kBadDictionaryLine);
    return;
  }
  TBranch* branch = &root;
  TLeaf* previous = nullptr;
  std::string deepPath;  // the path below depth kMaxDepth, once the line goes there
  std::size_t component = 0;
  for (int depth = 0;; ++depth) {
    const std::size_t dot = line.find('.', component);
    if (dot == std::string_view::npos || dot >= equals) return;
    TagClass tagClass = TagClass::kAny;
    const int32_t tagId = ReadComponent(line.substr(component, dot - component), tagClass);
    component = dot + 1;
    if (branch == nullptr) {
      previous->Child = std::make_unique<TBranch>(previous);
      branch = previous->Child.get();
    }
    const bool parameter = BeginsParameter(line, dot, equals);
    const std::string_view name = line.substr(dot + 1, equals - dot - 1);
    if (depth > kMaxDepth) {
      AppendTagComponent(deepPath, tagId, tagClass);
      deepPath.push_back('.');
      if (parameter) {
        ApplyDeepParameter(*branch, deepPath, tagId, tagClass, line.substr(0, equals), name, line.substr(equals + 1),
                           root.Types);
      }
      continue;
    }
    TLeaf* leaf = branch->FindDeclared(tagId, tagClass);
    if (leaf == nullptr) {
      leaf = branch->Append(std::make_unique<TLeaf>(TItem(tagId, tagClass), branch));
      leaf->Serial = root.LeavesDeclared++;
    }
    if (parameter) leaf->Item.SetParameter(line.substr(0, equals), name, line.substr(equals + 1), root.Types);
    branch = leaf->Child.get();
    previous = leaf;
  }
}

int ReadTagsConfig(TBranch& root, const std::string& fileName) {
  const bool read = ReadTextFile(fileName, "Error: can not open TagsConfigFile file",
                                 "Error: memory allocation for TagsConfigFile is not successful",
                                 [&](std::string_view text) { ApplyTagsText(root, text); });
  return read ? 0 : -1;
}

void ApplyTagsText(TBranch& root, std::string_view text) {
  unsigned long lineNumber = 0;
  ForEachLine(text, [&](std::string_view line) {
    ++lineNumber;
    if (IsSkippedLine(line)) return;
    if (line.size() > kMaxLineLength) {
      SayFormatted("Error in Tags.cfg file: line %lu is longer than 2047 characters and is skipped.\n\n",
                   lineNumber);
      CountProblem(Problem::kBadDictionaryLine);
      return;
    }
    ApplyTagsLine(root, line);
  });
}

}  // namespace orvalis
