#include "common/text_format.h"

#include <gtest/gtest.h>

#include "common/line_splitter.h"

#include <string>
#include <vector>

namespace orvalis {
namespace {

TEST(ParseDecimalLong, ReadsLikeTheCLibraryAndClampsTo32Bits) {
  struct Row { const char* text; int32_t value; };
  const Row rows[] = {
      {"5", 5},           {"12abc", 12},        {" \t\n+7", 7},      {"-1", -1},
      {"", 0},            {"abc", 0},           {"- 5", 0},          {"2147483647", INT32_MAX},
      {"2147483648", INT32_MAX},                {"-2147483649", INT32_MIN},
      {"99999999999999999999999999", INT32_MAX}, {"5\n9", 5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(ParseDecimalLong(row.text), row.value);
  }
}

TEST(ForEachLine, SplitsOnlyAtCarriageReturnLineFeed) {
  std::vector<std::string> lines;
  ForEachLine("a\r\n\r\nb\nc\rd\r\ne", [&](std::string_view line) { lines.emplace_back(line); });
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "", "b\nc\rd", "e"}));
  lines.clear();
  ForEachLine("x\r\n", [&](std::string_view line) { lines.emplace_back(line); });
  EXPECT_EQ(lines, (std::vector<std::string>{"x"}));
  lines.clear();
  ForEachLine("", [&](std::string_view line) { lines.emplace_back(line); });
  EXPECT_TRUE(lines.empty());
}

TEST(AppendZeroPadded, PadsToWidthAndKeepsLongerNumbers) {
  std::string text;
  AppendZeroPadded(text, 0, 10);
  text.push_back('|');
  AppendZeroPadded(text, 4294967295u, 10);
  text.push_back('|');
  AppendZeroPadded(text, 11930, 2);
  EXPECT_EQ(text, "0000000000|4294967295|11930");
}

}  // namespace
}  // namespace orvalis
