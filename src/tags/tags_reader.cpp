#include "tags/tags_reader.h"

#include <cstdio>
#include <string>

#include "common/console.h"
#include "common/line_splitter.h"
#include "common/text_file.h"
#include "common/text_format.h"

namespace orvalis {
namespace {

constexpr std::string_view kTypeNames[] = {
    "DateTime",  "String",   "Number",           "HexNumber",  "DecNumber",
    "ValFromIndexedArr", "ValFromNonIndexedArr", "Duration", "LineCode", "ReceivedDigits",
};

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

}  // namespace

int TItem::SetParameter(std::string_view line, std::string_view name, std::string_view value) {
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
    for (std::size_t i = 0; i < std::size(kTypeNames); ++i) {
      if (value == kTypeNames[i]) {
        Type = static_cast<TagType>(i + 1);
        return 0;
      }
    }
    PrintText("Error in Tags.cfg file: Unknown TypeOfTag in line:\n ", line, "\n\n");
    CountProblem(Problem::kBadDictionaryLine);
    return -1;
  } else if (name == "IndArr") {
    IndArr = std::make_unique<TIndValList>(value);
  } else if (name == "NonIndArr") {
    NonIndArr = std::make_unique<TNonIndValList>(value);
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
  std::size_t component = 0;
  for (;;) {
    const std::size_t dot = line.find('.', component);
    if (dot == std::string_view::npos || dot >= equals) return;
    const int32_t tagId = ParseDecimalLong(line.substr(component, dot - component));
    TLeaf* leaf = nullptr;
    if (branch == nullptr) {
      previous->Child = std::make_unique<TBranch>(previous);
      branch = previous->Child.get();
    } else {
      leaf = branch->FindById(tagId);
    }
    if (leaf == nullptr) {
      leaf = branch->Append(std::make_unique<TLeaf>(TItem(tagId), branch));
    }
    if (dot + 1 < line.size() && !IsDecimalDigit(line[dot + 1])) {
      leaf->Item.SetParameter(line.substr(0, equals), line.substr(dot + 1, equals - dot - 1),
                               line.substr(equals + 1));
    }
    branch = leaf->Child.get();
    previous = leaf;
    component = dot + 1;
  }
}

int ReadTagsConfig(TBranch& root, const std::string& fileName) {
  std::FILE* file = OpenForReading(fileName);
  if (file == nullptr) {
    PrintErrorForm("Error: can not open TagsConfigFile file");
    return -1;
  }
  std::string text;
  if (!ReadWholeFile(file, text)) {
    PrintErrorForm("Error: memory allocation for TagsConfigFile is not successful");
    std::fclose(file);
    return -1;
  }
  std::fclose(file);
  WarnOfBareLineFeeds(fileName, text);
  ApplyTagsText(root, text);
  return 0;
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
