// The record formats: JSON string escaping and CSV quoting, octet by octet and at the edges of
// the eight-octet words that are copied whole, and the mapping of octets above 0x7F that must give
// every octet back; a long value's text made in chunks; dictionary texts, which are copied whole when they need neither, in a row whose
// cells come out of column order; each type's values at their edges, and a repeated constructed
// field in CSV; the damage marker that a walk which resynchronises hands to the writers.
#include "decode/writers/record_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "decode/types/value_types.h"
#include "decode/writers/long_values.h"
#include "decode/writers/csv_writer.h"
#include "decode/writers/table_definition.h"
#include "walk_fixture.h"

namespace orvalis {
namespace {

std::string Json(std::string_view octets) {
  TextBuffer out;
  AppendJsonString(out, octets);
  return std::string(out.view());
}

std::string Csv(std::string_view octets) {
  TextBuffer out;
  AppendCsvField(out, octets);
  return std::string(out.view());
}

// Reads a JSON string back to octets: the escapes the writer uses, and UTF-8 characters below
// U+0100 back to one octet each. Returns "?" for anything else.
std::string ReadJsonBack(const std::string& json) {
  std::string octets;
  for (std::size_t i = 1; i + 1 < json.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(json[i]);
    if (c == '\\') {
      const char e = json[++i];
      const std::string simple = "\"\\/bfnrt";
      const std::string meant = "\"\\/\b\f\n\r\t";
      if (e == 'u') {
        octets.push_back(static_cast<char>(std::stoi(json.substr(i + 1, 4), nullptr, 16)));
        i += 4;
      } else if (simple.find(e) != std::string::npos) {
        octets.push_back(meant[simple.find(e)]);
      } else {
        return "?";
      }
    } else if (c >= 0xC2 && c <= 0xC3) {
      octets.push_back(static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(json[++i]) & 0x3F)));
    } else if (c < 0x20 || c >= 0x80 || c == '"') {
      return "?";
    } else {
      octets.push_back(static_cast<char>(c));
    }
  }
  return octets;
}

TEST(AppendJsonString, EscapesWhatJsonRequiresAndMapsHighOctetsToUtf8) {
  struct Row { std::string octets; std::string json; };
  const Row rows[] = {
      {"", "\"\""},
      {"NORTHGATE-S12", "\"NORTHGATE-S12\""},
      {"a\"b\\c/", "\"a\\\"b\\\\c/\""},
      {std::string("\x00\x01\x08\x09\x0A\x0B\x0C\x0D\x1F\x7F", 10), "\"\\u0000\\u0001\\b\\t\\n\\u000b\\f\\r\\u001f\x7F\""},
      {"\xE9\x80\xFF", "\"\xC3\xA9\xC2\x80\xC3\xBF\""},
      // a quotation mark in the last octet of a word copied whole, and one right after it
      {"1234567\"89abcdef\"", "\"1234567\\\"89abcdef\\\"\""},
      {"12345678\xFF", "\"12345678\xC3\xBF\""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.json);
    EXPECT_EQ(Json(row.octets), row.json);
  }
}

TEST(AppendJsonString, EveryOctetComesBackAtEveryPlaceInAWord) {
  for (int octet = 0; octet < 256; ++octet) {
    for (std::size_t before = 0; before < 9; ++before) {
      const std::string octets = std::string(before, 'x') + static_cast<char>(octet) + "tail of the text";
      SCOPED_TRACE(octet);
      EXPECT_EQ(ReadJsonBack(Json(octets)), octets);
    }
  }
  const std::string longText(10000, '\xE4');  // longer than a piece: pieces join seamlessly
  EXPECT_EQ(ReadJsonBack(Json(longText)), longText);
}

TEST(AppendCsvField, QuotesByRfc4180AndMapsHighOctetsToUtf8) {
  struct Row { std::string octets; std::string field; };
  const Row rows[] = {
      {"", ""},
      {"plain text of more than eight", "plain text of more than eight"},
      {"Normal, unspecified", "\"Normal, unspecified\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"e\nf", "\"e\nf\""},
      {"e\rf", "\"e\rf\""},
      {"caf\xE9", "caf\xC3\xA9"},
      {"12345678,", "\"12345678,\""},
      {std::string("a\x00\x01", 3), std::string("a\x00\x01", 3)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.field);
    EXPECT_EQ(Csv(row.octets), row.field);
  }
}

// Mnemonic texts from the dictionary: a plain one (copied whole, up to and beyond the padding it
// is read with), one that must be escaped or quoted, one with an octet above 0x7F; each record's
// string comes before the mnemonic but its column after, and is long enough to need several moves.
// A long value's text is made in chunks and handed on between them: in every format it is the
// text that the writers' own functions make of the whole value, whatever the output's block size,
// and the filter finds its text across the chunks' edges (or drops the record).
TEST(LongValue, ChunksMakeTheTextOfTheWholeValue) {
  test::Bytes value(kLongValue + 2 * kLongValueChunk + 5);
  for (std::size_t i = 0; i < value.size(); ++i) value[i] = static_cast<uint8_t>(i % 251 == 0 ? '"' : 1 + i * 7 % 254);
  value[kLongValueChunk - 1] = ',';
  value[0] = 0x83;  // as received digits: an odd count, a national number
  const std::string octets(value.begin(), value.end());
  TextBuffer hex;
  AppendHex(hex, value.data(), value.size());
  const std::string hexText(hex.view());
  TextBuffer csvText;
  AppendCsvField(csvText, octets);
  // Across the first chunks' edge, in the hexadecimal text and in the octets.
  const std::string atEdge = hexText.substr(2 * kLongValueChunk - 3, 6);
  const std::string octetsAtEdge = octets.substr(kLongValueChunk - 2, 4);
  struct Row {
    const char* Format;
    const char* Type;
    const char* Filter;  // the value's filter text, or null
    std::string Expected;
  };
  std::string digits;  // as received digits, the last one left out
  for (std::size_t i = 1; i < value.size(); ++i) digits.append(kAddressDigitPairs.Text + 2 * value[i], 2);
  digits.pop_back();
  const std::string line = "{\"v\":1,\"record\":1,\"offset\":0,\"path\":\"1\",\"fields\":{\"value\":";
  test::Bytes withNul = value;  // the value of the rows that come last
  withNul[2046] = 0;
  TextBuffer nulHexText;
  AppendHex(nulHexText, withNul.data(), withNul.size());
  const std::string nulHex(nulHexText.view());
  const Row rows[] = {
      {"text", "HexNumber", nullptr, "Record 1\nValue: " + hexText + "\n"},
      {"text", "HexNumber", atEdge.c_str(), "Record 1\nValue: " + hexText + "\n"},
      {"text", "HexNumber", "not in it", ""},
      {"text", "String", nullptr, "Record 1\nValue: "},  // a piece too long: refused
      {"text", "String", octetsAtEdge.c_str(), "Record 1\nValue: "},
      {"text", "String", atEdge.c_str(), ""},
      {"jsonl", "HexNumber", nullptr, line + "\"" + hexText + "\"}}\n"},
      {"jsonl", "String", nullptr, line + Json(octets) + "}}\n"},
      {"jsonl", "String", atEdge.c_str(), ""},
      {"csv", "HexNumber", nullptr, "record,value,errors\r\n1," + hexText + ",\r\n"},
      {"csv", "String", nullptr, "record,value,errors\r\n1," + std::string(csvText.view()) + ",\r\n"},
      {"csv", "DecNumber", nullptr,
       "record,value,errors\r\n1,,value: length of DecNumber type tag is more than 2 bytes; octets " + hexText + "\r\n"},
      {"csv", "ReceivedDigits", nullptr,
       "record,value.nature,value.natureCode,value.digits,errors\r\n1,national (significant) number,3," + digits +
           ",\r\n"},
      // A text of 2046 octets before a NUL: the longest piece, not refused; in JSON Lines the text,
      // then every octet in hexadecimal under the key with "_hex" added.
      {"text", "String", nullptr, "Record 1\nValue: " + octets.substr(0, 2046) + "\n"},
      {"jsonl", "String", nullptr, line + Json(octets.substr(0, 2046)) + ",\"value_hex\":\"" + nulHex + "\"}}\n"},
  };
  for (const Row& row : rows) {
    for (std::size_t blockSize : {std::size_t{1000}, kOutputBlockSize}) {
      SCOPED_TRACE(std::string(row.Type) + " " + row.Format + " " +
                   (row.Filter ? "filter" : "-") + " blocks of " + std::to_string(blockSize));
      auto root = test::BuildDictionary({"1.TagName=record", "1.LongTagName=Record", "1.1.TagName=value",
                                         "1.1.LongTagName=Value: ", std::string("1.1.Type=") + row.Type});
      WalkSettings settings;
      settings.Format = row.Format;
      if (row.Filter != nullptr) {
        bool found = false;
        SetFilter(*root, "value", row.Filter, found);
        settings.FilterCount = 1;
      }
      const bool nul = &row >= &rows[std::size(rows) - 2];
      const test::Bytes input = test::Tlv({0xA1}, test::Tlv({0x81}, nul ? withNul : value));
      const std::string output = test::RunWalk(*root, input, settings, blockSize).Output;
      EXPECT_TRUE(output == row.Expected) << "output of " << output.size() << " octets, not " << row.Expected.size();
    }
  }
}

// A row's errors cell tells of a hundred values that could not be decoded and counts the others,
// so that a record of endless bad values takes no endless memory.
TEST(RecordWriters, TellOfAHundredErrorsInARowAndCountTheRest) {
  auto root = test::BuildDictionary({"1.TagName=record", "1.LongTagName=Record", "1.0.TagName=kind",
                                     "1.0.Type=DecNumber", "1.0.Occurs=1000"});
  test::Bytes values;
  for (int i = 0; i < 102; ++i) values = test::Cat({values, test::Tlv({0x80}, {0x01, 0x02, 0x03})});
  WalkSettings settings;
  settings.Format = "csv";
  const std::string output = test::RunWalk(*root, test::Tlv({0xA1}, values), settings).Output;
  const std::string told = ": length of DecNumber type tag is more than 2 bytes; octets 010203";  // kind, kind#2 ...
  std::size_t count = 0;
  for (std::size_t at = output.find(told); at != std::string::npos; at = output.find(told, at + 1)) ++count;
  EXPECT_EQ(count, 100u);
  const std::string tail = "kind#100: length of DecNumber type tag is more than 2 bytes; octets 010203 | 2 more values "
                           "that cannot be decoded\r\n";
  ASSERT_GT(output.size(), tail.size());
  EXPECT_EQ(output.substr(output.size() - tail.size()), tail);
}

// Column names as SQL takes them unquoted.
TEST(CsvLayout, SqlColumnNames) {
  const std::string longName(70, 'a');
  const std::pair<std::string_view, std::string> rows[] = {
      {"callingNumber.digits", "calling_number_digits"},
      {"startTime", "start_time"},
      {"zipZone9", "zip_zone9"},  // the last letters and digit of each kind
      {"IMSI", "imsi"},
      {"callIMSIvalue", "call_imsivalue"},  // a run of capitals is one word
      {"supplementaryService.serviceCode#4.code", "supplementary_service_service_code_4_code"},
      {"a..#b", "a_b"},
      {"_x.", "_x_"},
      {"caf\xC3\xA9", "caf_"},
      {"9lives", "c_9lives"},
      {"", "c_"},
      {"offset", "offset_"},
      {"User", "user_"},
      {"users", "users"},
      {"transaction", "transaction_"},  // SQLite refuses it unquoted
      {"time", "time_"},                // PostgreSQL takes it for columns only
      {"name", "name"},                 // PostgreSQL takes it as any name, SQLite knows no such word
      {longName, std::string(63, 'a')},
  };
  for (const auto& [name, sql] : rows) EXPECT_EQ(SqlColumnName(name), sql) << name;
}

// Fields of one name share columns only when all their parts agree (a duration and a mnemonic
// do not: the later one's values have no column); a column of fields of different types is text.
TEST(CsvLayout, SharedNamesAndTheirTypes) {
  auto root = test::BuildDictionary({"1.TagName=record", "1.LongTagName=Record", "1.0.TagName=time",
                                     "1.0.Type=Duration", "1.1.TagName=count", "1.1.Type=DecNumber",
                                     "2.TagName=record", "2.LongTagName=Record", "2.0.TagName=time",
                                     "2.0.Type=ValFromIndexedArr", "2.1.TagName=count", "2.1.Type=HexNumber"});
  CsvLayout layout;
  std::string problem;
  ASSERT_TRUE(MakeCsvLayout(*root, false, layout, problem));
  EXPECT_EQ(CsvHeader(layout), "record,time.text,time.seconds,count,errors\r\n");
  const std::vector<ColumnType> types = {ColumnType::kInteger, ColumnType::kText, ColumnType::kSeconds,
                                         ColumnType::kText, ColumnType::kText};
  EXPECT_EQ(layout.Types, types);
  WalkSettings settings;
  settings.Format = "csv";
  const test::WalkResult result =
      test::RunWalk(*root, test::Tlv({0x62}, test::Cat({test::Tlv({0x80}, {0x01}), test::Tlv({0x81}, {0x0A})})), settings);
  EXPECT_EQ(result.Output, "record,time.text,time.seconds,count,errors\r\n1,,,0A,\r\n");
  EXPECT_EQ(result.Counts.ValuesWithoutColumn, 1u);
}

// A column chosen again is written again, however long the row grows (its room is reckoned
// cell by cell, not from the row's own text).
TEST(CsvLayout, AColumnChosenManyTimesIsWrittenEachTime) {
  auto root = test::BuildDictionary({"1.TagName=record", "1.LongTagName=Record", "1.0.TagName=name",
                                     "1.0.Type=String"});
  static std::shared_ptr<CsvLayout> layout;  // for the walk's maker, which takes nothing along
  layout = std::make_shared<CsvLayout>();
  std::string problem, unknown, columns = "record";
  ASSERT_TRUE(MakeCsvLayout(*root, false, *layout, problem));
  for (int i = 0; i < 4000; ++i) columns += ",name";
  ASSERT_TRUE(ChooseCsvColumns(*layout, columns, unknown));
  const std::string name(40, 'n');
  const test::Bytes input = test::Tlv({0xA1}, test::Tlv({0x80}, test::Bytes(name.begin(), name.end())));
  WalkSettings settings;
  settings.Format = "csv";
  const test::WalkResult result = test::RunWalk(*root, input, settings, kOutputBlockSize, 0, nullptr,
                                                [](WalkContext& walk) { return CsvWalk(walk, layout); });
  std::string expected = "record", row = "1";
  for (int i = 0; i < 4000; ++i) {
    expected += ",name";
    row += "," + name;
  }
  EXPECT_TRUE(result.Output == expected + "\r\n" + row + "\r\n") << result.Output.size() << " octets";
}

// The values without a column, told by field: the field's TagName, every path whose columns its
// values would share (in the dictionary's order), and the remedy: Occurs for the paths below the
// highest occurrence met, the outermost field whose occurrence lies beyond its Occurs for values
// within it, a TagName of its own for a path whose name the columns of a value of other parts
// took, the new columns to Columns when Columns names the field's. The counts by field add up to
// the summary's.
TEST(CsvLayout, FieldsWithoutColumnTellTheirPathsAndRemedy) {
  using test::Cat;
  using test::Tlv;
  const auto code = [](uint8_t value) { return Tlv({0x84}, {value}); };
  const auto codes = [&](int count) {
    test::Bytes all;
    for (int k = 0; k < count; ++k) all = Cat({all, code(static_cast<uint8_t>(k))});
    return all;
  };
  const auto group = [](char name) { return Tlv({0x80}, {static_cast<uint8_t>(name)}); };
  struct Row {
    const char* what;
    std::vector<std::string_view> lines;
    test::Bytes input;
    std::string columns;
    std::string told;  // a line per field: "FIELD (PATHS): VALUES@UPTO: REMEDY"
  };
  const std::vector<std::string_view> records = {"1.TagName=record", "1.LongTagName=Record", "2.TagName=block",
                                                 "2.LongTagName=Block", "2.1.TagName=record", "2.1.LongTagName=Record",
                                                 "3.TagName=record", "3.LongTagName=Record"};
  const auto with = [&](std::vector<std::string_view> more) {
    more.insert(more.begin(), records.begin(), records.end());
    return more;
  };
  const Row rows[] = {
      {"three paths (and one of the name outside records)",
       with({"1.4.TagName=code", "1.4.Type=DecNumber", "2.1.4.TagName=code", "2.1.4.Type=DecNumber",
             "3.4.TagName=code", "3.4.Type=DecNumber", "4.TagName=code", "4.0.TagName=inner", "4.0.Type=DecNumber"}),
       Cat({Tlv({0xA1}, codes(2)), Tlv({0xA3}, codes(3))}), "",
       "code (1.4, 2.1.4, 3.4): 3@3: add 1.4.Occurs=3, 2.1.4.Occurs=3 and 3.4.Occurs=3\n"},
      {"a path whose Occurs gives the occurrences already",
       with({"1.4.TagName=code", "1.4.Type=DecNumber", "2.1.4.TagName=code", "2.1.4.Type=DecNumber", "2.1.4.Occurs=3"}),
       Tlv({0xA1}, codes(3)), "", "code (1.4, 2.1.4): 2@3: add 1.4.Occurs=3\n"},
      {"one TagName in two holders: two fields",
       with({"1.5.TagName=trunk", "1.5.0.TagName=group", "1.5.0.Type=String", "1.6.TagName=line",
             "1.6.0.TagName=group", "1.6.0.Type=String"}),
       Tlv({0xA1}, Cat({Tlv({0xA5}, Cat({group('A'), group('B')})), Tlv({0xA6}, Cat({group('C'), group('D')}))})), "",
       "group (1.5.0): 1@2: add 1.5.0.Occurs=2\ngroup (1.6.0): 1@2: add 1.6.0.Occurs=2\n"},
      {"the outermost occurrence beyond Occurs",
       with({"1.5.TagName=trunk", "1.5.0.TagName=group", "1.5.0.Type=String", "1.5.1.TagName=sub",
             "1.5.1.0.TagName=x", "1.5.1.0.Type=DecNumber"}),
       Tlv({0xA1}, Cat({Tlv({0xA5}, Cat({group('A'), group('B')})),
                        Tlv({0xA5}, Cat({group('C'), group('D'), Tlv({0xA1}, Tlv({0x80}, {1}))}))})),
       "", "trunk (1.5): 3@2: add 1.5.Occurs=2\ngroup (1.5.0): 1@2: add 1.5.0.Occurs=2\n"},
      {"a name taken by a value of other parts",
       with({"1.4.TagName=code", "1.4.Type=DecNumber", "2.1.4.TagName=code", "2.1.4.Type=Number", "3.4.TagName=code",
             "3.4.Type=Number"}),
       Cat({Tlv({0xA2}, Tlv({0xA1}, Tlv({0x84}, {0x01, 0x10, 0x21}))), Tlv({0xA3}, Tlv({0x84}, {0x01, 0x10, 0x21}))}),
       "",
       "code (2.1.4, 3.4): 2@1: the columns of that name hold a value of other parts: give 2.1.4 and 3.4 TagNames "
       "of their own\n"},
      {"as many occurrences as Occurs can give", with({"1.4.TagName=code", "1.4.Type=DecNumber"}),
       Tlv({0xA1}, codes(1000)), "", "code (1.4): 999@1000: add 1.4.Occurs=1000\n"},
      {"more occurrences than Occurs can give", with({"1.4.TagName=code", "1.4.Type=DecNumber"}),
       Tlv({0xA1}, codes(1001)), "", "code (1.4): 1000@1001: Occurs gives columns to 1000 occurrences at most\n"},
      // Columns names a column of code, of trunk's group (in trunk's second occurrence) and extra,
      // which comes right after kind, and none of kind's nor of service's (whose first element
      // is no field).
      {"Columns names the field's columns",
       with({"1.4.TagName=code", "1.4.Type=DecNumber", "1.5.TagName=trunk", "1.5.Occurs=2", "1.5.0.TagName=group",
             "1.5.0.Type=String", "1.6.TagName=kind", "1.6.Type=DecNumber", "1.7.TagName=extra", "1.7.Type=DecNumber",
             "1.8.TagName=service", "1.8.0.Type=DecNumber", "1.8.1.TagName=x", "1.8.1.Type=DecNumber"}),
       Tlv({0xA1}, Cat({codes(2), Tlv({0xA5}, Cat({group('A'), group('B')})), Tlv({0x86}, {1}), Tlv({0x86}, {2}),
                        Tlv({0xA8}, Tlv({0x81}, {1})), Tlv({0xA8}, Tlv({0x81}, {2}))})),
       "record,code,trunk#2.group,extra",
       "code (1.4): 1@2: add 1.4.Occurs=2, and their new columns to Columns\n"
       "group (1.5.0): 1@2: add 1.5.0.Occurs=2, and their new columns to Columns\n"
       "kind (1.6): 1@2: add 1.6.Occurs=2\nservice (1.8): 1@2: add 1.8.Occurs=2\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    auto root = test::BuildDictionary({});
    for (std::string_view line : row.lines) ApplyTagsLine(*root, line);
    static std::shared_ptr<CsvLayout> layout;  // for the walk's maker, which takes nothing along
    layout = std::make_shared<CsvLayout>();
    std::string problem, unknown;
    ASSERT_TRUE(MakeCsvLayout(*root, false, *layout, problem)) << problem;
    ASSERT_TRUE(ChooseCsvColumns(*layout, row.columns, unknown)) << unknown;
    WalkSettings settings;
    settings.Format = "csv";
    const test::WalkResult result = test::RunWalk(*root, row.input, settings, kOutputBlockSize, 0, nullptr,
                                                  [](WalkContext& walk) { return CsvWalk(walk, layout); });
    std::string told;
    uint64_t values = 0;
    for (const FieldWithoutColumn& field : FieldsWithoutColumn(*root, *layout, result.FieldsWithoutColumn)) {
      std::string paths;
      for (const std::string& path : field.Paths) paths += (paths.empty() ? "" : ", ") + path;
      told += field.Field + " (" + paths + "): " + std::to_string(field.Values) + "@" +
              std::to_string(field.UpToOccurrence) + ": " + field.Remedy + "\n";
      values += field.Values;
    }
    EXPECT_EQ(told, row.told);
    EXPECT_EQ(values, result.Counts.ValuesWithoutColumn);
  }
}

// What a database would not take is refused for the definition.
TEST(TableDefinition, RefusesWhatADatabaseWouldNotTake) {
  CsvLayout layout;
  const auto columns = [&](std::size_t count, std::size_t nameLength) {
    layout = CsvLayout();
    for (std::size_t column = 0; column < count; ++column) {
      layout.Headers.push_back(std::string(nameLength, 'c') + std::to_string(column));
      layout.Types.push_back(ColumnType::kText);
      layout.Chosen.push_back(static_cast<uint32_t>(column));
    }
  };
  struct Row { std::size_t count, nameLength; SqlDialect dialect; bool taken; };
  const Row rows[] = {
      {1600, 1, SqlDialect::kPostgreSql, true},  {1601, 1, SqlDialect::kPostgreSql, false},
      {1601, 1, SqlDialect::kSqlite, false},     {2, 62, SqlDialect::kPostgreSql, true},
      {2, 63, SqlDialect::kPostgreSql, false},   {2, 63, SqlDialect::kSqlite, true},
  };
  for (const Row& row : rows) {
    columns(row.count, row.nameLength);
    std::string text, problem;
    EXPECT_EQ(TableDefinition(layout, row.dialect, "records", text, problem), row.taken)
        << row.count << " columns of " << row.nameLength << "+ octets: " << problem;
  }
  columns(2, 1);
  layout.Chosen.push_back(0);
  std::string text, problem;
  EXPECT_FALSE(TableDefinition(layout, SqlDialect::kSqlite, "records", text, problem));
  EXPECT_EQ(problem, "the CSV has two columns named \"c0\", which a table cannot have");
}

}  // namespace
}  // namespace orvalis
