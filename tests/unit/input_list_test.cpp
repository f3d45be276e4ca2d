// The list of inputs (-l) read line by line: its names, and the faults that refuse it, each found
// as the list is read, at the bounds of a list and on either side of them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "driver/input_list.h"

namespace orvalis::test {
namespace {

using namespace std::string_literals;

struct CloseFile {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, CloseFile>;

// A stream that holds `text`, read from its start.
File StreamOf(const std::string& text) {
  File file(std::tmpfile());
  if (file) {
    std::fwrite(text.data(), 1, text.size(), file.get());
    std::rewind(file.get());
  }
  return file;
}

// A list that fills `octets` with names of 255 characters as far as they are allowed, then line
// feeds, then `last`.
std::string FullList(uint64_t octets, const std::string& last) {
  const std::string line = std::string(255, 'n') + "\r\n";
  std::string text;
  for (std::size_t i = 0; i + 1 < kMaxListedNames; ++i) text += line;
  text.resize(octets - last.size(), '\n');
  return text + last;
}

// `count` lines "f1\n", "f2\n", ...
std::string NumberedLines(std::size_t count) {
  std::string text;
  for (std::size_t i = 1; i <= count; ++i) text += "f" + std::to_string(i) + "\n";
  return text;
}

struct ListRow {
  const char* Case;
  std::string Text;
  ListRead Expected;
  std::size_t Line;      // of a long name or a NUL octet; 0: not checked
  std::size_t Names;     // the names read (before the fault)
  std::string LastName;  // the last of them; empty: not checked
};

TEST(InputList, NamesAndFaults) {
  const std::string name255(255, 'n');
  const std::vector<ListRow> rows = {
      // Lines and their ends.
      {"LF and CR LF, empty lines skipped", "a\r\n\nb\n\r\nc", ListRead::kRead, 0, 3, "c"},
      {"a last line ending in CR", "a\nb\r", ListRead::kRead, 0, 2, "b"},
      {"a CR inside a name stays", "a\rb\n", ListRead::kRead, 0, 1, "a\rb"},
      {"nothing", "", ListRead::kRead, 0, 0, ""},
      // Names of 255 characters and more, the CR of a line end not counted.
      {"255 characters and CR LF", name255 + "\r\n", ListRead::kRead, 0, 1, name255},
      {"255 characters, no line end", name255, ListRead::kRead, 0, 1, name255},
      {"256 characters", "a\n" + name255 + "x\nb\n", ListRead::kLongName, 2, 1, "a"},
      {"256 characters and CR", "a\n\n" + name255 + "x\r\n", ListRead::kLongName, 3, 1, "a"},
      {"256 characters at the end", "a\n" + name255 + "x", ListRead::kLongName, 2, 1, "a"},
      {"a megabyte without a line end", std::string(1 << 20, 'n'), ListRead::kLongName, 1, 0, ""},
      // NUL octets: find -print0, a line of a list, a list of /dev/zero.
      {"find -print0", "./a.ber\0./b.ber\0"s, ListRead::kNulOctet, 1, 0, ""},
      {"NUL on the third line", "a\n\nb\0c\nd\n"s, ListRead::kNulOctet, 3, 1, "a"},
      {"NUL alone ends a list", "a\nb\n\0"s, ListRead::kNulOctet, 3, 2, "b"},
      {"zeros past the first block", "a\n" + std::string(3 << 16, '\0'), ListRead::kNulOctet, 2, 1, "a"},
      // The bounds: names, then octets.
      {"as many names as a list holds", NumberedLines(kMaxListedNames), ListRead::kRead, 0, kMaxListedNames,
       "f100000"},
      {"one name more", NumberedLines(kMaxListedNames + 1), ListRead::kTooManyNames, 0, kMaxListedNames, "f100000"},
      {"one name more after empty lines", NumberedLines(kMaxListedNames) + "\n\n\r\nlast", ListRead::kTooManyNames,
       0, kMaxListedNames, ""},
      {"as many octets as a list holds", FullList(kMaxListOctets, "a\n"), ListRead::kRead, 0, kMaxListedNames, "a"},
      {"one octet more", FullList(kMaxListOctets + 1, "a\nb"), ListRead::kTooLarge, 0, kMaxListedNames, "a"},
      {"a name cut by the octets' bound", FullList(kMaxListOctets + 2, "ab\n"), ListRead::kTooLarge, 0,
       kMaxListedNames - 1, ""},
  };
  for (const ListRow& row : rows) {
    SCOPED_TRACE(row.Case);
    File list = StreamOf(row.Text);
    ASSERT_TRUE(list);
    std::vector<std::string> names;
    std::size_t line = 0;
    EXPECT_EQ(ReadInputList(list.get(), names, line), row.Expected);
    if (row.Line != 0) {
      EXPECT_EQ(line, row.Line);
    }
    EXPECT_EQ(names.size(), row.Names);
    if (!row.LastName.empty() && !names.empty()) {
      EXPECT_EQ(names.back(), row.LastName);
    }
  }
}

// A fault stops the reading where it is found: a list of zeros, or of names without end, is not
// read further than the block that shows it.
TEST(InputList, StopsReadingAtItsFirstFault) {
  const struct {
    const char* Case;
    std::string Text;
  } rows[] = {
      {"zeros", std::string(8 << 20, '\0')},
      {"one long line", std::string(8 << 20, 'n')},
      {"names without end", NumberedLines(kMaxListedNames + 400000)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Case);
    File list = StreamOf(row.Text);
    ASSERT_TRUE(list);
    std::vector<std::string> names;
    std::size_t line = 0;
    EXPECT_NE(ReadInputList(list.get(), names, line), ListRead::kRead);
    const long read = std::ftell(list.get());
    EXPECT_LT(read, static_cast<long>(row.Text.size() / 2)) << read;
  }
}

}  // namespace
}  // namespace orvalis::test
