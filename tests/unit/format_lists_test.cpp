// The lists of output formats that the README and the manual page give agree with the table of
// formats: the same names in the same order, the default and the glosses where a list tells them,
// and the message of an unknown name quoted as the program words it.
#include "driver/output_formats.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace orvalis {
namespace {

std::string ReadSourceFile(const std::string& relative) {
  std::ifstream in(std::string(ORVALIS_SOURCE_DIR) + "/" + relative, std::ios::binary);
  EXPECT_TRUE(in) << "cannot read " << relative;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The lines joined by one space each; with `roff`, a name that .B or .BR sets in bold is written
// `name`, as the README writes it (".BR csv ," gives "`csv`,").
std::string OneLine(const std::string& text, bool roff) {
  std::istringstream lines(text);
  std::string joined;
  for (std::string line; std::getline(lines, line);) {
    if (roff && line.rfind(".B ", 0) == 0) {
      line = "`" + line.substr(3) + "`";
    } else if (roff && line.rfind(".BR ", 0) == 0) {
      const std::size_t blank = line.find(' ', 4);
      line = "`" + line.substr(4, blank - 4) + "`" + (blank == std::string::npos ? "" : line.substr(blank + 1));
    }
    if (!joined.empty()) joined += ' ';
    joined += line;
  }
  return joined;
}

struct Listed {
  std::string Name;
  std::string Note;  // what the brackets after the name hold; empty without them
};

// The list that starts at `at`: "`a` (note), `b` or `c`", names in backquotes, each perhaps with a
// note in brackets, apart by ", " and the last by " or " (or ", " up to what follows no name).
std::vector<Listed> ListAt(const std::string& text, std::size_t at) {
  std::vector<Listed> list;
  for (bool last = false; text.compare(at, 1, "`") == 0;) {
    const std::size_t close = text.find('`', at + 1);
    if (close == std::string::npos) break;
    Listed item{text.substr(at + 1, close - at - 1), ""};
    at = close + 1;
    if (text.compare(at, 2, " (") == 0) {
      const std::size_t end = text.find(')', at);
      item.Note = text.substr(at + 2, end - at - 2);
      at = end + 1;
    }
    list.push_back(item);
    if (last) break;
    if (text.compare(at, 3, ", `") == 0) {
      at += 2;
    } else if (text.compare(at, 5, " or `") == 0) {
      at += 4;
      last = true;
    } else {
      break;
    }
  }
  return list;
}

TEST(OutputFormatLists, TheReadmeAndTheManualPageListTheFormatsOfTheTable) {
  struct Place {
    const char* File;
    const char* Before;  // what comes just before the list
    bool Glosses;        // the list tells each format's gloss
  };
  const Place places[] = {
      {"README.md", "| `-x` | the output format: ", true},
      {"README.md", "| `OutputFormat` | ", false},
      {"README.md", "| `-x FORMAT` | ", false},
      {"docs/orvalis.1", ".BI \"\\-x \" format The output format: ", true},
      {"docs/orvalis.1", ".BI OutputFormat= format ", false},
  };
  for (const Place& place : places) {
    SCOPED_TRACE(std::string(place.File) + ": " + place.Before);
    const std::string text = OneLine(ReadSourceFile(place.File), place.File[0] == 'd');
    const std::size_t before = text.find(place.Before);
    ASSERT_NE(before, std::string::npos);
    const std::vector<Listed> listed = ListAt(text, before + std::string(place.Before).size());
    bool notes = false;
    for (const Listed& item : listed) notes = notes || !item.Note.empty();
    std::size_t i = 0;
    for (const OutputFormatRow& row : NamedOutputFormats()) {
      ASSERT_LT(i, listed.size()) << "no " << row.Name;
      const Listed& item = listed[i++];
      EXPECT_EQ(item.Name, row.Name);
      if (notes) {
        EXPECT_EQ(item.Note.find("default") != std::string::npos, row.Default) << item.Note;
      }
      if (place.Glosses) {
        EXPECT_NE(item.Note.find(row.Gloss), std::string::npos) << item.Note;
      }
    }
    EXPECT_EQ(i, listed.size()) << "more formats than the table's: " << listed.back().Name;
  }
  // The message of an unknown name, as the README quotes it.
  EXPECT_NE(OneLine(ReadSourceFile("README.md"), false)
                .find("`Error: unknown output format \"xml\" (-x): use " + OutputFormatNames() + "`"),
            std::string::npos);
}

}  // namespace
}  // namespace orvalis
