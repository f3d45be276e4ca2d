// The list of inputs (-l) read line by line: its names, and the faults that refuse it, each found
// as the list is read, at the bounds of a list and on either side of them. The manifest of earlier
// runs that leaves out the inputs converted before.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "driver/converted_inputs.h"
#include "driver/input_list.h"
#include "driver/run_parts.h"

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
// One manifest line: the members that tell an input converted, whatever else the line holds.
// (An end of "not started" or "completed with problems", "input":null and another size: the
// end-to-end cases of SkipConverted.)
#if ORVALIS_THREADS
// How many inputs of a list are converted at once, each holding its image: ListJobs, 0 for one per
// processor (at most 64), never more than the list's inputs.
TEST(InputList, InputsConvertedAtOnce) {
  const uint32_t processors = std::clamp(std::thread::hardware_concurrency(), 1u, kMostListJobs);
  const struct {
    uint32_t ListJobs;
    std::size_t Inputs;
    uint32_t AtOnce;
  } rows[] = {
      {0, 1000, processors}, {0, 1, 1}, {1, 1000, 1}, {5, 3, 3}, {5, 1000, 5}, {64, 1000, 64},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE("ListJobs=" + std::to_string(row.ListJobs) + ", " + std::to_string(row.Inputs) + " inputs");
    RunSettings settings;
    settings.ListJobs = row.ListJobs;
    EXPECT_EQ(ListJobsFor(settings, row.Inputs), row.AtOnce);
  }
}
#endif

TEST(ConvertedInputs, WhatALineTells) {
  struct Row {
    const char* Case;
    std::string Line;
    bool Read;
    std::string Input;
    uint64_t Size;
    bool Named, Sized, Completed;
  };
  const std::vector<Row> rows = {
      {"a line as -m writes it",
       R"({"v":1,"input":"day1.ber","size":61500,"contents":61500,"compression":null,"damages":{"count":0,"firstOffsets":[]},"end":"completed","outside":null})",
       true, "day1.ber", 61500, true, true, true},
      {"an end that only begins like it", R"({"input":"a","size":1,"end":"complete"})", true, "a", 1, true, true, false},
      {"no size", R"({"input":"a","end":"completed"})", true, "a", 0, true, false, true},
      {"the outside fields name other inputs",
       R"({"input":"a","outside":[{"input":"b","size":9,"end":"completed","x":[1,-2.5e3,true,false,null,{}]}],"size":7,"end":"completed"})",
       true, "a", 7, true, true, true},
      {"escapes decoded", R"({"input":"d\"q\\b\/s\u00e9\ud83d\ude00\t","size":3,"end":"completed"})", true,
       "d\"q\\b/s\xC3\xA9\xF0\x9F\x98\x80\t", 3, true, true, true},
      {"a name that is not UTF-8, by its hexadecimal", R"({"input":"caf\u00e9","inputHex":"636166e9","size":2,"end":"completed"})",
       true, "caf\xE9", 2, true, true, true},
      {"the hexadecimal first", R"({"inputHex":"41","input":"B","size":2,"end":"completed"})", true, "A", 2, true, true, true},
      {"spaces between the members", " { \"input\" : \"a\" , \"size\" : 5 , \"end\" : \"completed\" } ", true, "a", 5, true, true, true},
      {"an empty object", "{}", true, "", 0, false, false, false},
      {"the largest size", R"({"input":"a","size":18446744073709551615})", true, "a", UINT64_MAX, true, true, false},
      {"a size past 64 bits", R"({"input":"a","size":18446744073709551616})", false, "", 0, false, false, false},
      {"a size with a fraction", R"({"input":"a","size":5.0})", false, "", 0, false, false, false},
      {"a size with a leading zero", R"({"input":"a","size":05})", false, "", 0, false, false, false},
      {"a negative size", R"({"input":"a","size":-5})", false, "", 0, false, false, false},
      {"not an object", R"(["input","a"])", false, "", 0, false, false, false},
      {"cut short", R"({"input":"a","size":5,"end":"compl)", false, "", 0, false, false, false},
      {"text after the object", R"({"input":"a","size":5} x)", false, "", 0, false, false, false},
      {"a control character in a string", "{\"input\":\"a\tb\",\"size\":1}", false, "", 0, false, false, false},
      {"an unknown escape", R"({"input":"a\qb","size":1})", false, "", 0, false, false, false},
      {"a lone surrogate", R"({"input":"\ud83d","size":1})", false, "", 0, false, false, false},
      {"hexadecimal of odd length", R"({"inputHex":"414","size":1})", false, "", 0, false, false, false},
      {"nesting without bound", std::string(R"({"outside":)") + std::string(100, '[') + std::string(100, ']') + "}", false, "", 0,
       false, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Case);
    ConvertedLine read;
    ASSERT_EQ(ReadConvertedLine(row.Line, read), row.Read);
    if (!row.Read) continue;
    EXPECT_EQ(read.Input, row.Input);
    EXPECT_EQ(read.Size, row.Size);
    EXPECT_EQ(read.Named, row.Named);
    EXPECT_EQ(read.Sized, row.Sized);
    EXPECT_EQ(read.Completed, row.Completed);
  }
}

// The inputs left out: the same name byte for byte, the same size, completed; lines read one at
// a time up to their bound.
TEST(ConvertedInputs, WhichInputsAreLeftOut) {
  const std::vector<std::string> names = {"a.ber", "b.ber", "c.ber", "./a.ber", "p"};
  const std::vector<int64_t> sizes = {10, 20, 30, 10, -1};
  const std::string a = R"({"input":"a.ber","size":10,"end":"completed"})";
  struct Row {
    const char* Case;
    std::string Text;
    ConvertedRead Read;
    std::vector<bool> Converted;
    std::size_t Line;
  };
  const std::string longLine = "{\"x\":\"" + std::string(kMaxConvertedLine - 8, 'x') + "\"}";
  const std::vector<Row> rows = {
      {"one converted, not its other name", a + "\n", ConvertedRead::kRead, {true, false, false, false, false}, 1},
      {"not completed, then completed in a later line",
       R"({"input":"b.ber","size":20,"end":"not started"})"
       "\n\n  \r\n"
       R"({"input":"b.ber","size":20,"end":"completed with problems"})"
       "\r\n",
       ConvertedRead::kRead, {false, true, false, false, false}, 4},
      {"a last line without its line feed", "\n" + a, ConvertedRead::kRead, {true, false, false, false, false}, 2},
      {"what is not a regular file is never left out",
       R"({"input":"p","size":0,"end":"completed"})"
       "\n",
       ConvertedRead::kRead, {false, false, false, false, false}, 1},
      {"a line that is not a manifest line", a + "\n{\"input\":\n" + a + "\n", ConvertedRead::kBadLine, {true, false, false, false, false}, 2},
      {"a line at its bound", longLine + "\n" + a + "\n", ConvertedRead::kRead, {true, false, false, false, false}, 2},
      {"a line past its bound", a + "\n" + longLine + "xx\n", ConvertedRead::kLongLine, {true, false, false, false, false}, 2},
  };
  ASSERT_EQ(longLine.size(), kMaxConvertedLine);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Case);
    File file = StreamOf(row.Text);
    ASSERT_TRUE(file);
    std::vector<bool> converted;
    std::size_t line = 0;
    EXPECT_EQ(FindConvertedInputs(file.get(), names, sizes, converted, line), row.Read);
    EXPECT_EQ(line, row.Line);
    if (row.Read == ConvertedRead::kRead) {
      EXPECT_EQ(converted, row.Converted);
    }
  }
}

}  // namespace orvalis::test
