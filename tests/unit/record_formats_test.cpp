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

TEST(RecordWriters, WriteDictionaryTextsAsAnyTextInColumnOrder) {
  const std::string longText(40, 'x');
  const std::string indArr = "1.0.IndArr=plain,Say \"hi\",caf\xE9," + longText;
  auto root = test::BuildDictionary({"1.TagName=record", "1.LongTagName=Record", "1.0.TagName=kind",
                                     "1.0.Type=ValFromIndexedArr", indArr, "1.1.TagName=note", "1.1.Type=String"});
  const std::string note = "a note of thirty-five characters...";
  test::Bytes input;
  for (uint8_t code = 0; code < 4; ++code) {
    input = test::Cat({input, test::Tlv({0xA1}, test::Cat({test::Tlv({0x81}, test::Bytes(note.begin(), note.end())),
                                                           test::Tlv({0x80}, {code})}))});
  }
  const std::string texts[4][2] = {  // in JSON, in CSV
      {"\"plain\"", "plain"},
      {"\"Say \\\"hi\\\"\"", "\"Say \"\"hi\"\"\""},
      {"\"caf\xC3\xA9\"", "caf\xC3\xA9"},
      {"\"" + longText + "\"", longText},
  };
  std::string json;
  std::string csv = "record,kind.text,kind.code,note,errors\r\n";
  for (int code = 0; code < 4; ++code) {
    const std::string record = std::to_string(code + 1);
    json += "{\"v\":1,\"record\":" + record + ",\"offset\":" + std::to_string(code * (input.size() / 4)) +
            ",\"path\":\"1\",\"fields\":{\"note\":\"" + note + "\",\"kind\":{\"text\":" + texts[code][0] +
            ",\"code\":" + std::to_string(code) + "}}}\n";
    csv += record + "," + texts[code][1] + "," + std::to_string(code) + "," + note + ",\r\n";
  }
  for (std::string_view format : {"jsonl", "csv"}) {
    WalkSettings settings;
    settings.Format = format;
    EXPECT_EQ(test::RunWalk(*root, input, settings).Output, format == "csv" ? csv : json);
  }
}

// The edges of the values' decoding, one record each: a date checked by the calendar (leap years,
// days of the month, months), a number without digits or too short, mnemonics of two octets and of
// too many.
TEST(RecordWriters, DecodeEachTypeUpToItsEdges) {
  auto root = test::BuildDictionary({"1.TagName=record", "1.LongTagName=Record", "1.0.TagName=when",
                                     "1.0.Type=DateTime", "1.1.TagName=number", "1.1.Type=Number",
                                     "1.2.TagName=listed", "1.2.Type=ValFromIndexedArr", "1.2.IndArr=zero,one",
                                     "1.3.TagName=keyed", "1.3.Type=ValFromNonIndexedArr", "1.3.NonIndArr=17,Seventeen"});
  struct Row { uint8_t tag; test::Bytes value; std::string json; };
  const Row rows[] = {
      {0x80, {0x04, 0x02, 0x29, 0x23, 0x59, 0x59, 0x99}, "\"when\":\"2004-02-29T23:59:59.99\""},
      {0x80, {0x05, 0x02, 0x29, 0x00, 0x00, 0x00, 0x00},
       "\"when\":{\"error\":\"not a valid date and time\",\"hex\":\"05022900000000\"}"},
      {0x80, {0x04, 0x02, 0x29, 0x23, 0x60, 0x00, 0x00},  // minute 60
       "\"when\":{\"error\":\"not a valid date and time\",\"hex\":\"04022923600000\"}"},
      {0x80, {0x04, 0x02, 0x29, 0x23, 0x59, 0x60, 0x00},  // second 60
       "\"when\":{\"error\":\"not a valid date and time\",\"hex\":\"04022923596000\"}"},
      {0x80, {0x04, 0x02, 0x30, 0x00, 0x00, 0x00, 0x00},  // 30 February, even in a leap year
       "\"when\":{\"error\":\"not a valid date and time\",\"hex\":\"04023000000000\"}"},
      {0x80, {0x06, 0x01, 0x32, 0x00, 0x00, 0x00, 0x00},
       "\"when\":{\"error\":\"not a valid date and time\",\"hex\":\"06013200000000\"}"},
      {0x80, {0x06, 0x13, 0x01, 0x00, 0x00, 0x00, 0x00},
       "\"when\":{\"error\":\"not a valid date and time\",\"hex\":\"06130100000000\"}"},
      // One nibble above 9 (hundredths, which no range bounds): not a date.
      {0x80, {0x04, 0x02, 0x29, 0x23, 0x59, 0x59, 0x2A},
       "\"when\":{\"error\":\"not a valid date and time\",\"hex\":\"0402292359592A\"}"},
      {0x81, {0x01, 0x10},
       "\"number\":{\"nature\":\"subscriber number\",\"natureCode\":1,"
       "\"plan\":\"ISDN(Telephony) Number Plan (ITU-T Recommendation E.164)\",\"planCode\":1,\"digits\":\"\"}"},
      // 5, the first nature of address without a name, and an odd count of digits.
      {0x81, {0x85, 0x10, 0x21},
       "\"number\":{\"nature\":\"5\",\"natureCode\":5,"
       "\"plan\":\"ISDN(Telephony) Number Plan (ITU-T Recommendation E.164)\",\"planCode\":1,\"digits\":\"2\"}"},
      {0x81, {0x01}, "\"number\":{\"error\":\"length of Number type tag is less than 2 bytes\",\"hex\":\"01\"}"},
      {0x82, {0x00, 0x01}, "\"listed\":{\"text\":\"one\",\"code\":1}"},
      {0x82, {0x00, 0x00, 0x01},
       "\"listed\":{\"error\":\"length of ValFromIndexedArr type tag is more than 2 bytes\",\"hex\":\"000001\"}"},
      {0x83, {0x01, 0x01}, "\"keyed\":{\"text\":\"Seventeen\",\"code\":17}"},
      {0x83, {0x00, 0x01, 0x01},
       "\"keyed\":{\"error\":\"length of ValFromNonIndexedArr type tag is more than 2 bytes\",\"hex\":\"000101\"}"},
  };
  WalkSettings settings;
  settings.Format = "jsonl";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.json);
    const test::Bytes input = test::Tlv({0xA1}, test::Tlv({row.tag}, row.value));
    EXPECT_EQ(test::RunWalk(*root, input, settings).Output,
              "{\"v\":1,\"record\":1,\"offset\":0,\"path\":\"1\",\"fields\":{" + row.json + "}}\n");
  }
}

// Repeated fields: occurrences counted within their holder, as JSON Lines counts them, get
// columns up to their Occurs, on a value or on the field holding it; the others count as values
// without a column, but only in records written. Two of each field here: trunk N (groups A, B)
// and trunk S (group C).
TEST(RecordWriters, RepeatsGetTheColumnsOfOccurs) {
  const test::Bytes record = test::Tlv(
      {0xA1}, test::Cat({test::Tlv({0xA5}, test::Cat({test::Tlv({0x80}, {'A'}), test::Tlv({0x80}, {'B'})})),
                         test::Tlv({0xA5}, test::Tlv({0x80}, {'C'}))}));
  struct Row {
    std::vector<std::string> occurs;  // Occurs lines
    const char* filter;               // the filter's value of group, or null
    std::string csv;
    uint64_t withoutColumn;
  };
  const Row rows[] = {
      {{}, nullptr, "record,trunk.group,errors\r\n1,A,\r\n", 2},
      {{"1.5.0.Occurs=2"}, nullptr, "record,trunk.group,trunk.group#2,errors\r\n1,A,B,\r\n", 1},
      {{"1.5.Occurs=3"}, nullptr,
       "record,trunk.group,trunk#2.group,trunk#3.group,errors\r\n1,A,C,,\r\n", 1},
      {{"1.5.Occurs=2", "1.5.0.Occurs=2"}, nullptr,
       "record,trunk.group,trunk.group#2,trunk#2.group,trunk#2.group#2,errors\r\n1,A,B,C,,\r\n", 0},
      // Dropped by the filter: nothing written, nothing counted.
      {{}, "Z", "record,trunk.group,errors\r\n", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.csv);
    auto root = test::BuildDictionary({"1.TagName=record", "1.LongTagName=Record", "1.5.TagName=trunk",
                                       "1.5.0.TagName=group", "1.5.0.Type=String"});
    for (const std::string& line : row.occurs) ApplyTagsLine(*root, line);
    WalkSettings settings;
    settings.Format = "csv";
    if (row.filter != nullptr) {
      bool found = false;
      SetFilter(*root, "group", row.filter, found);
      settings.FilterCount = 1;
    }
    // Twice, so that the first record's count is taken at the second's start and the second's at
    // the end.
    const test::WalkResult result = test::RunWalk(*root, test::Cat({record, record}), settings);
    const std::size_t header = row.csv.find("\r\n") + 2;
    const std::string rowText = row.csv.substr(header);
    EXPECT_EQ(result.Output, row.csv.substr(0, header) + rowText +
                                 (rowText.empty() ? "" : "2" + rowText.substr(rowText.find(','))));
    EXPECT_EQ(result.Counts.ValuesWithoutColumn, 2 * row.withoutColumn);
  }
  auto root = test::BuildDictionary({"1.TagName=record", "1.LongTagName=Record", "1.5.TagName=trunk",
                                     "1.5.0.TagName=group", "1.5.0.Type=String"});
  WalkSettings settings;
  settings.Format = "jsonl";
  EXPECT_EQ(test::RunWalk(*root, record, settings).Output,
            "{\"v\":1,\"record\":1,\"offset\":0,\"path\":\"1\",\"fields\":"
            "{\"trunk\":{\"group\":\"A\",\"group#2\":\"B\"},\"trunk#2\":{\"group\":\"C\"}}}\n");
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

// Damage in JSON Lines is a line of its own, in CSV no row: the records before and after it are
// whole. In CSV it marks the record it touches, in the errors cell (quoted when a field's name or
// a mark's comma asks for it), after the values it could not decode (their cells empty): the
// record it cut short, written as far as it got, the record it follows, and a record read after
// it inside the damaged record, which a damage after it marks too. With Columns leaving out
// errors, the rows are the same without marks.
TEST(Damaged, IsALineOfItsOwnInJsonLinesAndMarksItsRecordsInCsv) {
  auto root = test::BuildDictionary({"1.TagName=record", "1.LongTagName=Record", "1.0.TagName=kind",
                                     "1.0.LongTagName=Kind", "1.0.Type=DecNumber", "1.1.TagName=a,b",
                                     "1.1.Type=DateTime"});
  // A primitive element of the record's tag at offset 5 is damage: the walk goes on at 8.
  const test::Bytes between = {0xA1, 0x03, 0x80, 0x01, 0x05, 0x81, 0x7F, 0x00, 0xA1, 0x03, 0x80, 0x01, 0x07};
  // Record 1 holds a DecNumber of three octets and a date of month 13, then damage at offset 16
  // (an element longer than its record); the walk goes on at record 2, at offset 19.
  const test::Bytes within = {0xA1, 0x10, 0x80, 0x03, 0x01, 0x02, 0x03, 0x81, 0x07, 0x24, 0x13, 0x01,
                              0x00, 0x00, 0x00, 0x00, 0x80, 0x7F, 0x00, 0xA1, 0x03, 0x80, 0x01, 0x07};
  // Record 2 of ten octets is damaged at offset 10 (a length of five octets); the walk goes on at
  // record 3, at offset 12, inside the octets record 2 claims; damage at 17 follows record 3 (the
  // walk goes on at record 4, at 20).
  const test::Bytes inDoubt = {0xA1, 0x03, 0x80, 0x01, 0x01, 0xA1, 0x0A, 0x80, 0x01, 0x02, 0x81, 0x85,
                               0xA1, 0x03, 0x80, 0x01, 0x07, 0x81, 0x7F, 0x00, 0xA1, 0x03, 0x80, 0x01, 0x03};
  struct Row { std::string_view format; const test::Bytes& input; const char* columns; std::string output; };
  const Row rows[] = {
      {"jsonl", between, nullptr,
       "{\"v\":1,\"record\":1,\"offset\":0,\"path\":\"1\",\"fields\":{\"kind\":5}}\n"
       "{\"v\":1,\"record\":null,\"offset\":5,\"damaged\":{\"skipped\":3}}\n"
       "{\"v\":1,\"record\":2,\"offset\":8,\"path\":\"1\",\"fields\":{\"kind\":7}}\n"},
      {"csv", between, nullptr,
       "record,kind,\"a,b\",errors\r\n1,5,,damaged at offset 5 after the record (3 octets skipped)\r\n2,7,,\r\n"},
      {"csv", within, nullptr,
       "record,kind,\"a,b\",errors\r\n1,,,\"kind: length of DecNumber type tag is more than 2 bytes; octets 010203 | "
       "a,b: not a valid date and time; octets 24130100000000 | damaged at offset 16: the record is cut short "
       "(3 octets skipped)\"\r\n2,7,,\r\n"},
      {"csv", inDoubt, nullptr,
       "record,kind,\"a,b\",errors\r\n1,1,,\r\n2,2,,damaged at offset 10: the record is cut short (2 octets skipped)\r\n"
       "3,7,,\"read after the damage at offset 10, inside the record damaged: it may be a piece of that record | "
       "damaged at offset 17 after the record (3 octets skipped)\"\r\n4,3,,\r\n"},
      {"csv", inDoubt, "record,kind", "record,kind\r\n1,1\r\n2,2\r\n3,7\r\n4,3\r\n"},
      {"csv", within, "kind,record", "kind,record\r\n,1\r\n7,2\r\n"},
  };
  static std::shared_ptr<CsvLayout> layout;  // for the walk's maker, which takes nothing along
  for (const Row& row : rows) {
    SCOPED_TRACE(row.output);
    WalkSettings settings;
    settings.Format = row.format;
    settings.Resync = true;
    test::FormatMaker maker = nullptr;
    if (row.columns != nullptr) {
      layout = std::make_shared<CsvLayout>();
      std::string problem, unknown;
      ASSERT_TRUE(MakeCsvLayout(*root, false, *layout, problem));
      ASSERT_TRUE(ChooseCsvColumns(*layout, row.columns, unknown));
      maker = [](WalkContext& walk) { return CsvWalk(walk, layout); };
    }
    EXPECT_EQ(test::RunWalk(*root, row.input, settings, kOutputBlockSize, 0, nullptr, maker).Output, row.output);
  }
}

}  // namespace
}  // namespace orvalis
