// The lists of output formats that the README and the manual page give are the table's: the same
// names in the same order (a new row that the docs do not name fails here), and the message of an
// unknown name quoted as the program words it. The options of the command line likewise: each named
// by the usage text, the README and the manual page.
#include "driver/output_formats.h"

#include <gtest/gtest.h>

#include "driver/command_line.h"

#include <fstream>
#include <algorithm>
#include <sstream>
#include <string>

namespace orvalis {
namespace {

// The file's lines joined by blanks; in the manual page a name set in bold (.B, .BR) is written
// in backquotes, as the README writes it. Notes in brackets after a name are left out.
std::string DocumentText(const std::string& relative) {
  std::ifstream in(std::string(ORVALIS_SOURCE_DIR) + "/" + relative, std::ios::binary);
  EXPECT_TRUE(in) << "cannot read " << relative;
  std::string joined;
  for (std::string line; std::getline(in, line);) {
    const std::size_t name = line.rfind(".B ", 0) == 0 ? 3 : line.rfind(".BR ", 0) == 0 ? 4 : 0;
    if (name != 0) {
      const std::size_t blank = std::min(line.find(' ', name), line.size());
      line = "`" + line.substr(name, blank - name) + "`" + line.substr(std::min(blank + 1, line.size()));
    }
    joined += line + ' ';
  }
  for (std::size_t at; (at = joined.find("` (")) != std::string::npos;) {
    joined.erase(at + 1, joined.find(')', at) - at);
  }
  return joined;
}

TEST(OutputFormatLists, TheReadmeAndTheManualPageListTheFormatsOfTheTable) {
  std::string names, last;
  for (const OutputFormatRow& row : NamedOutputFormats()) {
    if (!last.empty()) names += (names.empty() ? "" : ", ") + last;
    last = std::string("`") + row.Name + "`";
  }
  const struct { const char* File; std::string List; } places[] = {
      {"README.md", "| `-x` | the output format: " + names + " or " + last},
      {"README.md", "| `OutputFormat` | " + names + " or " + last},
      {"README.md", "| `-x FORMAT` | " + names + ", " + last + " |"},
      {"docs/orvalis.1", "format The output format: " + names + " or " + last + ","},
      {"docs/orvalis.1", "OutputFormat= format " + names + " or " + last + ";"},
  };
  for (const auto& place : places) {
    EXPECT_NE(DocumentText(place.File).find(place.List), std::string::npos) << place.File << ": " << place.List;
  }
  EXPECT_NE(DocumentText("README.md").find("`Error: unknown output format \"xml\" (-x): use " + OutputFormatNames() + "`"),
            std::string::npos);
}

// Each option's letter and long name, in the usage text (" -i ", "--input"), the README (`-i`,
// `--input`) and the manual page (\-i, \-\-input, \-\-skip\-filler).
TEST(CommandLineOptionLists, TheUsageTextTheReadmeAndTheManualPageNameEveryOption) {
  const std::string usage = UsageText();
  const std::string readme = DocumentText("README.md");
  const std::string manual = DocumentText("docs/orvalis.1");
  for (const OptionNames& option : CommandLineOptions()) {
    if (option.Short != '\0') {
      const std::string letter(1, option.Short);
      EXPECT_NE(usage.find(" -" + letter + " "), std::string::npos) << "usage: -" << letter;
      EXPECT_NE(readme.find("`-" + letter), std::string::npos) << "README: -" << letter;
      EXPECT_NE(manual.find("\\-" + letter), std::string::npos) << "manual page: -" << letter;
    }
    if (option.Long != nullptr) {
      const std::string name = option.Long;
      EXPECT_NE(usage.find("--" + name), std::string::npos) << "usage: --" << name;
      EXPECT_NE(readme.find("`--" + name), std::string::npos) << "README: --" << name;
      std::string written = "\\-\\-";  // the manual page writes every hyphen \-
      for (const char c : name) written += c == '-' ? std::string("\\-") : std::string(1, c);
      EXPECT_NE(manual.find(written), std::string::npos) << "manual page: --" << name;
    }
  }
}

}  // namespace
}  // namespace orvalis
